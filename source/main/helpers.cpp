// Free functions over host data.
#include "main/helpers.h"
#include "object/rendersettingsids.h"
#include "tag/animationtagids.h"

#include <limits.h>

#include <algorithm>
#include <cerrno>

namespace Helpers {

namespace {

// Pixel border and supersampling of a shader bake: none, one sample at each pixel centre.
constexpr LONG kBakeOff = 0;

bool IsTextureTag(const BaseTag* tag) { return tag && tag->GetType() == Ttexture; }

// The object whose tags come next when looking for texture tags above `op`.
BaseObject* Ancestor(BaseObject* op) {
  BaseObject* up = op->GetUp();
  return up ? up : op->GetCacheParent();
}

BaseTag* LastTag(BaseObject* op) {
  BaseTag* t = op->GetFirstTag();
  while (t && t->GetNext()) t = t->GetNext();
  return t;
}

// The components of a '/'-separated path without empty and "." ones.
std::vector<std::string> Components(const std::string& path) {
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t end = path.find('/', start);
    if (end == std::string::npos) end = path.size();
    std::string part = path.substr(start, end - start);
    if (!part.empty() && part != ".") parts.push_back(std::move(part));
    start = end + 1;
  }
  return parts;
}

bool IsDrive(const std::string& part) {
  return part.size() == 2 && part[1] == ':' &&
         ((part[0] >= 'A' && part[0] <= 'Z') || (part[0] >= 'a' && part[0] <= 'z'));
}

// A path with its ".." resolved where they can be. The root ("/", or a drive letter in front)
// cannot be left: ".." there stays at the root. Leading ".." of a relative path stay.
struct Path {
  bool rooted = false;  // starts with "/" (the drive, if any, is parts[0])
  size_t fixed = 0;     // leading parts that ".." cannot remove: the drive
  std::vector<std::string> parts;

  explicit Path(const std::string& text) : rooted(!text.empty() && text[0] == '/') {
    std::vector<std::string> raw = Components(text);
    if (!raw.empty() && IsDrive(raw[0])) {
      parts.push_back(raw[0]);
      fixed = 1;
      raw.erase(raw.begin());
    }
    Append(raw);
  }
  bool Absolute() const { return rooted || fixed > 0; }
  void Append(const std::vector<std::string>& more) {
    for (const std::string& part : more) {
      if (part != "..") {
        parts.push_back(part);
      } else if (parts.size() > fixed && parts.back() != "..") {
        parts.pop_back();
      } else if (!Absolute()) {
        parts.push_back(part);  // above the start of a relative path
      }                         // else: ".." at the root stays at the root
    }
  }
  std::string Text() const {
    std::string out = rooted ? "/" : "";
    for (size_t i = 0; i < parts.size(); ++i) {
      if (i > 0) out += '/';
      out += parts[i];
      if (i == 0 && fixed == 1 && parts.size() == 1) out += '/';  // "C:/"
    }
    return out.empty() ? "." : out;
  }
};

std::string ThreeDigits(ULONG v) {
  std::string s = std::to_string(v % 1000);
  return std::string(3 - s.size(), '0') + s;
}

void FixTexturePathsBelow(BaseShader* shader, const Filename& documentPath) {
  for (; shader; shader = shader->GetNext()) {
    if (shader->GetType() == Xbitmap) {
      BaseContainer* data = shader->GetDataInstance();
      const Filename name = data->GetFilename(BITMAPSHADER_FILENAME);
      data->SetFilename(BITMAPSHADER_FILENAME, GetTexturePath(name, documentPath));
    }
    FixTexturePathsBelow(shader->GetDown(), documentPath);
  }
}

}  // namespace

// --- Text ----------------------------------------------------------------------

int StringToLong(const String& s) { return s.ToLong(); }

double StringToReal(const String& s) { return s.ToReal(); }

String ULongToString(unsigned int v) { return String(std::to_string(v)); }

std::string ToUTF8String(const String& s) {
  CHAR* bytes = s.GetCStringCopy(STRINGENCODING_UTF8);
  if (!bytes) return std::string();
  std::string out(bytes);  // up to the first zero
  GeFree(bytes);
  return out;
}

String ConvertString(String s) {
  LONG pos = 0;
  while (s.FindFirst(static_cast<UWORD>(' '), &pos, pos)) {
    s.Delete(pos, 1);
    s.Insert(pos, String("_"));
    ++pos;
  }
  return s;
}

