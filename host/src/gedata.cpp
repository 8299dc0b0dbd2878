// Typed values and parameter containers.
#include "c4d_gedata.h"

#include <cmath>

#include "c4d_baselist.h"
#include "link_anchor.h"

static_assert(sizeof(LONG) == 4, "LONG must be 32 bits");

struct GeData::Heavy {
  LMatrix matrix;
  BaseTime time;
  String string;
  std::unique_ptr<BaseContainer> container;
  std::shared_ptr<host::LinkAnchor> link;
  std::unique_ptr<CustomDataType> custom;
};

void GeData::HeavyDelete::operator()(Heavy* h) const { delete h; }

GeData::Heavy& GeData::MakeHeavy() {
  if (!heavy_) heavy_.reset(new Heavy());
  return *heavy_;
}

GeData::GeData(const LMatrix& m) : type_(DA_MATRIX) { MakeHeavy().matrix = m; }
GeData::GeData(const String& s) : type_(DA_STRING) { MakeHeavy().string = s; }
GeData::GeData(const char* s) : type_(DA_STRING) { MakeHeavy().string = String(s); }
GeData::GeData(const Filename& f) : type_(DA_FILENAME) { MakeHeavy().string = f.GetString(); }
GeData::GeData(const BaseTime& t) : type_(DA_TIME) { MakeHeavy().time = t; }

GeData::GeData(const BaseContainer& bc) : type_(DA_CONTAINER) {
  MakeHeavy().container = std::make_unique<BaseContainer>(bc);
}

GeData::GeData(LONG type, const CustomDataType& data) : type_(type) {
  MakeHeavy().custom.reset(data.Clone());
}

GeData::~GeData() = default;
GeData::GeData(GeData&&) noexcept = default;
GeData& GeData::operator=(GeData&&) noexcept = default;

GeData::GeData(const GeData& o) : type_(o.type_), long_(o.long_), real_(o.real_), vector_(o.vector_) {
  if (!o.heavy_) return;
  const Heavy& from = *o.heavy_;
  Heavy& to = MakeHeavy();
  to.matrix = from.matrix;
  to.time = from.time;
  to.string = from.string;
  if (from.container) to.container = std::make_unique<BaseContainer>(*from.container);
  to.link = from.link;
  if (from.custom) to.custom.reset(from.custom->Clone());
}

GeData& GeData::operator=(const GeData& o) {
  if (this != &o) {
    GeData copy(o);
    *this = std::move(copy);
  }
  return *this;
}

LMatrix GeData::GetMatrix() const { return type_ == DA_MATRIX ? heavy_->matrix : LMatrix(); }

BaseTime GeData::GetTime() const { return type_ == DA_TIME ? heavy_->time : BaseTime(); }

CustomDataType* GeData::GetCustomDataType(LONG type) const {
  return type_ == type && heavy_ ? heavy_->custom.get() : nullptr;
}

BaseContainer* GeData::GetContainer() const { return heavy_ ? heavy_->container.get() : nullptr; }

LONG GeData::GetLong() const {
  if (type_ == DA_LONG) return long_;
  if (type_ == DA_REAL) {
    // An integer read of a real truncates towards zero; values outside the range saturate.
    if (std::isnan(real_)) return 0;
    if (real_ >= 2147483647.0) return INT32_MAX;
    if (real_ <= -2147483648.0) return INT32_MIN;
    return static_cast<LONG>(real_);
  }
  return 0;
}

Real GeData::GetReal() const {
  if (type_ == DA_REAL) return real_;
  if (type_ == DA_LONG) return static_cast<Real>(long_);
  return 0.0;
}

String GeData::GetString() const {
  return (type_ == DA_STRING || type_ == DA_FILENAME) ? heavy_->string : String();
}

