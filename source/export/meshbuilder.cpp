// The conversion runs in phases over contiguous chunks of the polygon sequence, two per thread,
// taken in order by whichever thread is free (so that a thread slowed down by the machine holds
// up less of the work): each chunk gathers its distinct vertices and texture coordinates in
// order of first appearance in small tables of its own; the keys are then shared out by hash to
// one partition per thread, where the first chunk holding a key owns it; owned keys get their
// final numbers in chunk order, and every triangle is renumbered. This numbers every distinct
// key by its first appearance in the whole sequence, exactly as one pass over it would, while
// all tables stay small enough for the processor's caches. The work takes three steps of the
// worker pool (waking its threads costs more than the steps in between): convert, share out,
// place and renumber.
#include "export/meshbuilder.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <memory>
#include <new>
#include <thread>
#if defined(__SSE2__)
#include <immintrin.h>
#endif

#include "export/workerpool.h"

namespace {

using Orvane::MeshArray;
using Orvane::Triangle;
using Orvane::Vec2f;
using Orvane::Vec3f;

// Below this many polygons the conversion stays on the calling thread.
constexpr size_t kPolygonsPerThread = 16384;
// Chunks per thread: more than one lets the threads that finish early take over work.
constexpr size_t kChunksPerThread = 2;
// Triangle arrays larger than this are written past the processor's caches: they would not stay
// there until they are read again, and a plain write first reads every line it fills.
constexpr size_t kStreamFrom = size_t(24) << 20;

// Writes `t` to `to` without reading its memory first (when the processor can).
void StreamTriangle(Orvane::Triangle* to, const Orvane::Triangle& t) {
#if defined(__SSE2__)
  int* d = reinterpret_cast<int*>(to);
  const int* s = reinterpret_cast<const int*>(&t);
  for (int k = 0; k < 7; ++k) _mm_stream_si32(d + k, s[k]);
#else
  *to = t;
#endif
}

// Orders the streamed writes before what follows.
void StreamFence() {
#if defined(__SSE2__)
  _mm_sfence();
#endif
}

// Entries (a power of two) of the small per-point caches that catch the repeated corners of a point.
constexpr size_t kMemoSize = 4096;

uint32_t Bits(float f) {
  uint32_t b;
  std::memcpy(&b, &f, sizeof b);
  return b;
}

// One value for every NaN and for both zeros, so that equal keys have equal bits.
float Canonical(float f) {
  if (f != f) return std::numeric_limits<float>::quiet_NaN();
  return f == 0.0f ? 0.0f : f;
}

uint64_t Mix(uint64_t h) {
  h ^= h >> 33;
  h *= 0xff51afd7ed558ccdull;
  h ^= h >> 33;
  h *= 0xc4ceb9fe1a85ec53ull;
  h ^= h >> 33;
  return h;
}

uint64_t Pair(float a, float b) { return Bits(a) | static_cast<uint64_t>(Bits(b)) << 32; }

uint32_t HashVertex(const Vec3f& p, const Vec3f& n) {
  return static_cast<uint32_t>(Mix(Pair(p.x, p.y) ^ Mix(Pair(p.z, n.x) ^ Mix(Pair(n.y, n.z)))) >> 32);
}

uint32_t HashUV(const Vec2f& t) { return static_cast<uint32_t>(Mix(Pair(t.x, t.y)) >> 32); }

bool Same(const Vec3f& a, const Vec3f& b) {
  return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && Bits(a.z) == Bits(b.z);
}

bool Same(const Vec2f& a, const Vec2f& b) { return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y); }

bool Same(const SVector& a, const SVector& b) {
  return Bits(a.x) == Bits(b.x) && Bits(a.y) == Bits(b.y) && Bits(a.z) == Bits(b.z);
}

// An open-addressing table from keys to numbers; the keys live with the caller. A slot holds a
// key's 32-bit hash and its number plus one (0 = empty). It is sized by the keys it will hold, so
// that a small mesh clears a small table.
class IndexTable {
 public:
  static constexpr size_t kMinSlots = 16;

  // Empties the table, with room for `expected` keys without growing; memory it already has is
  // used again.
  void Reset(size_t expected) {
    size_t capacity = kMinSlots;
    while (capacity * 2 < expected * 3) capacity *= 2;
    slots_.assign(capacity, 0);
    size_ = 0;
  }