Bool WriteString(String s, BaseFile* file) { return WriteCString(ToUTF8String(s), file); }

Bool WriteCString(std::string s, BaseFile* file) {
  if (!file) return false;
  constexpr size_t kChunk = size_t(1) << 30;  // within one LONG length
  for (size_t done = 0; done < s.size(); done += kChunk) {
    const size_t n = std::min(kChunk, s.size() - done);
    if (!file->WriteBytes(s.data() + done, static_cast<LONG>(n))) return false;
  }
  return true;
}

Filename GetWritePath() { return GeGetStartupWritePath(); }

std::string WriteFailure(const Filename& file, int error) {
  files::Place place;
  files::Target target;
  files::Result r = files::Locate(ToUTF8String(file.GetString()), &place);
  if (r.ok()) r = place.folder.WriteTarget(place.name, &target);
  if (!r.ok()) return r.Text();
  return error != 0 ? files::ErrorText(error) : "the file could not be written";
}

bool PathFits(const std::string& path) { return path.size() < PATH_MAX; }

std::string UseFolder(const Filename& dir, files::Folder* folder) {
  files::Folder opened;
  const files::Result r =
      files::Folder::Open(ToUTF8String(dir.GetString()), &opened, files::Folder::Make::kLast);
  if (folder) *folder = opened;
  return r.Text();
}

// --- Render settings and scale -------------------------------------------------

BaseContainer* GetOrvaneRenderSettingsData(BaseDocument* doc) {
  if (!doc) return nullptr;
  RenderData* rd = doc->GetActiveRenderData();
  if (!rd) return nullptr;
  for (BaseVideoPost* vp = rd->GetFirstVideoPost(); vp; vp = vp->GetNext())
    if (vp->GetType() == ID_RENDERSETTINGS && !vp->GetBit(BIT_VPDISABLED)) return vp->GetDataInstance();
  return nullptr;
}

double GetGlobalScale(BaseContainer* settings) {
  if (settings) {
    switch (settings->GetLong(RS_SCALE_UNIT, RS_UNIT_CM)) {
      case RS_UNIT_KM: return 1000.0;
      case RS_UNIT_CM: return 0.01;
      case RS_UNIT_MM: return 0.001;
      case RS_UNIT_CUSTOM: return settings->GetReal(RS_CUSTOM_SCALE, 0.0);
      default: return 1.0;
    }
  }
  switch (GetWorldContainer().GetLong(WPREF_UNITS, 0)) {
    case UNIT_KM: return 1000.0;
    case UNIT_CM: return 0.01;
    case UNIT_MM: return 0.001;
    default: return 1.0;
  }
}

// --- Tags ----------------------------------------------------------------------

int GetTagCount(BaseObject* op) {
  if (!op) return -1;
  int n = 0;
  for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext()) ++n;
  return n;
}

BaseTag* GetTag(BaseObject* op, unsigned int index) {
  if (!op) return nullptr;
  BaseTag* t = op->GetFirstTag();
  for (unsigned int i = 0; t && i < index; ++i) t = t->GetNext();
  return t;
}

BaseTag* GetAniTag(BaseObject* op) {
  for (; op; op = op->GetUp())
    if (BaseTag* t = op->GetTag(ID_ANIMATIONTAG)) return t;
  return nullptr;
}

String GetSelectionName(TextureTag* tag) {
  return tag ? tag->GetDataInstance()->GetString(TEXTURETAG_RESTRICTION) : String();
}

TextureTagList GetUsedTextureTags(BaseObject* op) {
  TextureTagList tags;
  if (!op) return tags;
  for (BaseTag* t = LastTag(op); t; t = t->GetPred()) {
    if (!IsTextureTag(t)) continue;
    TextureTag* tex = static_cast<TextureTag*>(t);
    tags.push_back(tex);
    if (!GetSelectionName(tex).Content()) return tags;  // covers everything to its left
  }
  if (!tags.empty()) return tags;
  for (BaseObject* up = Ancestor(op); up; up = Ancestor(up)) {
    for (BaseTag* t = LastTag(up); t; t = t->GetPred()) {
      if (IsTextureTag(t)) {
        tags.push_back(static_cast<TextureTag*>(t));
        return tags;
      }
    }
  }
  return tags;
}

TextureTag* GetTexTagWithSelection(TextureTagList& tags, BaseTag* selection) {
  if (selection) {
    const String name = selection->GetName();
    for (TextureTag* t : tags)
      if (GetSelectionName(t) == name) return t;
  }
  for (TextureTag* t : tags)
    if (!GetSelectionName(t).Content()) return t;
  return nullptr;
}

