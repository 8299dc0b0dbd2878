// World preferences, texture search and primitives.
#include "c4d_tools.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <mutex>

#include "c4d_baseobject.h"
#include "c4d_general.h"
#include "host_prefs.h"
#include "primitives.h"

namespace {

struct World {
  std::mutex mutex;
  BaseContainer prefs = Defaults();
  static BaseContainer Defaults() {
    BaseContainer bc;
    bc.SetLong(WPREF_UNITS, UNIT_CM);
    return bc;
  }
};

World& TheWorld() {
  static World w;
  return w;
}

bool IsAbsolute(const String& path) { return path.GetLength() > 0 && path[0] == '/'; }

// After a `GeFExist` that answered false: whether the file may be there all the same (a folder on
// the way cannot be searched, say). Such a name is taken, so that its read gives the reason.
bool MayBeThere() { return errno != ENOENT && errno != ENOTDIR && errno != EISDIR; }

}  // namespace

namespace host {

void SetWorldContainer(const BaseContainer& bc) {
  World& w = TheWorld();
  std::lock_guard<std::mutex> lock(w.mutex);
  w.prefs = bc;
}

void ResetWorldContainer() { SetWorldContainer(World::Defaults()); }

}  // namespace host

BaseContainer GetWorldContainer() {
  World& w = TheWorld();
  std::lock_guard<std::mutex> lock(w.mutex);
  return w.prefs;
}

Bool GenerateTexturePath(const Filename& docpath, const Filename& file, const Filename& suggestedfolder,
                         Filename* dst) {
  if (!dst || !file.Content()) return false;
  Filename name = file;
  Filename unreached;  // the first name that may be there but could not be reached
  if (IsAbsolute(file.GetString())) {
    if (GeFExist(file)) {
      *dst = file;
      return true;
    }
    if (MayBeThere()) unreached = file;
    name = file.GetFile();
  }
  Filename folders[3];
  int count = 0;
  if (suggestedfolder.Content()) folders[count++] = suggestedfolder;
  if (docpath.Content()) {
    folders[count++] = docpath;
    folders[count++] = docpath + Filename("tex");
  }
  for (int i = 0; i < count; ++i) {
    Filename candidate = folders[i] + name;
    if (GeFExist(candidate)) {
      *dst = candidate;
      return true;
    }
    if (MayBeThere() && !unreached.Content()) unreached = candidate;
  }
  if (unreached.Content()) *dst = unreached;
  return unreached.Content();
}

BaseObject* GeneratePrimitive(BaseDocument*, LONG type, const BaseContainer& bc, Real lod,
                              Bool isotriangulate, BaseThread*) {
  if (type != Oplane) return nullptr;
  // A size that is negative or not finite counts as 0, as for every primitive.
  auto size = [&bc](LONG id) {
    const Real v = bc.GetReal(id, 400.0);
    return std::isfinite(v) && v > 0.0 ? v : 0.0;
  };
  const Real width = size(PRIM_PLANE_WIDTH);
  const Real height = size(PRIM_PLANE_HEIGHT);
  auto segments = [lod](LONG n) {
    const Real s = std::round(static_cast<Real>(n) * (lod > 0.0 ? lod : 1.0));
    return static_cast<LONG>(std::clamp(s, 1.0, 4096.0));
  };
  const LONG sw = segments(bc.GetLong(PRIM_PLANE_SUBW, 20));
  const LONG sh = segments(bc.GetLong(PRIM_PLANE_SUBH, 20));
  const LONG quads = sw * sh;
  const LONG polygons = isotriangulate ? 2 * quads : quads;

  PolygonObject* op = PolygonObject::Alloc((sw + 1) * (sh + 1), polygons);
  UVWTag* uvw = UVWTag::Alloc(polygons);
  if (!op || !uvw) {
    BaseObject* o = op;
    BaseObject::Free(o);
    BaseTag* t = uvw;
    BaseTag::Free(t);
    return nullptr;
  }
  op->SetName("Plane");
  LVector* points = op->GetPointW();
  for (LONG j = 0; j <= sh; ++j)
    for (LONG i = 0; i <= sw; ++i)
      points[j * (sw + 1) + i] =
          LVector(width * (static_cast<Real>(i) / sw - 0.5), 0.0, height * (0.5 - static_cast<Real>(j) / sh));
  CPolygon* polys = op->GetPolygonW();
  LONG n = 0;
  for (LONG j = 0; j < sh; ++j) {
    for (LONG i = 0; i < sw; ++i) {
      const LONG a = j * (sw + 1) + i, b = a + 1, c = a + sw + 2, d = a + sw + 1;
      const LVector ua(static_cast<Real>(i) / sw, static_cast<Real>(j) / sh, 0.0);
      const LVector ub(static_cast<Real>(i + 1) / sw, ua.y, 0.0);
      const LVector uc(ub.x, static_cast<Real>(j + 1) / sh, 0.0);
      const LVector ud(ua.x, uc.y, 0.0);
      if (isotriangulate) {
        polys[n] = CPolygon(a, b, c);
        uvw->SetSlow(n++, UVWStruct{ua, ub, uc, uc});
        polys[n] = CPolygon(a, c, d);
        uvw->SetSlow(n++, UVWStruct{ua, uc, ud, ud});
      } else {
        polys[n] = CPolygon(a, b, c, d);
        uvw->SetSlow(n++, UVWStruct{ua, ub, uc, ud});
      }
    }
  }
  host::OrientPrimitive(op, bc.GetLong(PRIM_AXIS, PRIM_AXIS_YP));
  BaseTag* last = op->GetFirstTag();
  while (last && last->GetNext()) last = last->GetNext();
  op->InsertTag(uvw, last);
  return op;
}
