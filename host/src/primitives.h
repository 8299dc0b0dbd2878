// The host's parametric objects: defaults of lights and primitives, and the meshes of primitives.
#pragma once

#include "c4d_hostobjects.h"

namespace host {

/// True for a host primitive type (`Osphere`, `Ocube`, `Odisc`, `Oplane`, `Ocylinder`).
bool IsPrimitiveType(LONG type);
/// True for the host object types of this file that exist without a plug-in.
bool IsParametricObjectType(LONG type);
/// Writes the defaults of a new light or primitive into its container.
void InitParametricObject(BaseObject* op);
/// A new polygon object with the mesh that primitive `op` describes with its current parameters,
/// in the primitive's own coordinates; in no document, without name, matrix or further tags.
/// Null when `op` is no primitive. The caller owns it.
PolygonObject* GeneratePrimitiveMesh(const BaseObject* op);

/// Turns the points of a primitive's mesh, built facing +Y, to face `axis` (`PRIM_AXIS_*`).
void OrientPrimitive(PolygonObject* mesh, LONG axis);

}  // namespace host