// --- Materials and objects -------------------------------------------------------

String MaterialExportName(const String& name, LONG position) {
  const std::string suffix = position < 0 ? std::string("_NID") : "_mid" + std::to_string(position);
  // The name is cut, never its suffix: the position keeps cut names apart. A cut falls before
  // the lead byte of a character, so no character is split.
  std::string text = ToUTF8String(name);
  const size_t room = kMaxMaterialNameBytes - suffix.size();
  if (text.size() > room) {
    size_t cut = room;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
  }
  return String(text + suffix);
}

String GetUniqueMaterialName(BaseMaterial* mat, BaseDocument* doc) {
  if (!mat) return String();
  LONG position = -1;
  LONG i = 0;
  for (BaseMaterial* m = doc ? doc->GetFirstMaterial() : nullptr; m; m = m->GetNext(), ++i) {
    if (m == mat) {
      position = i;
      break;
    }
  }
  return MaterialExportName(mat->GetName(), position);
}

bool GetObjectRenderMode(BaseObject* op) {
  bool off = false;
  for (; op; op = op->GetUp()) {
    const LONG mode = op->GetRenderMode();
    if (mode == MODE_ON)
      off = false;
    else if (mode == MODE_OFF)
      off = true;
  }
  return off;
}

bool IsLinkedParent(BaseObject* op, BaseObject const* other) {
  for (; op; op = Ancestor(op))
    if (op == other) return true;
  return false;
}

LVector GetObjectScale(BaseObject* op) {
  if (!op) return LVector();
  LVector scale(1.0);
  for (; op; op = op->GetUp()) {
    const LMatrix m = op->GetMl();
    scale = scale ^ LVector(Len(m.v1), Len(m.v2), Len(m.v3));
  }
  return scale;
}

LMatrix GetTranspose(const LMatrix& m) {
  return LMatrix(m.off, LVector(m.v1.x, m.v2.x, m.v3.x), LVector(m.v1.y, m.v2.y, m.v3.y),
                 LVector(m.v1.z, m.v2.z, m.v3.z));
}

// --- File names ------------------------------------------------------------------

Filename GetTexturePath(Filename texture, Filename documentPath, bool* found) {
  const String text = texture.GetString();
  Filename located;
  const bool known = (text.GetLength() > 1 && text[1] == ':') ||
                     GenerateTexturePath(documentPath, texture, Filename(), &located);
  if (found) *found = known;
  return located.Content() ? located : texture;
}

void FixTexturePaths(BaseShader* shader, BaseDocument* doc) {
  FixTexturePathsBelow(shader, doc ? doc->GetDocumentPath() : Filename());
}

std::string GetAbsoluteFilename(std::string directory, std::string relative) {
  std::replace(relative.begin(), relative.end(), '\\', '/');
  if (!relative.empty() && relative[0] == '/') return Path(relative).Text();
  Path path(directory);
  auto parts = Components(relative);
  // A directory written with a trailing "/" names an empty last level, and the first ".." steps
  // out of that one: "/a/b/" with "../x" is "/a/b/x", as stored scenes expect.
  if (directory.size() > 1 && directory.back() == '/' && !parts.empty() && parts.front() == "..")
    parts.erase(parts.begin());
  path.Append(parts);
  return path.Text();
}

std::string GetRelativeFilename(std::string directory, std::string file) {
  if (directory.size() < 4 || file.size() < 4) return "";
  if (directory[0] != file[0]) return file;
  const Path dir(directory), target(file);
  if (dir.Absolute() != target.Absolute()) return file;
  size_t common = 0;
  while (common < dir.parts.size() && common < target.parts.size() &&
         dir.parts[common] == target.parts[common])
    ++common;
  if (common < dir.fixed) return file;  // another drive
  std::string out;
  for (size_t i = common; i < dir.parts.size(); ++i) {
    // Above the start of a relative directory there is no name to come back down by.
    if (dir.parts[i] == "..") return "";
    out += "../";
  }
  for (size_t i = common; i < target.parts.size(); ++i) {
    out += target.parts[i];
    if (i + 1 < target.parts.size()) out += '/';
  }
  if (out.empty()) return ".";
  if (out.back() == '/') out.pop_back();
  return out;
}

// --- Texture coordinates and baking ----------------------------------------------

