#include "export/wavefrontexport.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <map>
#include <new>

#include "export/materialnametable.h"
#include "export/meshbuilder.h"
#include "main/helpers.h"
#include "utils/stringutils.h"

static_assert(Helpers::kMaxMaterialNameBytes == Orvane::OrvaneMesh::MAX_STRING_LENGTH,
              "an exported material name must fit a mesh file's string");

namespace {

// `selection` restricted to the polygons 0 .. count - 1.
BaseSelect Clamped(const BaseSelect& selection, LONG count) {
  BaseSelect out;
  LONG a, b;
  for (LONG seg = 0; selection.GetRange(seg, &a, &b); ++seg) {
    a = std::max<LONG>(a, 0);
    b = std::min<LONG>(b, count - 1);
    if (a <= b) out.SelectAll(a, b);
  }
  return out;
}

String Seconds(LONG milliseconds) { return String::RealToString(milliseconds * 0.001, -1, 3); }

}  // namespace

/// A group of polygons converted with one material: those of a polygon selection tag that no
/// earlier selection tag holds, or (without a tag) the rest of the object.
struct WavefrontExport::Group {
  BaseTag* selectionTag = nullptr;
  BaseSelect polygons;
  MeshUVSource uv;
};

TexDataStruct::TexDataStruct(TextureTag* tag) {
  if (!tag) return;
  textureMatrix = tag->GetMl();
  const LMatrix& m = textureMatrix;
  if (m.v1 * (m.v2 % m.v3) != 0.0) inverseMatrix = !m;
  GeData value;
  tag->GetParameter(DescID(DescLevel(TEXTURETAG_PROJECTION)), value);
  projection = static_cast<UCHAR>(value.GetLong());
  tag->GetParameter(DescID(DescLevel(TEXTURETAG_OFFSETX)), value);
  offsetU = value.GetReal();
  tag->GetParameter(DescID(DescLevel(TEXTURETAG_OFFSETY)), value);
  offsetV = value.GetReal();
  tag->GetParameter(DescID(DescLevel(TEXTURETAG_LENGTHX)), value);
  lengthU = value.GetReal();
  tag->GetParameter(DescID(DescLevel(TEXTURETAG_LENGTHY)), value);
  lengthV = value.GetReal();
}

WavefrontExport::WavefrontExport() = default;

WavefrontExport::~WavefrontExport() {
  for (UVWTag* tag : generated_) {
    BaseTag* t = tag;
    BaseTag::Free(t);
  }
}

std::string WavefrontExport::MeshFilePath(const Filename& directory, const Filename& file) {
  return Helpers::ToUTF8String((directory + file).GetString());
}

bool WavefrontExport::PolygonHasArea(const LVector& p, const LVector& q, const LVector& r) {
  const double pq = Len(p - q), pr = Len(p - r), qr = Len(q - r);
  const double s = (pr + pq + qr) * 0.5;
  const double area = std::sqrt((s - pq) * (s - pr) * s * (s - qr));
  return area > 0.0;
}

int WavefrontExport::ExportObj(BaseDocument* doc, const Filename& directory, const Filename& file,
                               PolygonObject* obj, double scale, int lightMode,
                               const MaterialNameTable* names) {
  if (!obj) return 0;
  const LONG start = GeGetTimer();
  document_ = doc;
  names_ = names;
  phong_ = obj->GetTag(Tphong) ? 1 : 0;
  triangleCount_ = obj->GetPolygonCount();
  vertexCount_ = obj->GetPointCount();
  scale_ = scale;

  bool converted = true;
  notFinite_ = false;
  writeError_ = files::Result();
  try {
    AddVerticesAndTris(obj, lightMode);
  } catch (const std::bad_alloc&) {
    converted = false;
  }
  mesh_.uvSets.push_back(Orvane::UVSetExposition{"default", 0});
  mesh_.uvMappingCount = 1;
  // A mesh file holds no infinite or undefined number: such a mesh is not written at all.
  if (notFinite_) return 0;
  const LONG processing = GeGetTimer() - start;

  const std::string path = MeshFilePath(directory, file);
  // A mesh that did not fit in memory is not written, and neither is one at a path no program
  // could open. Without a folder made ready, `directory` is walked and made when missing.
  files::Folder folder = folder_;
  if (!converted)
    writeError_ = files::Result::System(ENOMEM, path);
  else if (!Helpers::PathFits(path))
    writeError_ = files::Result::System(ENAMETOOLONG, path);
  else if (!folder.IsOpen())
    writeError_ = files::Folder::Open(Helpers::ToUTF8String(directory.GetString()), &folder,
                                      files::Folder::Make::kLast);
  const bool written =
      writeError_.ok() &&
      Orvane::OrvaneMesh::writeToFile(folder, Helpers::ToUTF8String(file.GetString()), mesh_, &writeError_);
  const LONG total = GeGetTimer() - start;
  if (!written) {
    GePrint(String("--Could not write the mesh file ") + String(path) + String(" of ") + obj->GetName() +
            String(": ") + String(writeError_.Text()));
    return 0;
  }
  GePrint(String("--Exported ") + file.GetFileString() + String(": ") + obj->GetName() + String(", ") +
          String::LongToString(triangleCount_) + String(" Tris, ") + String::LongToString(vertexCount_) +
          String(" Vertices, ") + String::LongToString(uvCount_) + String(" UVs. Processing Time: ") +
          Seconds(processing) + String("s. Export Time: ") + Seconds(total) + String("s"));
  return 1;
}

