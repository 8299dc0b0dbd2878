// Host services over documents and files: preferences, texture search, primitives.
#pragma once

#include "c4d_gedata.h"

class BaseDocument;
class BaseObject;
class BaseThread;

/// IDs of the world preferences.
enum {
  WPREF_UNITS = 10000,  ///< LONG, the unit of lengths shown to the user (a `UNIT_*` value).
};

/// Units of `WPREF_UNITS`.
enum {
  UNIT_KM = 1,
  UNIT_M = 2,
  UNIT_CM = 3,
  UNIT_MM = 4,
  UNIT_UM = 5,
  UNIT_NM = 6,
  UNIT_MILE = 7,
  UNIT_YARD = 8,
  UNIT_FEET = 9,
  UNIT_INCH = 10,
};

/// A copy of the host's world preferences (units in centimetres unless the host set otherwise).
BaseContainer GetWorldContainer();

/// Finds the texture `file` for a document that lies in the folder `docpath`. An absolute name
/// of an existing file is itself. Otherwise the name (for an absolute name: its last component)
/// is looked for in `suggestedfolder` (when given), in `docpath` and in `docpath`'s "tex" folder,
/// in that order. True with `*dst` set to the first existing file; where there is none, to the
/// first name that may be there but could not be reached (a folder on the way that cannot be
/// searched), so that reading it says why; false (and `*dst` untouched) when neither is found.
Bool GenerateTexturePath(const Filename& docpath, const Filename& file, const Filename& suggestedfolder,
                         Filename* dst);

/// A primitive of `type` (parameters in c4d_hostobjects.h) as a new polygon object with a UVW tag,
/// owned by the caller, or null. Only `Oplane` is known: a grid in the x-z plane facing +y (or
/// where `PRIM_AXIS` turns it), centred at the origin, with u running along +x and v along -z over
/// 0..1; `lod` scales the segment counts (at least 1), and `isotriangulate` splits every
/// quadrangle into two triangles.
BaseObject* GeneratePrimitive(BaseDocument* doc, LONG type, const BaseContainer& bc, Real lod,
                              Bool isotriangulate, BaseThread* bt);