  // Starts fetching the slot where a key with `hash` is looked for first.
  void Prefetch(uint32_t hash) const { __builtin_prefetch(slots_.data() + (hash & (slots_.size() - 1)), 1); }

  // The number of the key with `hash` for which `equal(number)` holds; otherwise records `next`
  // for the key and answers it.
  template <typename Equal>
  uint32_t FindOrInsert(uint32_t hash, uint32_t next, Equal equal) {
    if ((size_ + 1) * 3 > slots_.size() * 2) Rehash(std::max<size_t>(kMinSlots, slots_.size() * 2));
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
      const uint64_t slot = slots_[i];
      if (slot == 0) {
        slots_[i] = static_cast<uint64_t>(hash) << 32 | (static_cast<uint64_t>(next) + 1);
        ++size_;
        return next;
      }
      const uint32_t number = static_cast<uint32_t>(slot) - 1;
      if (static_cast<uint32_t>(slot >> 32) == hash && equal(number)) return number;
    }
  }

 private:
  void Rehash(size_t capacity) {
    MeshArray<uint64_t> old;
    old.swap(slots_);
    slots_.assign(capacity, 0);
    const size_t mask = capacity - 1;
    for (uint64_t slot : old) {
      if (slot == 0) continue;
      size_t i = static_cast<uint32_t>(slot >> 32) & mask;
      while (slots_[i] != 0) i = (i + 1) & mask;
      slots_[i] = slot;
    }
  }

  MeshArray<uint64_t> slots_;
  size_t size_ = 0;
};

// Marks a key's entry in the first-appearance table once it holds the key's final number.
constexpr uint32_t kPlaced = 0x80000000u;

// The value of a step's result that is not there yet.
constexpr size_t kNotYet = static_cast<size_t>(-1);

// The result another part of the same step stores in `value`, once it is there.
size_t Await(const std::atomic<size_t>& value) {
  for (;;) {
    const size_t v = value.load(std::memory_order_acquire);
    if (v != kNotYet) return v;
    std::this_thread::yield();
  }
}

// Runs `work(i)` for i = 0 .. count-1 on the worker pool; an exception of any part is thrown
// again once all parts have ended.
template <typename Work>
void ParallelFor(int count, Work work) {
  WorkerPool::Run(count, std::function<void(int)>(work));
}

struct Run {
  LONG first;
  LONG last;
  uint32_t material;
  MeshUVSource uv;
  double factorU = 1.0, factorV = 1.0;
  size_t start = 0;  // position of its first polygon in the whole sequence
};

// A chunk's candidates sorted into partitions by hash, keeping their order: hash << 32 |
// chunk-local number, partition after partition in one array (a large one comes from the mesh
// block cache, so the next conversion finds it mapped).
class PartitionedKeys {
 public:
  void Fill(const MeshArray<uint32_t>& hashes, int parts);
  const uint64_t* Begin(int part) const { return entries_.data() + start_[static_cast<size_t>(part)]; }
  size_t Size(int part) const {
    return start_[static_cast<size_t>(part) + 1] - start_[static_cast<size_t>(part)];
  }

 private:
  MeshArray<uint64_t> entries_;
  std::vector<size_t> start_;  // where each partition begins, and the end
};

// One contiguous part of the polygon sequence with the distinct keys it holds.
struct alignas(64) Chunk {
  size_t begin = 0, end = 0;  // sequence positions
  size_t triangleStart = 0, triangleCount = 0;
  MeshArray<Vec3f> positions, normals;
  MeshArray<uint32_t> vertexHashes;
  MeshArray<Vec2f> uvs;
  MeshArray<uint32_t> uvHashes;
  size_t vertexBase = 0, uvBase = 0;          // first flat number of its keys
  size_t vertexOutStart = 0, uvOutStart = 0;  // first final number of the keys it owns
  bool finite = true;                         // every number of the keys it owns is finite
  PartitionedKeys vertexParts, uvParts;
  // Per partition, how many of its candidates are the first of their key (written by the thread
  // that merges that partition).
  std::vector<size_t> vertexOwned, uvOwned;
};

