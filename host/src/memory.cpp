// The host's memory for large arrays it hands out (released with GeFree): blocks in 2 MB steps
// (ordinary pages: huge ones cost a fresh process a compaction on first touch) that are kept for
// reuse after their release, as the host's own memory manager does, so that
// the next large array of a similar size is already mapped.
#include <cstdlib>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "host_state.h"

namespace host {

namespace {

constexpr size_t kHugePage = size_t(2) << 20;
constexpr size_t kKeepLimit = size_t(128) << 20;

struct LargeBlocks {
  std::mutex lock;
  std::unordered_map<void*, size_t> live;      // handed out, with their sizes
  std::vector<std::pair<void*, size_t>> kept;  // released, oldest first
  size_t keptBytes = 0;
};

LargeBlocks& Blocks() {
  static LargeBlocks* blocks = new LargeBlocks;  // never destroyed: blocks may be released at exit
  return *blocks;
}

}  // namespace

void* AllocateLarge(size_t bytes) {
  const size_t size = (bytes + kHugePage - 1) / kHugePage * kHugePage;
  LargeBlocks& b = Blocks();
  std::lock_guard<std::mutex> hold(b.lock);
  void* block = nullptr;
  size_t blockSize = size;
  for (size_t i = 0; i < b.kept.size(); ++i) {
    if (b.kept[i].second >= size && b.kept[i].second <= 2 * size) {
      block = b.kept[i].first;
      blockSize = b.kept[i].second;
      b.keptBytes -= blockSize;
      b.kept.erase(b.kept.begin() + static_cast<std::ptrdiff_t>(i));
      break;
    }
  }
  if (!block) {
    block = std::aligned_alloc(kHugePage, size);
    if (!block) return nullptr;
  }
  b.live.emplace(block, blockSize);
  return block;
}

bool ReleaseLarge(void* p) {
  if (!p) return false;
  LargeBlocks& b = Blocks();
  std::lock_guard<std::mutex> hold(b.lock);
  auto it = b.live.find(p);
  if (it == b.live.end()) return false;
  const size_t size = it->second;
  b.live.erase(it);
  while (!b.kept.empty() && b.keptBytes + size > kKeepLimit) {
    std::free(b.kept.front().first);
    b.keptBytes -= b.kept.front().second;
    b.kept.erase(b.kept.begin());
  }
  if (size <= kKeepLimit) {
    b.kept.emplace_back(p, size);
    b.keptBytes += size;
  } else {
    std::free(p);
  }
  return true;
}

}  // namespace host
