#include "export/meshchecksum.h"

#include <zlib.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <initializer_list>
#include <utility>
#include <string>
#include <vector>

#include "export/materialnametable.h"
#include "export/workerpool.h"
#include "main/helpers.h"
#include "tag/mysubdivisionids.h"

namespace {

// Raised whenever the conversion changes what it makes of the same object, so that mesh files of
// an earlier conversion are not taken for current ones.
constexpr int32_t kConverterRevision = 1;

// Arrays are summed in blocks of this size; the fingerprint is defined over these blocks, so it
// does not depend on the number of threads.
constexpr size_t kBlock = size_t(256) << 10;
constexpr size_t kParallelFrom = size_t(4) << 20;

constexpr uint64_t kPrime1 = 0x9E3779B185EBCA87ull;
constexpr uint64_t kPrime2 = 0xC2B2AE3D27D4EB4Full;
constexpr uint64_t kPrime3 = 0x165667B19E3779F9ull;

uint64_t Rotl(uint64_t x, int r) { return (x << r) | (x >> (64 - r)); }

uint64_t Avalanche(uint64_t h) {
  h ^= h >> 33;
  h *= kPrime2;
  h ^= h >> 29;
  h *= kPrime3;
  h ^= h >> 32;
  return h;
}

// A 64-bit hash of `size` bytes: four lanes over 32-byte stripes, the tail byte by byte.
uint64_t Hash64(const unsigned char* p, size_t size) {
  uint64_t lane[4] = {kPrime1 + kPrime2, kPrime2, 0, 0 - kPrime1};
  size_t i = 0;
  for (; i + 32 <= size; i += 32) {
    for (int k = 0; k < 4; ++k) {
      uint64_t w;
      std::memcpy(&w, p + i + 8 * k, 8);
      lane[k] = Rotl(lane[k] + w * kPrime2, 31) * kPrime1;
    }
  }
  uint64_t h = Rotl(lane[0], 1) + Rotl(lane[1], 7) + Rotl(lane[2], 12) + Rotl(lane[3], 18) + size;
  for (; i < size; ++i) h = Rotl(h ^ (p[i] * kPrime3), 11) * kPrime1;
  return Avalanche(h);
}

// The checksum and fingerprint of a stream of byte pieces.
class Digest {
 public:
  explicit Digest(ULONG start) : crc_(start) {}

  void Add(const void* data, size_t size) { AddPieces({{data, size}}); }

  // Adds the pieces one after the other. Large data is summed on several threads at once, over
  // the blocks of all pieces together: each block from 0, the sums then joined in order.
  void AddPieces(std::initializer_list<std::pair<const void*, size_t>> pieces) {
    size_t total = 0;
    for (const auto& [data, size] : pieces)
      if (data) total += size;
    if (total < kParallelFrom) {
      for (const auto& [data, size] : pieces) {
        if (!data) continue;
        const auto* p = static_cast<const unsigned char*>(data);
        for (size_t at = 0; at < size; at += kBlock) {
          const size_t n = std::min(kBlock, size - at);
          crc_ = ZipFile::CalcCRC32(p + at, static_cast<VLONG>(n), crc_);
          Fold(Hash64(p + at, n));
        }
      }
      return;
    }
    struct Block {
      const unsigned char* p;
      size_t n;
    };
    std::vector<Block> blocks;
    for (const auto& [data, size] : pieces) {
      if (!data) continue;
      const auto* p = static_cast<const unsigned char*>(data);
      for (size_t at = 0; at < size; at += kBlock)
        blocks.push_back(Block{p + at, std::min(kBlock, size - at)});
    }
    std::vector<ULONG> crcs(blocks.size());
    std::vector<uint64_t> hashes(blocks.size());
    // Blocks are taken in turn by whichever thread is free, so that a slowed thread holds up
    // less of the work.
    const int threads = WorkerPool::ThreadsFor(blocks.size(), 4);
    std::atomic<size_t> next{0};
    auto work = [&](int) {
      for (size_t b; (b = next.fetch_add(1)) < blocks.size();) {
        crcs[b] = ZipFile::CalcCRC32(blocks[b].p, static_cast<VLONG>(blocks[b].n), 0);
        hashes[b] = Hash64(blocks[b].p, blocks[b].n);
      }
    };
    WorkerPool::Run(threads, work);
    for (size_t b = 0; b < blocks.size(); ++b) {
      crc_ = static_cast<ULONG>(crc32_combine(crc_, crcs[b], static_cast<z_off_t>(blocks[b].n)));
      Fold(hashes[b]);
    }
  }