// The partition of `parts` that a key with `hash` falls in.
int PartOf(uint32_t hash, int parts) {
  return static_cast<int>((static_cast<uint64_t>(hash) * static_cast<uint64_t>(parts)) >> 32);
}

void PartitionedKeys::Fill(const MeshArray<uint32_t>& hashes, int parts) {
  start_.assign(static_cast<size_t>(parts) + 1, 0);
  for (uint32_t h : hashes) ++start_[static_cast<size_t>(PartOf(h, parts)) + 1];
  for (size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
  entries_.resize(hashes.size());
  std::vector<size_t> next(start_.begin(), start_.end() - 1);
  for (size_t i = 0; i < hashes.size(); ++i)
    entries_[next[static_cast<size_t>(PartOf(hashes[i], parts))]++] =
        static_cast<uint64_t>(hashes[i]) << 32 | i;
}

struct VertexMemo {
  LONG point = -1;
  SVector normal;
  uint32_t local = 0;
};

// The texture coordinate a point was last given, by its run and its host coordinates: equal host
// coordinates in the same run give the same coordinate, without working it out again.
struct UVMemo {
  const Run* run = nullptr;
  double u = 0.0, v = 0.0;
  LONG point = -1;
  uint32_t local = 0;
};

bool Same(double a, double b) {
  uint64_t x, y;
  std::memcpy(&x, &a, sizeof x);
  std::memcpy(&y, &b, sizeof y);
  return x == y;
}

}  // namespace

struct MeshBuilder::Impl {
  Orvane::OrvaneMesh& mesh;
  const LVector* points;
  LONG pointCount;
  const CPolygon* polygons;
  LONG polygonCount;
  const SVector* phong;
  Real scale;
  std::vector<Run> runs;
  size_t sequenceLength = 0;
  std::vector<Chunk> chunks;
  // Per flat key number: the flat number of the key's first appearance; once placed, a key that
  // owns itself holds its final number instead, marked with kPlaced.
  MeshArray<uint32_t> vertexFirst, uvFirst;

  Impl(Orvane::OrvaneMesh& m, const LVector* p, LONG pc, const CPolygon* v, LONG vc, const SVector* n, Real s)
      : mesh(m),
        points(p),
        pointCount(p ? std::max<LONG>(pc, 0) : 0),
        polygons(v),
        polygonCount(v ? std::max<LONG>(vc, 0) : 0),
        phong(n),
        scale(s) {}

  bool Valid(LONG index) const { return index >= 0 && index < pointCount; }
  bool Valid(const CPolygon& v) const { return Valid(v.a) && Valid(v.b) && Valid(v.c) && Valid(v.d); }

  void Add(LONG first, LONG last, uint32_t material, const MeshUVSource& uv) {
    first = std::max<LONG>(first, 0);
    last = std::min<LONG>(last, polygonCount - 1);
    if (first > last) return;
    Run run{first, last, material, uv};
    auto factor = [](Real length) {
      double f = 1.0 / length;
      return std::isfinite(f) ? f : 1.0;
    };
    run.factorU = factor(uv.lengthU);
    run.factorV = factor(uv.lengthV);
    run.start = sequenceLength;
    sequenceLength += static_cast<size_t>(last - first) + 1;
    runs.push_back(run);
  }

  // Calls `f(polygon index, run)` for the sequence positions [begin, end).
  template <typename F>
  void ForEachPolygon(size_t begin, size_t end, F f) const {
    if (begin >= end) return;
    auto it = std::upper_bound(runs.begin(), runs.end(), begin,
                               [](size_t pos, const Run& r) { return pos < r.start; });
    for (size_t r = static_cast<size_t>(it - runs.begin()) - 1; begin < end; ++r) {
      const Run& run = runs[r];
      const size_t runEnd = std::min(end, run.start + static_cast<size_t>(run.last - run.first) + 1);
      for (LONG i = run.first + static_cast<LONG>(begin - run.start); begin < runEnd; ++begin, ++i) f(i, run);
    }
  }

  Vec3f Position(LONG point) const {
    const LVector& p = points[point];
    return Vec3f{Canonical(static_cast<float>(p.x * scale)), Canonical(static_cast<float>(p.z * scale)),
                 Canonical(static_cast<float>(p.y * scale))};
  }

