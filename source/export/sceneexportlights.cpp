// Host lights as emitting geometry: a point light becomes a small sphere, a spot light a tiny
// square with an IES profile, an area light a mesh of its shape or its linked polygon object. Each
// light first gets its own emitting material "defaultLight".
#include <cmath>

#include "export/orvanesceneexporter.h"
#include "main/helpers.h"

namespace {

// Radius of the sphere of a point light and side of the square of a spot light, in scene units.
constexpr double kPointLightRadius = 0.01;
constexpr double kSpotLightSide = 0.001;
// Segments of the round area shapes.
constexpr LONG kAreaSegments = 50;

// The scene scale that light geometry is sized by: the sizes are divided by it and the writers
// multiply them by the scene scale again, so the written size is the one asked for, whatever the
// scale's sign. Only a scale of 0 (or one that is not finite) counts as 1 here.
double SizingScale(double globalScale) {
  return globalScale != 0.0 && std::isfinite(globalScale) ? globalScale : 1.0;
}

GeData LightParameter(BaseObject* light, LONG id) {
  GeData value;
  light->GetParameter(DescID(DescLevel(id)), value);
  return value;
}

// A document of the writer's own that frees itself, with whatever was put into it.
struct TempDocument {
  BaseDocument* doc = BaseDocument::Alloc();
  TempDocument() = default;
  TempDocument(const TempDocument&) = delete;
  TempDocument& operator=(const TempDocument&) = delete;
  ~TempDocument() { BaseDocument::Free(doc); }
};

}  // namespace

int OrvaneSceneExporter::ExportLightObject(BaseObject* light, LMatrix matrix) {
  if (!light || !sceneData || !sceneElement) return 0;
  // Sizes and places times a scale that is not finite are not numbers.
  if (!std::isfinite(sceneData->globalScale)) {
    GePrint(String("Light \"") + light->GetName() +
            String("\" not exported: the scene scale is not finite."));
    return 0;
  }
  // A custom area light stands where its shape object stands, and is checked there.
  const bool custom =
      LightParameter(light, LIGHT_TYPE).GetLong() == LIGHT_TYPE_AREA &&
      LightParameter(light, LIGHT_AREADETAILS_SHAPE).GetLong() == LIGHT_AREADETAILS_SHAPE_OBJECT;
  if (!custom && !PlacementIsFinite(matrix)) {
    ReportNotFinite("Light", light);
    return 0;
  }
  switch (LightParameter(light, LIGHT_TYPE).GetLong()) {
    case LIGHT_TYPE_OMNI: SceneExportPointLight(light, matrix); return 0;
    case LIGHT_TYPE_SPOT: return SceneExportSpotLight(light, matrix) ? 1 : 0;
    case LIGHT_TYPE_AREA:
      if (LightParameter(light, LIGHT_AREADETAILS_SHAPE).GetLong() == LIGHT_AREADETAILS_SHAPE_OBJECT)
        return SceneExportAreaLightCustom(light, matrix);
      return SceneExportAreaLight(light, matrix);
    default: return 0;
  }
}

void OrvaneSceneExporter::SceneExportPointLight(BaseObject* light, LMatrix matrix) {
  if (!light || !sceneData || !sceneElement) return;
  BaseObject* sphere = BaseObject::Alloc(Osphere);
  if (!sphere) return;
  sphere->SetName(light->GetName());  // the light's name heads its sphere
  if (BaseContainer* bc = sphere->GetDataInstance()) {
    // The sphere writer multiplies the radius by the scene scale.
    bc->SetReal(PRIM_SPHERE_RAD, kPointLightRadius / SizingScale(sceneData->globalScale));
    SceneExportDefaultLightMaterial(light);
    SceneExportModelSphere(sphere, matrix, 1);
  }
  BaseObject::Free(sphere);
}

int OrvaneSceneExporter::SceneExportSpotLight(BaseObject* light, LMatrix matrix) {
  if (!light || !sceneData || !sceneElement) return 0;
  TempDocument temp;
  BaseObject* plane = BaseObject::Alloc(Oplane);
  if (!temp.doc || !plane) {
    BaseObject::Free(plane);
    return 0;
  }
  temp.doc->InsertObject(plane, nullptr, nullptr);
  plane->SetName(light->GetName());  // the light's name heads its mesh and model
  BaseContainer* bc = plane->GetDataInstance();
  const double side = kSpotLightSide / SizingScale(sceneData->globalScale);
  bc->SetReal(PRIM_PLANE_WIDTH, side);
  bc->SetReal(PRIM_PLANE_HEIGHT, side);
  bc->SetLong(PRIM_PLANE_SUBW, 1);
  bc->SetLong(PRIM_PLANE_SUBH, 1);
  bc->SetLong(PRIM_AXIS, PRIM_AXIS_ZP);
  BaseObject* mesh = MakeObjectEditable(plane, temp.doc);
  if (!mesh || mesh->GetType() != Opolygon) return 0;
  ExportLightMesh(light, static_cast<PolygonObject*>(mesh), matrix, LIGHTTYPE_SPOT);
  return 1;
}