BaseList2D* GeData::GetLink(const BaseDocument* doc, LONG instanceof) const {
  if (type_ != DA_ALIASLINK || !heavy_ || !heavy_->link) return nullptr;
  BaseList2D* node = heavy_->link->node.load();
  // A node outside every document resolves nowhere, not even when no document is asked for.
  if (!node || !doc || node->GetDocument() != doc) return nullptr;
  if (instanceof != 0 && !node->IsInstanceOf(instanceof)) return nullptr;
  return node;
}

void GeData::SetBaseList2D(BaseList2D* node) {
  GeData v;
  v.type_ = DA_ALIASLINK;
  if (node) v.MakeHeavy().link = host::AnchorOf(node);
  *this = std::move(v);
}

bool GeData::operator==(const GeData& o) const {
  if (type_ != o.type_) return false;
  switch (type_) {
    case DA_NIL: return true;
    case DA_LONG: return long_ == o.long_;
    case DA_REAL: return real_ == o.real_;
    case DA_TIME: return heavy_->time == o.heavy_->time;
    case DA_VECTOR: return vector_ == o.vector_;
    case DA_MATRIX: return heavy_->matrix == o.heavy_->matrix;
    case DA_STRING:
    case DA_FILENAME: return heavy_->string == o.heavy_->string;
    case DA_CONTAINER: return *heavy_->container == *o.heavy_->container;
    case DA_ALIASLINK: {
      BaseList2D* a = heavy_ && heavy_->link ? heavy_->link->node.load() : nullptr;
      BaseList2D* b = o.heavy_ && o.heavy_->link ? o.heavy_->link->node.load() : nullptr;
      return a == b;
    }
  }
  if (heavy_ && heavy_->custom && o.heavy_ && o.heavy_->custom)
    return heavy_->custom->IsEqual(*o.heavy_->custom);
  return false;
}

// --- BaseContainer ----------------------------------------------------------

namespace {
const GeData kNil;
}

void BaseContainer::SetLink(LONG id, BaseList2D* node) {
  GeData v;
  v.SetBaseList2D(node);
  SetData(id, v);
}

GeData* BaseContainer::SetData(LONG id, const GeData& v) {
  if (GeData* d = GetDataPointer(id)) {
    *d = v;
    return d;
  }
  return Append(id, v);
}

namespace {

// The first slot of `id` in an index of `mask + 1` slots.
size_t IndexSlot(LONG id, size_t mask) {
  const uint32_t h = static_cast<uint32_t>(id) * 0x9E3779B1u;
  return (h ^ (h >> 15)) & mask;
}

}  // namespace

GeData* BaseContainer::Append(LONG id, const GeData& v) {
  entries_.push_back({id, v});
  if (index_.empty() ? entries_.size() >= kIndexFrom : entries_.size() * 2 > index_.size())
    Reindex();
  else if (!index_.empty())
    IndexAdd(id, entries_.size() - 1);
  return &entries_.back().value;
}

void BaseContainer::IndexAdd(LONG id, size_t position) {
  const size_t mask = index_.size() - 1;
  for (size_t i = IndexSlot(id, mask);; i = (i + 1) & mask) {
    const uint64_t slot = index_[i];
    if (slot == 0) {
      index_[i] = static_cast<uint64_t>(static_cast<uint32_t>(id)) << 32 | (position + 1);
      return;
    }
    if (static_cast<uint32_t>(slot >> 32) == static_cast<uint32_t>(id)) return;
  }
}

void BaseContainer::Reindex() {
  index_.clear();
  if (entries_.size() < kIndexFrom) return;
  size_t slots = 64;
  while (slots < entries_.size() * 4) slots *= 2;
  index_.assign(slots, 0);
  for (size_t i = 0; i < entries_.size(); ++i) IndexAdd(entries_[i].id, i);
}

Bool BaseContainer::GetBool(LONG id, Bool def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetBool() : def;
}

LONG BaseContainer::GetLong(LONG id, LONG def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetLong() : def;
}

Real BaseContainer::GetReal(LONG id, Real def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetReal() : def;
}

LVector BaseContainer::GetVector(LONG id, const LVector& def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetVector() : def;
}