  static Vec3f Normal(const SVector& n) {
    double x = n.x, y = n.y, z = n.z;
    const double len = std::sqrt(x * x + y * y + z * z);
    if (!(len >= 1e-7)) {
      x = 1.0;
      y = z = 0.0;
    } else if (!(std::fabs(len - 1.0) < 1e-7)) {
      const double inv = 1.0 / len;
      x *= inv;
      y *= inv;
      z *= inv;
    }
    return Vec3f{Canonical(static_cast<float>(x)), Canonical(static_cast<float>(z)),
                 Canonical(static_cast<float>(y))};
  }

  static Vec2f TexCoord(const LVector& uvw, const Run& run) {
    double u = uvw.x, v = uvw.y;
    if (run.uv.transform) {
      u = (u - run.uv.offsetU) * run.factorU;
      v = (v - run.uv.offsetV) * run.factorV;
    }
    return Vec2f{Canonical(static_cast<float>(u)), Canonical(static_cast<float>(1.0 - v))};
  }

  void CountTriangles(Chunk& c) const {
    size_t n = 0;
    ForEachPolygon(c.begin, c.end, [&](LONG i, const Run&) {
      const CPolygon& v = polygons[i];
      if (Valid(v)) n += v.c == v.d ? 1 : 2;
    });
    c.triangleCount = n;
  }

  // Writes the chunk's triangles with the numbers of the chunk's candidate keys: a corner whose
  // point has just made an equal key reuses it, every other corner makes a new candidate. Keys
  // appear among the candidates in the order of their first appearance; repeated candidates
  // (a position shared by several points) are merged later.
  void ConvertChunk(Chunk& c, size_t memoSize, MeshArray<VertexMemo>& vertexMemo, MeshArray<UVMemo>& uvMemo) {
    // The caches (made with the thread's first chunk) hold nothing of an earlier chunk.
    if (vertexMemo.size() != memoSize) {
      vertexMemo.assign(memoSize, VertexMemo());
      uvMemo.assign(memoSize, UVMemo());
    } else {
      std::fill(vertexMemo.begin(), vertexMemo.end(), VertexMemo());
      std::fill(uvMemo.begin(), uvMemo.end(), UVMemo());
    }
    const size_t memoMask = memoSize - 1;
    // A mesh of quadrangles has about one vertex and one texture coordinate per polygon, and a
    // chunk repeats the points of its first row: room for a quarter more.
    const size_t expected = (c.end - c.begin) * 5 / 4 + 64;
    // The arrays are sized ahead and filled by index (their new elements are left as they are),
    // grown when a chunk needs more, and cut to what was filled at the end.
    size_t vertices = 0, uvCount = 0;
    auto sizeVertices = [&](size_t n) {
      c.positions.resize(n);
      c.vertexHashes.resize(n);
      if (phong) c.normals.resize(n);
    };
    auto sizeUVs = [&](size_t n) {
      c.uvs.resize(n);
      c.uvHashes.resize(n);
    };
    sizeVertices(expected);
    sizeUVs(expected);

    auto vertex = [&](LONG point, const SVector* raw) -> uint32_t {
      VertexMemo& memo = vertexMemo[static_cast<size_t>(point) & memoMask];
      if (memo.point == point && (!raw || Same(memo.normal, *raw))) return memo.local;
      const Vec3f pos = Position(point);
      const Vec3f nrm = raw ? Normal(*raw) : Vec3f{0.0f, 0.0f, 0.0f};
      if (vertices == c.positions.size()) sizeVertices(2 * vertices);
      const uint32_t local = static_cast<uint32_t>(vertices++);
      c.positions[local] = pos;
      if (phong) c.normals[local] = nrm;
      c.vertexHashes[local] = HashVertex(pos, nrm);
      memo.point = point;
      if (raw) memo.normal = *raw;
      memo.local = local;
      return local;
    };
    auto texCoord = [&](LONG point, const LVector& uvw, const Run& run) -> uint32_t {
      UVMemo& memo = uvMemo[static_cast<size_t>(point) & memoMask];
      if (memo.point == point && memo.run == &run && Same(memo.u, uvw.x) && Same(memo.v, uvw.y))
        return memo.local;
      const Vec2f t = TexCoord(uvw, run);
      if (uvCount == c.uvs.size()) sizeUVs(2 * uvCount);
      const uint32_t local = static_cast<uint32_t>(uvCount++);
      c.uvs[local] = t;
      c.uvHashes[local] = HashUV(t);
      memo.run = &run;
      memo.u = uvw.x;
      memo.v = uvw.y;
      memo.point = point;
      memo.local = local;
      return local;
    };

    static const UVWStruct kNoCoordinates{};
    Triangle* out = mesh.triangles.data() + c.triangleStart;
    const bool streaming = mesh.triangles.size() * sizeof(Triangle) > kStreamFrom;
    auto emit = [&](const Triangle& t) {
      if (streaming)
        StreamTriangle(out++, t);
      else
        *out++ = t;
    };
    ForEachPolygon(c.begin, c.end, [&](LONG i, const Run& run) {
      const CPolygon& v = polygons[i];
      if (!Valid(v)) return;
      const UVWStruct& uvw = run.uv.uvw && i < run.uv.count ? run.uv.uvw[i] : kNoCoordinates;
      const SVector* n = phong ? phong + 4 * static_cast<size_t>(i) : nullptr;
      const uint32_t va = vertex(v.a, n), ta = texCoord(v.a, uvw.a, run);
      const uint32_t vb = vertex(v.b, n ? n + 1 : nullptr), tb = texCoord(v.b, uvw.b, run);
      const uint32_t vc = vertex(v.c, n ? n + 2 : nullptr), tc = texCoord(v.c, uvw.c, run);
      emit(Triangle{{vc, vb, va}, {tc, tb, ta}, run.material});
      if (v.c != v.d) {
        const uint32_t vd = vertex(v.d, n ? n + 3 : nullptr), td = texCoord(v.d, uvw.d, run);
        emit(Triangle{{va, vd, vc}, {ta, td, tc}, run.material});
      }
    });
    if (streaming) StreamFence();
    sizeVertices(vertices);
    sizeUVs(uvCount);
  }