int OrvaneSceneExporter::SceneExportAreaLight(BaseObject* light, LMatrix matrix) {
  if (!light || !sceneData || !sceneElement) return 0;
  const Real x = LightParameter(light, LIGHT_AREADETAILS_SIZEX).GetReal();
  const Real y = LightParameter(light, LIGHT_AREADETAILS_SIZEY).GetReal();
  const Real z = LightParameter(light, LIGHT_AREADETAILS_SIZEZ).GetReal();
  const LONG shape = LightParameter(light, LIGHT_AREADETAILS_SHAPE).GetLong();

  LONG type;
  switch (shape) {
    case LIGHT_AREADETAILS_SHAPE_DISC: type = Odisc; break;
    case LIGHT_AREADETAILS_SHAPE_RECTANGLE: type = Oplane; break;
    case LIGHT_AREADETAILS_SHAPE_SPHERE:
    case LIGHT_AREADETAILS_SHAPE_HEMISPHERE: type = Osphere; break;
    case LIGHT_AREADETAILS_SHAPE_CYLINDER: type = Ocylinder; break;
    case LIGHT_AREADETAILS_SHAPE_CUBE: type = Ocube; break;
    default: return 0;  // no built-in shape of that number
  }
  TempDocument temp;
  BaseObject* prim = BaseObject::Alloc(type);
  BaseContainer* bc = prim ? prim->GetDataInstance() : nullptr;
  if (!temp.doc || !bc) {
    BaseObject::Free(prim);
    return 0;
  }
  switch (shape) {
    case LIGHT_AREADETAILS_SHAPE_DISC:
      bc->SetReal(PRIM_DISC_ORAD, (x + y) / 4.0);
      bc->SetLong(PRIM_DISC_SUB, 1);
      bc->SetLong(PRIM_DISC_SEG, kAreaSegments);
      bc->SetLong(PRIM_AXIS, PRIM_AXIS_ZP);
      break;
    case LIGHT_AREADETAILS_SHAPE_RECTANGLE:
      bc->SetReal(PRIM_PLANE_WIDTH, x);
      bc->SetReal(PRIM_PLANE_HEIGHT, y);
      bc->SetLong(PRIM_PLANE_SUBW, 1);
      bc->SetLong(PRIM_PLANE_SUBH, 1);
      bc->SetLong(PRIM_AXIS, PRIM_AXIS_ZP);
      break;
    case LIGHT_AREADETAILS_SHAPE_SPHERE:
    case LIGHT_AREADETAILS_SHAPE_HEMISPHERE:
      bc->SetReal(PRIM_SPHERE_RAD, (x + y + z) / 6.0);
      bc->SetLong(PRIM_SPHERE_SUB, kAreaSegments);
      if (shape == LIGHT_AREADETAILS_SHAPE_HEMISPHERE)
        bc->SetLong(PRIM_SPHERE_TYPE, PRIM_SPHERE_TYPE_HEMISPHERE);
      break;
    case LIGHT_AREADETAILS_SHAPE_CYLINDER:
      bc->SetReal(PRIM_CYLINDER_RADIUS, (x + y) / 4.0);
      bc->SetReal(PRIM_CYLINDER_HEIGHT, z);
      bc->SetLong(PRIM_CYLINDER_SEG, kAreaSegments);
      bc->SetLong(PRIM_AXIS, PRIM_AXIS_ZP);
      break;
    case LIGHT_AREADETAILS_SHAPE_CUBE:
      bc->SetVector(PRIM_CUBE_LEN, LVector(x, y, z));
      bc->SetLong(PRIM_AXIS, PRIM_AXIS_ZP);
      break;
  }
  temp.doc->InsertObject(prim, nullptr, nullptr);
  prim->SetName(light->GetName());  // the light's name heads its mesh and model
  BaseObject* mesh = MakeObjectEditable(prim, temp.doc);
  if (!mesh || mesh->GetType() != Opolygon) return 0;
  ExportLightMesh(light, static_cast<PolygonObject*>(mesh), matrix, LIGHTTYPE_AREA);
  return 1;
}

int OrvaneSceneExporter::SceneExportAreaLightCustom(BaseObject* light, LMatrix) {
  if (!light || !sceneData || !sceneElement || !sceneData->document) return 0;
  BaseList2D* shape = LightParameter(light, LIGHT_AREADETAILS_OBJECT).GetLink(sceneData->document, Opolygon);
  if (!shape) return 0;
  auto* mesh = static_cast<PolygonObject*>(shape);
  // The shape object stands where it stands; the light's own place does not count.
  const LMatrix place = mesh->GetMg();
  if (!PlacementIsFinite(place)) {
    ReportNotFinite("Light", light);
    return 0;
  }
  ExportLightMesh(light, mesh, place, LIGHTTYPE_AREA);
  return 1;
}

void OrvaneSceneExporter::ExportLightMesh(BaseObject* light, PolygonObject* mesh, const LMatrix& matrix,
                                          LightType type) {
  SceneExportDefaultLightMaterial(light);
  // Salt 1 keeps light meshes apart from ordinary meshes of the same geometry.
  Filename file = ExportMeshOnce(mesh, 1, "Light", light);
  if (!file.Content()) return;
  SceneExportModel(mesh, file, matrix, type, light);
}
