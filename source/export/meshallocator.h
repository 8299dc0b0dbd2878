// The allocator of the large element arrays of meshes.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <new>
#include <type_traits>
#include <utility>

namespace Orvane {

/// Blocks of at least this many bytes come from the block cache below: fresh memory costs the
/// system a page fault per page, so the arrays of one conversion are handed to the next.
constexpr std::size_t kLargeMeshBlock = std::size_t(64) << 10;

/// A block of at least `bytes` bytes (aligned to 2 MB from 2 MB on, to 4 KB below): a block
/// released earlier when one of a fitting size is kept, else a new one. Null when memory runs out. New blocks
/// are not asked for as huge pages: where the system compacts memory for those on first touch, a fresh
/// process waited on it, up to four times as long as on ordinary pages.
void* AllocateMeshBlock(std::size_t bytes);
/// Gives back a block of `AllocateMeshBlock(bytes)`. It is kept for reuse while the kept blocks
/// stay within `kMeshBlockCacheLimit` and `kMeshBlockCacheCount`, so that the next conversion finds its
/// memory already mapped; otherwise it is freed.
void ReleaseMeshBlock(void* block, std::size_t bytes) noexcept;
/// Frees every kept block.
void TrimMeshBlocks() noexcept;
/// Bytes the kept blocks hold now.
std::size_t KeptMeshBlockBytes() noexcept;
/// Most bytes the kept blocks may hold together.
constexpr std::size_t kMeshBlockCacheLimit = std::size_t(256) << 20;
/// Most blocks kept together.
constexpr std::size_t kMeshBlockCacheCount = 256;

/// Allocates mesh arrays. New elements are left uninitialised (a resized array of millions of
/// elements is then filled by whoever computes them, possibly on several threads, instead of
/// being cleared first), and large blocks come from `AllocateMeshBlock`. Meant for plain element
/// types.
template <typename T>
class MeshAllocator {
 public:
  static_assert(std::is_trivially_copyable<T>::value, "mesh arrays hold plain elements");
  using value_type = T;

  MeshAllocator() noexcept = default;
  template <typename U>
  MeshAllocator(const MeshAllocator<U>&) noexcept {}  // NOLINT(google-explicit-constructor)

  /// Room for `n` elements.
  T* allocate(std::size_t n) {
    if (n > static_cast<std::size_t>(-1) / sizeof(T)) throw std::bad_array_new_length();
    const std::size_t bytes = n * sizeof(T);
    void* p = bytes < kLargeMeshBlock ? std::malloc(bytes ? bytes : 1) : AllocateMeshBlock(bytes);
    if (!p) throw std::bad_alloc();
    return static_cast<T*>(p);
  }

  void deallocate(T* p, std::size_t n) noexcept {
    if (n * sizeof(T) < kLargeMeshBlock)
      std::free(p);
    else
      ReleaseMeshBlock(p, n * sizeof(T));
  }

  /// Default-initialises: a new plain element is left as it is.
  template <typename U>
  void construct(U* p) noexcept(std::is_nothrow_default_constructible<U>::value) {
    ::new (static_cast<void*>(p)) U;
  }
  template <typename U, typename... Args>
  void construct(U* p, Args&&... args) {
    ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
  }

  template <typename U>
  bool operator==(const MeshAllocator<U>&) const noexcept {
    return true;
  }
  template <typename U>
  bool operator!=(const MeshAllocator<U>&) const noexcept {
    return false;
  }
};

}  // namespace Orvane