  // The chunk that holds the flat key number `flat`, by the chunks' bases.
  template <typename Base>
  size_t ChunkOf(size_t flat, Base base) const {
    size_t lo = 0, hi = chunks.size();
    while (hi - lo > 1) {
      size_t mid = (lo + hi) / 2;
      if (base(chunks[mid]) <= flat)
        lo = mid;
      else
        hi = mid;
    }
    return lo;
  }

  // Merges the candidates of partition `part`: each gets the flat number of the first candidate
  // with an equal key. The chunks are taken in order, so the first one met is the first in the
  // sequence; the table's slots are fetched a few candidates ahead of their use.
  void SharePartition(int part) {
    IndexTable table;  // one table for both kinds of key, so that the second finds it mapped
    MergePartition(
        table, part, &Chunk::vertexParts, &Chunk::vertexOwned, vertexFirst,
        [](const Chunk& c) { return c.vertexBase; }, true);
    MergePartition(
        table, part, &Chunk::uvParts, &Chunk::uvOwned, uvFirst, [](const Chunk& c) { return c.uvBase; },
        false);
  }

  template <typename Base>
  void MergePartition(IndexTable& table, int part, PartitionedKeys Chunk::*parts,
                      std::vector<size_t> Chunk::*owned, MeshArray<uint32_t>& first, Base base,
                      bool vertices) {
    constexpr size_t kAhead = 16;
    size_t total = 0;
    for (const Chunk& c : chunks) total += (c.*parts).Size(part);
    table.Reset(total);
    auto equal = [&](uint32_t a, uint32_t b) {
      const Chunk& ca = chunks[ChunkOf(a, base)];
      const Chunk& cb = chunks[ChunkOf(b, base)];
      const size_t ja = a - base(ca), jb = b - base(cb);
      if (!vertices) return Same(ca.uvs[ja], cb.uvs[jb]);
      return Same(ca.positions[ja], cb.positions[jb]) && (!phong || Same(ca.normals[ja], cb.normals[jb]));
    };
    for (Chunk& c : chunks) {
      const uint64_t* entries = (c.*parts).Begin(part);
      const size_t count = (c.*parts).Size(part);
      const size_t from = base(c);
      size_t firsts = 0;
      for (size_t i = 0; i < count; ++i) {
        if (i + kAhead < count) table.Prefetch(static_cast<uint32_t>(entries[i + kAhead] >> 32));
        const uint32_t hash = static_cast<uint32_t>(entries[i] >> 32);
        const uint32_t flat = static_cast<uint32_t>(from + static_cast<uint32_t>(entries[i]));
        const uint32_t found =
            table.FindOrInsert(hash, flat, [&](uint32_t other) { return equal(other, flat); });
        first[flat] = found;
        firsts += found == flat;
      }
      (c.*owned)[static_cast<size_t>(part)] = firsts;
    }
  }