  template <typename T>
  void AddValue(const T& v) {
    Add(&v, sizeof v);
  }

  // A text with its length, so that consecutive texts cannot run into each other.
  void AddText(const std::string& s) {
    AddValue(static_cast<uint32_t>(s.size()));
    Add(s.data(), s.size());
  }

  void AddMatrix(const LMatrix& m) {
    const Real values[12] = {m.off.x, m.off.y, m.off.z, m.v1.x, m.v1.y, m.v1.z,
                             m.v2.x,  m.v2.y,  m.v2.z,  m.v3.x, m.v3.y, m.v3.z};
    Add(values, sizeof values);
  }

  ULONG crc() const { return crc_; }
  uint64_t fingerprint() const { return Avalanche(fingerprint_); }

 private:
  void Fold(uint64_t h) { fingerprint_ = Rotl(fingerprint_ ^ h, 27) * kPrime1 + kPrime3; }

  ULONG crc_;
  uint64_t fingerprint_ = 0;
};

void AddMeshData(PolygonObject* obj, Digest& d) {
  const LONG polygons = obj->GetPolygonCount();
  const LONG points = obj->GetPointCount();
  d.AddValue(points);
  d.AddValue(polygons);
  const UVWTag* uvw = static_cast<const UVWTag*>(obj->GetTag(Tuvw));
  const LVector* p = obj->GetPointR();
  const CPolygon* v = obj->GetPolygonR();
  // Summed together, so that the arrays of a large object share the threads.
  d.AddPieces({{uvw ? uvw->GetDataAddressR() : nullptr,
                uvw ? static_cast<size_t>(std::max<LONG>(uvw->GetDataSize(), 0)) : 0},
               {p, p ? static_cast<size_t>(std::max<LONG>(points, 0)) * sizeof(LVector) : 0},
               {v, v ? static_cast<size_t>(std::max<LONG>(polygons, 0)) * sizeof(CPolygon) : 0}});
}

void AddTextureTags(PolygonObject* obj, BaseDocument* doc, const MaterialNameTable* names, Digest& d) {
  if (!doc) doc = obj->GetDocument();
  for (TextureTag* tag : Helpers::GetUsedTextureTags(obj)) {
    // The material by the name the scene gives it: stable from one run of the host to the next.
    if (BaseMaterial* mat = tag->GetMaterial()) {
      d.AddValue(int32_t(1));
      d.AddText(Helpers::ToUTF8String(MaterialNameTable::Name(names, mat, doc)));
    } else {
      d.AddValue(int32_t(0));
    }
    const BaseContainer bc = tag->GetData();
    d.AddValue(-bc.GetReal(TEXTURETAG_OFFSETX, 0.0));
    d.AddValue(-bc.GetReal(TEXTURETAG_OFFSETY, 0.0));
    d.AddValue(bc.GetReal(TEXTURETAG_LENGTHX, 0.0));
    d.AddValue(bc.GetReal(TEXTURETAG_LENGTHY, 0.0));
    const LONG projection = bc.GetLong(TEXTURETAG_PROJECTION, 0);
    d.AddValue(projection);
    d.AddText(Helpers::ToUTF8String(bc.GetString(TEXTURETAG_RESTRICTION)));
    d.AddMatrix(tag->GetMl());
    // A projection placed by another object (a parent or the generator of a cache) depends on
    // where the object lies relative to it; one placed by the object itself does not.
    BaseObject* carrier = tag->GetObject();
    if (projection != TEXTURETAG_PROJECTION_UVW && carrier && carrier != obj)
      d.AddMatrix(!carrier->GetMg() * obj->GetMg());
  }
}

void AddPhong(PolygonObject* obj, Digest& d) {
  const BaseTag* phong = obj->GetTag(Tphong);
  if (!phong) return;
  const BaseContainer bc = phong->GetData();
  d.AddValue(static_cast<int32_t>(bc.GetBool(PHONGTAG_PHONG_ANGLELIMIT)));
  d.AddValue(static_cast<int32_t>(bc.GetBool(PHONGTAG_PHONG_USEEDGES)));
  d.AddValue(bc.GetReal(PHONGTAG_PHONG_ANGLE, 89.0));
}

void AddSelections(PolygonObject* obj, Digest& d) {
  for (BaseTag* t = obj->GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Tpolygonselection) continue;
    const BaseSelect* bs = static_cast<SelectionTag*>(t)->GetBaseSelect();
    d.AddText(Helpers::ToUTF8String(t->GetName()));
    const LONG segments = bs ? bs->GetSegments() : -1;
    d.AddValue(segments);
    LONG range[2];
    for (LONG seg = 0; bs && bs->GetRange(seg, &range[0], &range[1]); ++seg) d.Add(range, sizeof range);
  }
}