UVWTag* GenerateUVWTag(BaseDocument* doc, TextureTag* tag, PolygonObject* op) {
  if (!tag || !op) return nullptr;
  // A copy with a material of its own, so that the projection is read without the real one.
  TextureTag* copy = static_cast<TextureTag*>(tag->GetClone());
  BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
  UVWTag* uvw = nullptr;
  if (copy && mat) {
    copy->SetMaterial(mat);
    BaseObject* carrier = tag->GetObject();
    const LMatrix texmg = carrier ? carrier->GetMg() : LMatrix();
    uvw = GenerateUVW(op, op->GetMg(), copy, texmg, doc ? doc->GetActiveBaseDraw() : nullptr);
  }
  TextureTag::Free(copy);
  BaseMaterial::Free(mat);
  return uvw;
}

Bool BakeShaderToBitmap(MultipassBitmap* bitmap, BaseShader* shader, BaseDocument* doc) {
  if (!bitmap || !shader) return false;
  BaseDocument* temp = BaseDocument::Alloc();
  if (!temp) return false;
  bool baked = false;
  if (doc) {
    temp->SetTime(doc->GetTime());
    temp->SetDocumentPath(doc->GetDocumentPath());
  }

  BaseContainer bake;
  bake.SetBool(BAKE_TEX_COLOR, TRUE);
  bake.SetLong(BAKE_TEX_PIXELBORDER, kBakeOff);
  bake.SetLong(BAKE_TEX_WIDTH, bitmap->GetBw());
  bake.SetLong(BAKE_TEX_HEIGHT, bitmap->GetBh());
  bake.SetReal(BAKE_TEX_U_MIN, 0.0);
  bake.SetReal(BAKE_TEX_U_MAX, 1.0);
  bake.SetReal(BAKE_TEX_V_MIN, 0.0);
  bake.SetReal(BAKE_TEX_V_MAX, 1.0);
  bake.SetLong(BAKE_TEX_SUPERSAMPLING, kBakeOff);

  // A plane carrying a standard material through a UVW-projected texture tag.
  BaseObject* plane = GeneratePrimitive(temp, Oplane, BaseContainer(), 1.0, FALSE, nullptr);
  BaseMaterial* mat = BaseMaterial::Alloc(Mmaterial);
  TextureTag* tag = TextureTag::Alloc();
  BaseShader* copy = static_cast<BaseShader*>(shader->GetClone());
  if (plane && mat && tag && copy) {
    temp->InsertObject(plane, nullptr, nullptr);
    temp->InsertMaterial(mat);
    plane->InsertTag(tag, LastTag(plane));
    tag->SetMaterial(mat);
    tag->GetDataInstance()->SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_UVW);
    mat->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, copy);
    copy->InsertUnder(mat);
    FixTexturePaths(copy, doc);

    UVWTag* uvw = static_cast<UVWTag*>(plane->GetTag(Tuvw));
    LONG err = BAKE_TEX_ERR_NONE;
    BaseDocument* bakeDoc = InitBakeTexture(temp, tag, uvw, uvw, bake, &err, nullptr);
    if (bakeDoc) baked = BakeTexture(bakeDoc, bake, bitmap, nullptr, nullptr, nullptr) == BAKE_TEX_ERR_NONE;
    BaseDocument::Free(bakeDoc);
  } else {
    // Whatever was made but not yet placed in the temporary document.
    BaseObject::Free(plane);
    BaseMaterial::Free(mat);
    TextureTag::Free(tag);
    BaseShader::Free(copy);
  }
  BaseDocument::Free(temp);
  return baked;
}

// --- Timing ----------------------------------------------------------------------

void StopTime::Start() { start = static_cast<ULONG>(GeGetTimer()); }

String StopTime::GetElapsed(ReturnFormat format) const {
  const ULONG elapsed = static_cast<ULONG>(GeGetTimer()) - start;
  if (format != kMinutesAndSeconds)
    return String(std::to_string(elapsed / 1000) + "." + ThreeDigits(elapsed) + " s");
  const ULONG rest = elapsed % 60000;
  return String(std::to_string(elapsed / 60000) + " m, " + std::to_string(rest / 1000) + "." +
                ThreeDigits(rest) + " s");
}

void HideDescriptionEntry(Description* description, LONG id, Bool hide) {
  if (!description) return;
  if (BaseContainer* bc = description->GetParameterI(DescID(DescLevel(id)), nullptr))
    bc->SetBool(DESC_HIDE, hide);
}

}  // namespace Helpers