int WavefrontExport::BakeUV(PolygonObject* obj, std::vector<Group>& groups, std::vector<TextureTag*>& tags) {
  const UVWTag* own = static_cast<const UVWTag*>(obj->GetTag(Tuvw));
  auto coordinatesOf = [](const UVWTag* tag, MeshUVSource& uv) {
    uv.uvw = tag ? static_cast<const UVWStruct*>(tag->GetDataAddressR()) : nullptr;
    uv.count = tag ? tag->GetDataCount() : 0;
  };
  // The host generates the coordinates of a texture tag once, however many groups it textures.
  std::map<TextureTag*, const UVWTag*> made;
  for (Group& g : groups) {
    TextureTag* tex = Helpers::GetTexTagWithSelection(tags, g.selectionTag);
    // Polygons without a texture tag keep zero coordinates: they carry no texture.
    if (!tex) continue;
    auto it = made.find(tex);
    if (it == made.end()) {
      const UVWTag* source = nullptr;
      const LONG projection =
          tex->GetDataInstance()->GetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_UVW);
      if (projection == TEXTURETAG_PROJECTION_UVW) {
        // UVW mapping is the object's own coordinates: read them in place instead of a copy.
        source = own;
      } else {
        UVWTag* generated = Helpers::GenerateUVWTag(document_, tex, obj);
        if (generated) generated_.push_back(generated);
        source = generated ? generated : own;
      }
      it = made.emplace(tex, source).first;
    }
    coordinatesOf(it->second, g.uv);
    const BaseContainer* bc = tex->GetDataInstance();
    g.uv.transform = true;
    g.uv.offsetU = bc->GetReal(TEXTURETAG_OFFSETX, 0.0);
    g.uv.offsetV = bc->GetReal(TEXTURETAG_OFFSETY, 0.0);
    g.uv.lengthU = bc->GetReal(TEXTURETAG_LENGTHX, 0.0);
    g.uv.lengthV = bc->GetReal(TEXTURETAG_LENGTHY, 0.0);
  }
  return 1;
}

int WavefrontExport::AddVerticesAndTris(PolygonObject* obj, int lightMode) {
  const LONG count = obj->GetPolygonCount();
  Helpers::TextureTagList tags = Helpers::GetUsedTextureTags(obj);

  // The selection tags in tag order, then the rest. A polygon belongs to the first group that
  // holds it, so that it becomes triangles once.
  std::vector<Group> groups;
  BaseSelect handled;
  for (BaseTag* t = obj->GetFirstTag(); t; t = t->GetNext()) {
    if (t->GetType() != Tpolygonselection) continue;
    const BaseSelect* selection = static_cast<SelectionTag*>(t)->GetBaseSelect();
    if (!selection) continue;
    Group g;
    g.selectionTag = t;
    const BaseSelect clamped = Clamped(*selection, count);
    g.polygons = clamped;
    g.polygons.Deselect(&handled);
    handled.Merge(&clamped);
    groups.push_back(std::move(g));
  }
  Group rest;
  rest.polygons = handled;
  if (count > 0) rest.polygons.ToggleAll(0, count - 1);
  groups.push_back(std::move(rest));

  BakeUV(obj, groups, tags);

  SVector* normals = phong_ ? obj->CreatePhongNormals() : nullptr;
  // An object whose phong normals the host cannot make is written without normals.
  if (!normals) phong_ = 0;
  try {
    MeshBuilder builder(mesh_, obj->GetPointR(), obj->GetPointCount(), obj->GetPolygonR(), count, normals,
                        scale_);
    for (Group& g : groups) {
      std::string name = "defaultMat";
      if (lightMode) {
        name = "defaultLight";
      } else {
        TextureTag* tex = Helpers::GetTexTagWithSelection(tags, g.selectionTag);
        if (BaseMaterial* mat = tex ? tex->GetMaterial() : nullptr)
          name = Helpers::ToUTF8String(MaterialNameTable::Name(names_, mat, document_));
      }
      builder.AddPolygons(g.polygons, builder.AddMaterial(name), g.uv);
    }
    builder.Build();
    notFinite_ = !builder.Finite();
  } catch (...) {
    GeFree(normals);
    throw;
  }
  GeFree(normals);

  triangleCount_ = static_cast<LONG>(mesh_.triangles.size());
  vertexCount_ = static_cast<LONG>(mesh_.positions.size());
  uvCount_ = static_cast<LONG>(mesh_.uvs.size());
  return 1;
}