// The subdivision settings travel in the "mesh" element that the checksum names: two objects that
// differ in them need two elements.
void AddSubdivision(PolygonObject* obj, Digest& d) {
  const BaseTag* tag = obj->GetTag(ID_MYSUBDIVISION);
  if (!tag) return;
  const BaseContainer bc = tag->GetData();
  d.AddValue(bc.GetLong(SUBDIV_MAX_NUM_SUBDIVISIONS, 0));
  for (LONG id : {SUBDIV_PIXEL_THRESHOLD, SUBDIV_CURVATURE_THRESHOLD, SUBDIV_DISPLACEMENT_ERROR_THRESHOLD})
    d.AddValue(bc.GetReal(id, 0.0));
  for (LONG id : {SUBDIV_SMOOTHING, SUBDIV_VIEW_DEPENDENT, SUBDIV_WRAP_U, SUBDIV_WRAP_V})
    d.AddValue(static_cast<int32_t>(bc.GetBool(id, FALSE)));
}

}  // namespace

MeshChecksum::Key MeshChecksum::CalcMeshKey(PolygonObject* obj, int salt, double scale, BaseDocument* doc,
                                            const MaterialNameTable* names) {
  if (!obj) return Key();
  Digest d(0);
  d.AddValue(kConverterRevision);
  AddMeshData(obj, d);
  AddTextureTags(obj, doc, names, d);
  AddPhong(obj, d);
  AddSelections(obj, d);
  AddSubdivision(obj, d);
  d.AddValue(scale);
  d.AddValue(static_cast<int32_t>(salt));
  return Key{d.crc(), d.fingerprint()};
}

ULONG MeshChecksum::CalcMeshChecksum(PolygonObject* obj, int salt, double scale, BaseDocument* doc,
                                     const MaterialNameTable* names) {
  return CalcMeshKey(obj, salt, scale, doc, names).checksum;
}

ULONG MeshChecksum::CalcMeshDataChecksum(PolygonObject* obj, ULONG start) {
  if (!obj) return start;
  Digest d(start);
  AddMeshData(obj, d);
  return d.crc();
}

ULONG MeshChecksum::CalcTextureTagChecksum(PolygonObject* obj, ULONG start, BaseDocument* doc,
                                           const MaterialNameTable* names) {
  if (!obj) return start;
  Digest d(start);
  AddTextureTags(obj, doc, names, d);
  return d.crc();
}

ULONG MeshChecksum::CalcPhongChecksum(PolygonObject* obj, ULONG start) {
  if (!obj) return start;
  Digest d(start);
  AddPhong(obj, d);
  return d.crc();
}

ULONG MeshChecksum::CalcSelectionChecksum(PolygonObject* obj, ULONG start) {
  if (!obj) return start;
  Digest d(start);
  AddSelections(obj, d);
  return d.crc();
}
