// The host's own parametric objects: lights, the sky and the primitives, with the parameter IDs
// that describe them. Their parameters live in the object's container; a new object holds the
// defaults listed here.
#pragma once

#include "c4d_baseobject.h"

/// Host primitive types (besides `Osphere` and `Oplane`).
enum {
  Ocube = 5159,      ///< Box.
  Odisc = 5164,      ///< Flat disc or ring.
  Ocylinder = 5170,  ///< Cylinder with caps.
};

/// Parameters of a light (`Olight`).
enum {
  LIGHT_COLOR = 90000,       ///< Vector: colour; default (1, 1, 1).
  LIGHT_BRIGHTNESS = 90001,  ///< Real: brightness factor; default 1.0.
  LIGHT_TYPE = 90002,        ///< Integer: `LIGHT_TYPE_*`; default omni.

  LIGHT_AREADETAILS_SIZEX = 100010,   ///< Real: area size along X; default 200.
  LIGHT_AREADETAILS_SIZEY = 100011,   ///< Real: area size along Y; default 200.
  LIGHT_AREADETAILS_SIZEZ = 100012,   ///< Real: area size along Z; default 200.
  LIGHT_AREADETAILS_OBJECT = 100014,  ///< Link: the object that gives the area its shape.
  LIGHT_AREADETAILS_SHAPE = 100015,   ///< Integer: `LIGHT_AREADETAILS_SHAPE_*`; default rectangle.
};

/// Values of `LIGHT_TYPE`.
enum {
  LIGHT_TYPE_OMNI = 0,      ///< Point light.
  LIGHT_TYPE_SPOT = 1,      ///< Round spot.
  LIGHT_TYPE_SPOTRECT = 2,  ///< Square spot.
  LIGHT_TYPE_DISTANT = 3,   ///< Sun-like, parallel rays from infinity.
  LIGHT_TYPE_PARALLEL = 4,  ///< Parallel rays from a plane.
  LIGHT_TYPE_AREA = 8,      ///< Emitting surface of the area shape.
};

/// Values of `LIGHT_AREADETAILS_SHAPE`.
enum {
  LIGHT_AREADETAILS_SHAPE_DISC = 0,
  LIGHT_AREADETAILS_SHAPE_RECTANGLE = 1,
  LIGHT_AREADETAILS_SHAPE_SPHERE = 2,
  LIGHT_AREADETAILS_SHAPE_CYLINDER = 3,
  LIGHT_AREADETAILS_SHAPE_CUBE = 4,
  LIGHT_AREADETAILS_SHAPE_HEMISPHERE = 5,
  LIGHT_AREADETAILS_SHAPE_OBJECT = 6,  ///< The polygon object of `LIGHT_AREADETAILS_OBJECT`.
};

/// Parameters shared by the primitives.
enum {
  PRIM_AXIS = 1300,  ///< Integer: the direction the primitive's up axis faces (`PRIM_AXIS_*`).
};

/// Values of `PRIM_AXIS`: the natural up axis +Y is turned to face this direction.
enum {
  PRIM_AXIS_XP = 0,
  PRIM_AXIS_XN = 1,
  PRIM_AXIS_YP = 2,
  PRIM_AXIS_YN = 3,
  PRIM_AXIS_ZP = 4,
  PRIM_AXIS_ZN = 5,
};

/// Parameters of the primitives, with their defaults.
enum {
  PRIM_CUBE_LEN = 1100,  ///< Vector: edge lengths; default (200, 200, 200).

  PRIM_SPHERE_RAD = 1110,   ///< Real: radius; default 100.
  PRIM_SPHERE_SUB = 1111,   ///< Integer: segments around; default 24 (at least 3).
  PRIM_SPHERE_TYPE = 1112,  ///< Integer: 0 standard, 5 hemisphere (the open upper half).

  PRIM_DISC_IRAD = 1160,  ///< Real: inner radius; default 0.
  PRIM_DISC_ORAD = 1161,  ///< Real: outer radius; default 100.
  PRIM_DISC_SUB = 1162,   ///< Integer: rings between inner and outer radius; default 1.
  PRIM_DISC_SEG = 1163,   ///< Integer: segments around; default 36 (at least 3).

  PRIM_PLANE_WIDTH = 1230,   ///< Real: size along X; default 400 (`GeneratePrimitive` reads these too).
  PRIM_PLANE_HEIGHT = 1231,  ///< Real: size along Z; default 400.
  PRIM_PLANE_SUBW = 1232,    ///< Integer: segments along the width; default 20.
  PRIM_PLANE_SUBH = 1233,    ///< Integer: segments along the height; default 20.

  PRIM_CYLINDER_RADIUS = 5000,  ///< Real: radius; default 50.
  PRIM_CYLINDER_HEIGHT = 5005,  ///< Real: height along the up axis; default 200.
  PRIM_CYLINDER_HSUB = 5006,    ///< Integer: segments along the height; default 1.
  PRIM_CYLINDER_SEG = 5008,     ///< Integer: segments around; default 36 (at least 3).
  PRIM_CYLINDER_CAPS = 5010,    ///< Bool: closed ends; default true.
};

/// Values of `PRIM_SPHERE_TYPE`.
enum {
  PRIM_SPHERE_TYPE_STANDARD = 0,
  PRIM_SPHERE_TYPE_HEMISPHERE = 5,
};
