// Selections and selection tags.
#include "c4d_selection.h"

#include <algorithm>

namespace {

using Segments = std::vector<std::pair<LONG, LONG>>;

// Appends [a, b] to sorted segments whose last segment starts at or before a, joining it with
// the last segment when they overlap or touch.
void Append(Segments& out, LONG a, LONG b) {
  if (!out.empty() && static_cast<int64_t>(out.back().second) + 1 >= a) {
    out.back().second = std::max(out.back().second, b);
    return;
  }
  out.emplace_back(a, b);
}

Segments Union(const Segments& x, const Segments& y) {
  Segments out;
  out.reserve(x.size() + y.size());
  size_t i = 0, j = 0;
  while (i < x.size() || j < y.size()) {
    const auto& s = (j == y.size() || (i < x.size() && x[i].first <= y[j].first)) ? x[i++] : y[j++];
    Append(out, s.first, s.second);
  }
  return out;
}

// The indices of `x` that are not in `y`.
Segments Difference(const Segments& x, const Segments& y) {
  Segments out;
  size_t j = 0;
  for (auto [a, b] : x) {
    int64_t from = a;
    while (j < y.size() && y[j].second < from) ++j;
    for (size_t k = j; k < y.size() && y[k].first <= b && from <= b; ++k) {
      if (y[k].first > from) out.emplace_back(static_cast<LONG>(from), y[k].first - 1);
      from = static_cast<int64_t>(y[k].second) + 1;
    }
    if (from <= b) out.emplace_back(static_cast<LONG>(from), b);
  }
  return out;
}

}  // namespace

Bool BaseSelect::CopyTo(BaseSelect* dest) const {
  if (!dest) return false;
  dest->segments_ = segments_;
  return true;
}

LONG BaseSelect::GetCount() const {
  int64_t n = 0;
  for (auto [a, b] : segments_) n += static_cast<int64_t>(b) - a + 1;
  return static_cast<LONG>(std::min<int64_t>(n, INT32_MAX));
}

Bool BaseSelect::GetRange(LONG seg, LONG* a, LONG* b) const {
  if (seg < 0 || seg >= GetSegments()) return false;
  if (a) *a = segments_[static_cast<size_t>(seg)].first;
  if (b) *b = segments_[static_cast<size_t>(seg)].second;
  return true;
}

Bool BaseSelect::IsSelected(LONG num) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), num,
                             [](LONG n, const std::pair<LONG, LONG>& s) { return n < s.first; });
  return it != segments_.begin() && std::prev(it)->second >= num;
}

Bool BaseSelect::Deselect(LONG num) {
  if (!IsSelected(num)) return false;
  segments_ = Difference(segments_, Segments{{num, num}});
  return true;
}

Bool BaseSelect::SelectAll(LONG min, LONG max) {
  if (min < 0) return false;
  if (max < min) return true;
  // Indices usually arrive in ascending order: append without a merge pass.
  if (segments_.empty() || segments_.back().first <= min)
    Append(segments_, min, max);
  else
    segments_ = Union(segments_, Segments{{min, max}});
  return true;
}

Bool BaseSelect::ToggleAll(LONG min, LONG max) {
  if (min < 0) return false;
  if (max < min) return true;
  Segments range{{min, max}};
  segments_ = Union(Difference(segments_, range), Difference(range, segments_));
  return true;
}

Bool BaseSelect::Merge(const BaseSelect* src) {
  if (!src) return false;
  segments_ = Union(segments_, src->segments_);
  return true;
}

Bool BaseSelect::Deselect(const BaseSelect* src) {
  if (!src) return false;
  segments_ = Difference(segments_, src->segments_);
  return true;
}

SelectionTag* SelectionTag::Alloc(LONG type) {
  return type == Tpolygonselection ? new SelectionTag(type) : nullptr;
}

void SelectionTag::Free(SelectionTag*& tag) {
  GeListNode::Destroy(tag);
  tag = nullptr;
}
