#include "export/meshallocator.h"

#include <atomic>
#include <mutex>
#include <unordered_map>
#include <vector>

namespace Orvane {

namespace {

constexpr std::size_t kHugePage = std::size_t(2) << 20;
constexpr std::size_t kPage = std::size_t(4) << 10;

// Set once the cache is gone (at the end of the program, or when the module that holds it is
// unloaded): blocks released after that are freed at once.
std::atomic<bool> g_cacheGone{false};

struct Cache {
  std::mutex lock;
  std::vector<std::pair<void*, std::size_t>> kept;  // oldest first, with their sizes
  std::size_t keptBytes = 0;
  std::unordered_map<void*, std::size_t> live;  // handed-out blocks and their sizes

  ~Cache() {
    g_cacheGone = true;
    for (auto& [block, size] : kept) std::free(block);
  }
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

// Sizes are rounded so that blocks of nearly the same size are interchangeable.
std::size_t Alignment(std::size_t bytes) { return bytes < kHugePage ? kPage : kHugePage; }
std::size_t Rounded(std::size_t bytes) {
  const std::size_t unit = bytes < kHugePage ? std::size_t(64) << 10 : kHugePage;
  return (bytes + unit - 1) / unit * unit;
}

}  // namespace

void* AllocateMeshBlock(std::size_t bytes) {
  const std::size_t size = Rounded(bytes);
  if (g_cacheGone) return std::aligned_alloc(Alignment(size), size);
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  // The smallest kept block that fits without wasting more than the request itself.
  std::size_t best = cache.kept.size();
  for (std::size_t i = 0; i < cache.kept.size(); ++i) {
    const std::size_t have = cache.kept[i].second;
    if (have >= size && have <= 2 * size && (best == cache.kept.size() || have < cache.kept[best].second))
      best = i;
  }
  void* block = nullptr;
  std::size_t blockSize = size;
  if (best != cache.kept.size()) {
    block = cache.kept[best].first;
    blockSize = cache.kept[best].second;
    cache.keptBytes -= blockSize;
    cache.kept.erase(cache.kept.begin() + static_cast<std::ptrdiff_t>(best));
  } else {
    block = std::aligned_alloc(Alignment(size), size);
    if (!block) return nullptr;
  }
  try {
    cache.live.emplace(block, blockSize);
  } catch (...) {
    std::free(block);
    return nullptr;
  }
  return block;
}

void ReleaseMeshBlock(void* block, std::size_t bytes) noexcept {
  if (!block) return;
  if (g_cacheGone) {
    std::free(block);
    return;
  }
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  std::size_t size = Rounded(bytes);
  auto it = cache.live.find(block);
  if (it != cache.live.end()) {
    size = it->second;
    cache.live.erase(it);
  }
  if (size > kMeshBlockCacheLimit) {
    std::free(block);
    return;
  }
  // The newest blocks are the likeliest to fit the next conversion: the oldest make room.
  std::size_t drop = 0;
  std::size_t bytesAfter = cache.keptBytes + size;
  while (bytesAfter > kMeshBlockCacheLimit || cache.kept.size() - drop >= kMeshBlockCacheCount)
    bytesAfter -= cache.kept[drop++].second;
  for (std::size_t i = 0; i < drop; ++i) std::free(cache.kept[i].first);
  cache.kept.erase(cache.kept.begin(), cache.kept.begin() + static_cast<std::ptrdiff_t>(drop));
  cache.keptBytes = bytesAfter - size;
  try {
    cache.kept.emplace_back(block, size);
    cache.keptBytes += size;
  } catch (...) {
    std::free(block);
  }
}

void TrimMeshBlocks() noexcept {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  for (auto& [block, size] : cache.kept) std::free(block);
  cache.kept.clear();
  cache.keptBytes = 0;
}

std::size_t KeptMeshBlockBytes() noexcept {
  Cache& cache = TheCache();
  std::lock_guard<std::mutex> hold(cache.lock);
  return cache.keptBytes;
}

}  // namespace Orvane
