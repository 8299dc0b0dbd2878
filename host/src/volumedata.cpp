// Surface samples of the host's renderer and what a render hands to shaders.
#include "c4d_basedocument.h"
#include "c4d_resource.h"
#include "c4d_shader.h"

InitRenderStruct::InitRenderStruct(BaseDocument* document) : doc(document) {
  version_type = GeGetVersionType();
  if (!document) return;
  docpath = document->GetDocumentPath();
  fps = document->GetFps();
  time = document->GetTime().Get();
}

void VolumeData::InitSurfacePointProperties(TexData*) { ++surfacePointInits_; }

Bool VolumeData::ProjectPoint(TexData* tex, const RayHitID& lhit, const LVector& point, const LVector& normal,
                              LVector* uvw) const {
  if (!uvw) return false;
  if (projection_) return projection_(tex, lhit, point, normal, uvw);
  *uvw = point;
  return true;
}

void VolumeData::IlluminanceSimple(LVector* diffuse, LVector* specular, Real exponent) const {
  if (illumination_) {
    illumination_(*this, diffuse, specular, exponent);
    return;
  }
  if (diffuse) *diffuse = LVector(1.0, 1.0, 1.0);
  if (specular) *specular = LVector();
}

LVector VolumeData::TraceColor(const Ray* ray, Real maxdist, const RayHitID& lhit,
                               SurfaceIntersection* si) const {
  if (!ray) return LVector();
  if (tracer_) return tracer_(*ray, maxdist, lhit, si);
  return LVector();
}

LVector ReflectRay(const LVector& v, const LVector& n) { return v - n * (2.0 * (v * n)); }