LMatrix BaseContainer::GetMatrix(LONG id, const LMatrix& def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetMatrix() : def;
}

String BaseContainer::GetString(LONG id, const String& def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetString() : def;
}

Filename BaseContainer::GetFilename(LONG id, const Filename& def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetFilename() : def;
}

BaseTime BaseContainer::GetTime(LONG id, const BaseTime& def) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetTime() : def;
}

BaseContainer BaseContainer::GetContainer(LONG id) const {
  const BaseContainer* c = GetContainerInstance(id);
  return c ? *c : BaseContainer();
}

BaseContainer* BaseContainer::GetContainerInstance(LONG id) {
  GeData* d = GetDataPointer(id);
  return d ? d->GetContainer() : nullptr;
}

const BaseContainer* BaseContainer::GetContainerInstance(LONG id) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetContainer() : nullptr;
}

BaseList2D* BaseContainer::GetLink(LONG id, const BaseDocument* doc, LONG instanceof) const {
  const GeData* d = GetDataPointer(id);
  return d ? d->GetLink(doc, instanceof) : nullptr;
}

const GeData& BaseContainer::GetData(LONG id) const {
  const GeData* d = GetDataPointer(id);
  return d ? *d : kNil;
}

const GeData* BaseContainer::GetDataPointer(LONG id) const {
  const LONG i = FindIndex(id);
  return i == NOTOK ? nullptr : &entries_[static_cast<size_t>(i)].value;
}

GeData* BaseContainer::GetDataPointer(LONG id) {
  const LONG i = FindIndex(id);
  return i == NOTOK ? nullptr : &entries_[static_cast<size_t>(i)].value;
}

GeData* BaseContainer::InsData(LONG id, const GeData& v) { return Append(id, v); }

GeData* BaseContainer::InsDataAfter(LONG id, const GeData& v, const GeData* last) {
  size_t pos = 0;
  for (size_t i = 0; i < entries_.size(); ++i) {
    if (&entries_[i].value == last) {
      pos = i + 1;
      break;
    }
  }
  entries_.insert(entries_.begin() + static_cast<std::ptrdiff_t>(pos), Entry{id, v});
  Reindex();
  return &entries_[pos].value;
}

Bool BaseContainer::RemoveData(LONG id) { return RemoveIndex(FindIndex(id)); }

Bool BaseContainer::RemoveIndex(LONG index) {
  if (index < 0 || index >= GetCount()) return false;
  entries_.erase(entries_.begin() + index);
  Reindex();
  return true;
}

LONG BaseContainer::FindIndex(LONG id) const {
  if (!index_.empty()) {
    const size_t mask = index_.size() - 1;
    for (size_t i = IndexSlot(id, mask);; i = (i + 1) & mask) {
      const uint64_t slot = index_[i];
      if (slot == 0) return NOTOK;
      if (static_cast<uint32_t>(slot >> 32) == static_cast<uint32_t>(id))
        return static_cast<LONG>((slot & 0xFFFFFFFFu) - 1);
    }
  }
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].id == id) return static_cast<LONG>(i);
  return NOTOK;
}

LONG BaseContainer::GetIndexId(LONG index) const {
  return index >= 0 && index < GetCount() ? entries_[index].id : NOTOK;
}

const GeData* BaseContainer::GetIndexData(LONG index) const {
  return index >= 0 && index < GetCount() ? &entries_[index].value : nullptr;
}

GeData* BaseContainer::GetIndexData(LONG index) {
  return index >= 0 && index < GetCount() ? &entries_[index].value : nullptr;
}

void BaseContainer::MergeContainer(const BaseContainer& src) {
  for (const Entry& e : src.entries_) SetData(e.id, e.value);
}

bool BaseContainer::operator==(const BaseContainer& o) const {
  if (id_ != o.id_ || entries_.size() != o.entries_.size()) return false;
  for (size_t i = 0; i < entries_.size(); ++i)
    if (entries_[i].id != o.entries_[i].id || entries_[i].value != o.entries_[i].value) return false;
  return true;
}