  // Gives the keys the chunk owns their final numbers and writes them into the mesh, noting
  // whether every number written is finite (a float whose exponent bits are all ones is not).
  void PlaceOwnedKeys(Chunk& c) {
    uint32_t notFinite = 0;
    auto note = [&](float f) { notFinite |= static_cast<uint32_t>((Bits(f) & 0x7F800000u) == 0x7F800000u); };
    size_t out = c.vertexOutStart;
    for (size_t k = 0; k < c.positions.size(); ++k) {
      const size_t flat = c.vertexBase + k;
      if (vertexFirst[flat] != flat) continue;
      vertexFirst[flat] = static_cast<uint32_t>(out) | kPlaced;
      mesh.positions[out] = c.positions[k];
      note(c.positions[k].x);
      note(c.positions[k].y);
      note(c.positions[k].z);
      if (phong) {
        mesh.normals[out] = c.normals[k];
        note(c.normals[k].x);
        note(c.normals[k].y);
        note(c.normals[k].z);
      }
      ++out;
    }
    out = c.uvOutStart;
    for (size_t k = 0; k < c.uvs.size(); ++k) {
      const size_t flat = c.uvBase + k;
      if (uvFirst[flat] != flat) continue;
      uvFirst[flat] = static_cast<uint32_t>(out) | kPlaced;
      mesh.uvs[out] = c.uvs[k];
      note(c.uvs[k].x);
      note(c.uvs[k].y);
      ++out;
    }
    c.finite = notFinite == 0;
  }

  // The final number of the flat key `flat`: its own when it owns itself, otherwise that of its
  // first appearance (placed by this chunk or an earlier one).
  static uint32_t Final(const MeshArray<uint32_t>& first, size_t flat) {
    const uint32_t v = first[flat];
    return (v & kPlaced ? v : first[v]) & ~kPlaced;
  }

  void Renumber(const Chunk& c) {
    Triangle* t = mesh.triangles.data() + c.triangleStart;
    for (size_t n = 0; n < c.triangleCount; ++n, ++t) {
      for (int k = 0; k < 3; ++k) {
        t->vertexIndices[k] = Final(vertexFirst, c.vertexBase + t->vertexIndices[k]);
        t->uvIndices[k] = Final(uvFirst, c.uvBase + t->uvIndices[k]);
      }
    }
  }

  void Build(int threads) {
    if (threads <= 0) threads = WorkerPool::ThreadsFor(sequenceLength, kPolygonsPerThread);
    threads = std::max(1, std::min<int>(threads, static_cast<int>(std::max<size_t>(sequenceLength, 1))));
    const size_t chunkCount =
        threads == 1 ? 1 : std::min(static_cast<size_t>(threads) * kChunksPerThread, sequenceLength);
    chunks.assign(chunkCount, Chunk());
    for (size_t t = 0; t < chunks.size(); ++t) {
      chunks[t].begin = sequenceLength * t / chunks.size();
      chunks[t].end = sequenceLength * (t + 1) / chunks.size();
    }

    // No larger than the object's points: a small mesh clears small caches.
    size_t memoSize = 1;
    while (memoSize < kMemoSize && memoSize < static_cast<size_t>(pointCount)) memoSize *= 2;

    // Each chunk counts its triangles, then converts them behind those of the chunks before it
    // (room for two triangles per polygon; what is not used is cut off below). Chunks are taken
    // in order, and a chunk waits only for chunks taken before it, which never wait for it.
    mesh.triangles.resize(2 * sequenceLength);
    std::unique_ptr<std::atomic<size_t>[]> counted(new std::atomic<size_t>[chunks.size()]);
    for (size_t t = 0; t < chunks.size(); ++t) counted[t].store(kNotYet, std::memory_order_relaxed);
    std::atomic<size_t> nextToConvert{0};
    ParallelFor(threads, [&](int) {
      MeshArray<VertexMemo> vertexMemo;
      MeshArray<UVMemo> uvMemo;
      for (size_t t; (t = nextToConvert.fetch_add(1)) < chunks.size();) {
        Chunk& c = chunks[t];
        CountTriangles(c);
        counted[t].store(c.triangleCount, std::memory_order_release);
        c.triangleStart = 0;
        for (size_t earlier = 0; earlier < t; ++earlier) c.triangleStart += Await(counted[earlier]);
        ConvertChunk(c, memoSize, vertexMemo, uvMemo);
        c.vertexParts.Fill(c.vertexHashes, threads);
        c.uvParts.Fill(c.uvHashes, threads);
        c.vertexOwned.assign(static_cast<size_t>(threads), 0);
        c.uvOwned.assign(static_cast<size_t>(threads), 0);
      }
    });
    mesh.triangles.resize(chunks.back().triangleStart + chunks.back().triangleCount);
    size_t vertexKeys = 0, uvKeys = 0;
    for (Chunk& c : chunks) {
      c.vertexBase = vertexKeys;
      c.uvBase = uvKeys;
      vertexKeys += c.positions.size();
      uvKeys += c.uvs.size();
    }
    // Flat numbers, marked or not, fit 31 bits.
    if (vertexKeys >= kPlaced || uvKeys >= kPlaced) throw std::bad_alloc();
    vertexFirst.resize(vertexKeys);
    uvFirst.resize(uvKeys);
    ParallelFor(threads, [&](int part) { SharePartition(part); });

    size_t vertices = 0, uvs = 0;
    for (Chunk& c : chunks) {
      c.vertexOutStart = vertices;
      c.uvOutStart = uvs;
      for (size_t n : c.vertexOwned) vertices += n;
      for (size_t n : c.uvOwned) uvs += n;
    }
    mesh.positions.resize(vertices);
    if (phong) mesh.normals.resize(vertices);
    mesh.uvs.resize(uvs);
    // A chunk's triangles refer to keys placed by it and by the chunks before it.
    std::unique_ptr<std::atomic<size_t>[]> placed(new std::atomic<size_t>[chunks.size()]);
    for (size_t t = 0; t < chunks.size(); ++t) placed[t].store(kNotYet, std::memory_order_relaxed);
    std::atomic<size_t> nextToPlace{0};
    ParallelFor(threads, [&](int) {
      for (size_t t; (t = nextToPlace.fetch_add(1)) < chunks.size();) {
        PlaceOwnedKeys(chunks[t]);
        placed[t].store(1, std::memory_order_release);
        for (size_t earlier = 0; earlier < t; ++earlier) Await(placed[earlier]);
        Renumber(chunks[t]);
      }
    });
  }
};

MeshBuilder::MeshBuilder(Orvane::OrvaneMesh& mesh, const LVector* points, LONG pointCount,
                         const CPolygon* polygons, LONG polygonCount, const SVector* phong, Real scale)
    : impl_(new Impl(mesh, points, pointCount, polygons, polygonCount, phong, scale)) {}

MeshBuilder::~MeshBuilder() { delete impl_; }

bool MeshBuilder::Finite() const {
  for (const Chunk& c : impl_->chunks)
    if (!c.finite) return false;
  return true;
}

uint32_t MeshBuilder::AddMaterial(const std::string& name) {
  std::vector<std::string>& names = impl_->mesh.materialNames;
  auto it = std::find(names.begin(), names.end(), name);
  if (it != names.end()) return static_cast<uint32_t>(it - names.begin());
  names.push_back(name);
  return static_cast<uint32_t>(names.size() - 1);
}

void MeshBuilder::AddPolygons(LONG first, LONG last, uint32_t material, const MeshUVSource& uv) {
  impl_->Add(first, last, material, uv);
}

void MeshBuilder::AddPolygons(const BaseSelect& selection, uint32_t material, const MeshUVSource& uv) {
  LONG a, b;
  for (LONG seg = 0; selection.GetRange(seg, &a, &b); ++seg) impl_->Add(a, b, material, uv);
}

void MeshBuilder::Build(int threads) { impl_->Build(threads); }
