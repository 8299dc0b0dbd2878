#include "command/importovm.h"

#include <tinyxml.h>

#include <cerrno>
#include <exception>
#include <new>
#include <string>
#include <utility>
#include <vector>

#include "archive/nestedmaterial.h"
#include "archive/unpackfailure.h"
#include "command/importtext.h"
#include "main/helpers.h"
#include "main/orvanelaunch.h"
#include "material/customorvanematerial.h"
#include "orvane_utils/OrvaneMaterial.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "orvane_utils/OrvaneSceneParseUtilsExcep.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "files/temporary.h"
#include "text/printable.h"
#include "utils/reference.h"
#include "utils/stringutilsexcep.h"

using Orvane::OrvaneMaterial;
using Orvane::OrvaneSceneParseUtils;

namespace {

// The type elements a "material" may hold, in the order that decides between several.
enum class Kind { Specular, Glossy, Diffuse, DiffuseTrans, OrenNayar, Phong, Null, Blend, None };

struct KindName {
  Kind kind;
  const char* element;
};

constexpr KindName kKinds[] = {
    {Kind::Specular, "specular"},    {Kind::Glossy, "glossy_transparent"},
    {Kind::Diffuse, "diffuse"},      {Kind::DiffuseTrans, "diffuse_transmitter"},
    {Kind::OrenNayar, "oren_nayar"}, {Kind::Phong, "phong"},
    {Kind::Null, "null_material"},   {Kind::Blend, "blend"},
};

// The element model of one type element; the reader's message goes to a dialog and leaves an
// empty model.
Reference<OrvaneMaterial> ParseModel(Kind kind, const TiXmlElement& type) {
  try {
    switch (kind) {
      case Kind::Specular: return OrvaneSceneParseUtils::parseSpecular(type);
      case Kind::Glossy: return OrvaneSceneParseUtils::parseGlossyTransparent(type);
      case Kind::Diffuse: return OrvaneSceneParseUtils::parseDiffuse(type);
      case Kind::DiffuseTrans: return OrvaneSceneParseUtils::parseDiffuseTransmitter(type);
      case Kind::OrenNayar: return OrvaneSceneParseUtils::parseOrenNayar(type);
      case Kind::Phong: return OrvaneSceneParseUtils::parsePhong(type);
      case Kind::Blend: return OrvaneSceneParseUtils::parseBlendMaterial(type);
      default: break;
    }
  } catch (const Orvane::OrvaneSceneParseUtilsExcep& e) {
    MessageDialog(ImportText(e.what()));
  }
  return Reference<OrvaneMaterial>();
}

// The names at the top level of the folder `dir`, in name order, a folder's with "/" after it.
std::vector<String> TopLevel(const Filename& dir) {
  std::vector<String> names;
  BrowseFiles* browser = BrowseFiles::Alloc();
  if (!browser) return names;
  browser->Init(dir, 0);
  while (browser->GetNext())
    names.push_back(browser->GetFilename().GetString() + String(browser->IsDir() ? "/" : ""));
  BrowseFiles::Free(browser);
  return names;
}

// The material files among `names` (from `TopLevel`).
std::vector<String> MaterialFiles(const std::vector<String>& names) {
  std::vector<String> found;
  for (const String& name : names)
    if (Helpers::IsMaterialFileName(Filename(name))) found.push_back(name);
  return found;
}

// The materials of `doc`.
int CountMaterials(BaseDocument* doc) {
  int count = 0;
  for (BaseMaterial* m = doc ? doc->GetFirstMaterial() : nullptr; m; m = m->GetNext()) ++count;
  return count;
}

// "line L, column C" for a place in a material file.
String PlaceText(const Orvane::OrvaneXMLLoader::Place& place) {
  return String("line ") + String::LongToString(place.line) + ", column " +
         String::LongToString(place.column);
}

}  // namespace

ImportOVM::~ImportOVM() = default;

Bool ImportOVM::Execute(BaseDocument* doc) {
  document = doc;
  const String title("Select .ovm/.povm file");
  Filename chosen = fileName;
  // A cancelled chooser imports nothing (not even the file of the previous run).
  if (!chosen.FileSelect(0, 0, &title)) {
    GePrint("No material file chosen: nothing imported.");
    return false;
  }
  return ImportFile(doc, chosen);
}

Bool ImportOVM::ImportFile(BaseDocument* doc, const Filename& file) {
  document = doc;
  fileName = file;
  importedMaterials_.clear();
  // A refused archive has said why on the console; "no ovm" would hide that.
  bool refused = false;
  // The folder an archive was unpacked into: kept, under its own name, once a material of it was
  // imported; removed with this object otherwise.
  files::NewFolder unpacked;
  // The links of the archive that were left out, each named on the console.
  std::vector<ZipFile::LeftOut> leftOut;
  const Filename materials = Helpers::GetWritePath() + Filename("materials");
  // Every archive gets a new, empty folder: a folder of the same name (the same file imported
  // within the timer's step, or a timer that started again) keeps what it holds.
  // Cut to fit a folder's entry, with its "-N" ending; the timer's digits stay whole.
  const std::string timer = std::to_string(GeGetTimer());
  const String folder = ImportText(
      Helpers::FitFolderName(Helpers::ToUTF8String(fileName.GetFileString()), timer.size()) + timer);
  unpackedFrom_.clear();
  unpackedAs_.clear();
  loadedTextures_.clear();
  textureLines_.clear();
  const Filename archive = fileName;
  if (fileName.CheckSuffix("povm")) {
    files::Folder parent;
    const files::Result made = Helpers::NewFolder(materials, folder, &unpacked, &parent);
    const Filename as = made.ok() ? Helpers::FreeFolderName(parent, materials, folder) : Filename();
    if (!made.ok()) {
      GePrint(String("Could not unpack ") + fileName.GetString() + ": " +
              Helpers::UnpackFailure(ZIPERROR_WRITE) + ": " + String(made.Text()));
      fileName = Filename();
      refused = true;
    } else if (!as.Content()) {
      GePrint(String("Could not unpack ") + fileName.GetString() + ": no free name for its folder in " +
              materials.GetString() + ": " + String(files::ErrorText(errno)));
      unpacked.Remove();
      fileName = Filename();
      refused = true;
    } else {
      // Paths into the folder are shown and kept as they will be once it has its own name.
      unpackedFrom_ = unpacked.Path() + "/";
      unpackedAs_ = Helpers::ToUTF8String(as.GetString()) + "/";
      LONG failure = ZIPERROR_NONE;
      fileName = Helpers::UnpackPovm(fileName, Filename(ImportText(unpacked.Path())), &failure, &leftOut);
      refused = failure != ZIPERROR_NONE;
      // The renderer takes one material file of an archive: which one, when it holds several.
      const std::vector<String> top = MaterialFiles(TopLevel(Filename(ImportText(unpacked.Path()))));
      if (fileName.Content() && top.size() > 1)
        GePrint(String("The archive ") + archive.GetString() + " " +
                Helpers::SeveralMaterialFilesText(top, fileName.GetFileString()));
    }
  }
  Bool imported = false;
  Orvane::OrvaneXMLLoader::Place broken{0, 0};
  if (fileName.CheckSuffix("ovm")) {
    TiXmlDocument xml;
    std::string reason, fault;
    const Orvane::OrvaneXMLLoader::LoadResult read = Orvane::OrvaneXMLLoader::loadFile(
        Helpers::ToUTF8String(fileName.GetString()), xml, reason, &broken, &fault);
    if (read != Orvane::OrvaneXMLLoader::LOAD_NOT_READ && xml.FirstChildElement("scenedata")) {
      // Not well-formed: what TinyXML read before the fault is imported all the same.
      if (read == Orvane::OrvaneXMLLoader::LOAD_NOT_PARSED)
        GePrint(String("Material file is not well-formed: ") + ImportText(fault) + " (" + PlaceText(broken) +
                ")");
      const int before = CountMaterials(doc);
      imported = ImportXml(doc, xml, fileName) && read == Orvane::OrvaneXMLLoader::LOAD_PARSED;
      if (doc && CountMaterials(doc) == before && read == Orvane::OrvaneXMLLoader::LOAD_PARSED) {
        // An archive's folder goes again: the file is named in the archive.
        GePrint(String("Imported no material: ") +
                (unpacked.IsOwned() ? fileName.GetFileString() + " in " + archive.GetString()
                                    : ImportText(Shown(Helpers::ToUTF8String(fileName.GetString())))) +
                " holds none.");
        imported = false;
      }
    } else {
      // Not read at all (missing, unreadable, not a regular file, too large), refused before
      // parsing, or no material file: the loader's reason, else the missing root.
      broken.line = 0;
      if (read == Orvane::OrvaneXMLLoader::LOAD_PARSED) reason = "The file has no \"scenedata\" element.";
      GePrint(String("Could not read material file ") +
              ImportText(Shown(Helpers::ToUTF8String(fileName.GetString()))) + ": " + ImportText(reason));
    }
    xml.Clear();
    if (doc) doc->Message(MSG_UPDATE);
    EventAdd();
  } else if (!refused) {
    // The renderer reads an archive's top level only: a material file in a folder of it is named,
    // not imported.
    const String nested =
        !unpacked.IsOwned() ? String() : Helpers::NestedMaterialFile(Filename(ImportText(unpacked.Path())));
    if (nested.Content()) {
      GePrint(String("Could not import ") + archive.GetString() + ": " + Helpers::NotAtTopLevelText(nested));
    } else if (unpacked.IsOwned()) {
      // What the archive holds instead, named.
      const std::vector<String> top = TopLevel(Filename(ImportText(unpacked.Path())));
      String found;
      for (size_t i = 0; i < top.size() && i < 5; ++i) found += String(i ? ", " : "") + top[i];
      if (top.size() > 5) found += ", ...";
      // Nothing unpacked but links left out: the archive is not empty, its files were links.
      const String links = ImportText(Helpers::OnlyLeftOutText(leftOut));
      GePrint(String("Could not import ") + archive.GetString() + ": " +
              (!top.empty()
                   ? String("no material file (.ovm) at the archive's top level, which holds ") + found
               : leftOut.empty() ? String("the archive is empty")
                                 : String("the archive holds no material file, ") + links));
    } else {
      GePrint(String("Could not import ") + archive.GetString() +
              ": not a material file (a .ovm file, or a .povm archive of one)");
    }
  }
  // The imported materials' textures point into the unpacked folder; an import that imported
  // nothing leaves nothing.
  if (unpacked.IsOwned()) {
    files::Result kept = files::Result::System(ENOENT, unpacked.Path());
    const Filename named =
        importedMaterials_.empty() ? Filename() : Helpers::NameNewFolder(&unpacked, materials, folder, &kept);
    if (const std::string as = Helpers::ToUTF8String(named.GetString()) + "/";
        named.Content() && as != unpackedAs_) {
      // Another import took the name meanwhile: the textures point into the name it got.
      for (BaseShader* shader : loadedTextures_) {
        BaseContainer* data = shader->GetDataInstance();
        const std::string path = Helpers::ToUTF8String(data->GetFilename(BITMAPSHADER_FILENAME).GetString());
        if (path.rfind(unpackedAs_, 0) == 0)
          data->SetFilename(BITMAPSHADER_FILENAME,
                            Filename(ImportText(as + path.substr(unpackedAs_.size()))));
      }
      unpackedAs_ = as;
    }
    SayTextures();
    if (!named.Content()) {
      if (!importedMaterials_.empty()) {
        GePrint(String("Could not keep the unpacked folder ") + ImportText(unpackedAs_) + ": " +
                String(kept.Text()) + "; nothing was imported.");
        // Its textures are about to go: the materials that name them go first.
        for (BaseMaterial* mat : importedMaterials_) {
          mat->Remove();
          BaseMaterial::Free(mat);
        }
        importedMaterials_.clear();
        imported = false;
        if (doc) doc->Message(MSG_UPDATE);
      }
      unpacked.Remove();
    }
    fileName = Filename(ImportText(Shown(Helpers::ToUTF8String(fileName.GetString()))));
  }
  unpackedFrom_.clear();
  loadedTextures_.clear();
  ShowWarnings();
  // Last, so that it is what the import is seen to end with.
  if (broken.line > 0)
    MessageDialog(String("The material file was not read whole: only what comes before ") +
                  PlaceText(broken) + " was imported.");
  return imported;
}

Bool ImportOVM::ImportXml(BaseDocument* doc, TiXmlDocument& xml, const Filename& file) {
  document = doc;
  fileName = file;
  importedMaterials_.clear();
  importedByName_.clear();
  loadedTextures_.clear();
  visited_.clear();
  ForgetFileIndexes();
  TiXmlElement* sceneData = xml.FirstChildElement("scenedata");
  if (!sceneData || !doc) return false;
  String stopped;
  running_ = true;
  try {
    for (TiXmlElement* m = sceneData->FirstChildElement("material"); m;
         m = m->NextSiblingElement("material")) {
      ImportMaterial(m, sceneData);
    }
  } catch (const std::bad_alloc&) {
    stopped = "out of memory";
  } catch (const std::exception& e) {
    stopped = ImportText(e.what());
  } catch (const Orvane::OrvaneSceneParseUtilsExcep& e) {
    stopped = ImportText(e.what());
  } catch (const StringUtilsExcep& e) {
    stopped = ImportText(e.what());
  } catch (...) {
    stopped = "unknown error";
  }
  running_ = false;
  if (stopped.Content()) MessageDialog(String("The import stopped: ") + stopped);
  ForgetFileIndexes();
  return !stopped.Content();
}

void ImportOVM::ForgetFileIndexes() {
  inProgress_.clear();
  elementsByName_.clear();
  indexedSceneData_ = nullptr;
  mediaByName_.clear();
  mediaSceneData_ = nullptr;
}

void ImportOVM::ShowWarnings() {
  if (warnings.empty()) return;
  // The list's line breaks are its own: a line feed in a warning (a material's name holds what its
  // file says) is escaped, so that every warning stays one line of the list where it is shown.
  String text("Import warnings:");
  for (const String& w : warnings) text += String("\n- ") + String(text::Printable(Helpers::ToUTF8String(w)));
  warnings.clear();
  MessageDialog(text);
}

BaseMaterial* ImportOVM::FindImportedMat(String name) {
  auto it = importedByName_.find(name);
  return it == importedByName_.end() ? nullptr : it->second;
}

const std::vector<TiXmlElement*>& ImportOVM::MaterialElementsNamed(TiXmlElement* sceneData,
                                                                   const String& name) {
  if (indexedSceneData_ != sceneData || !running_) {
    elementsByName_.clear();
    indexedSceneData_ = sceneData;
    for (TiXmlElement* e = sceneData ? sceneData->FirstChildElement("material") : nullptr; e;
         e = e->NextSiblingElement("material")) {
      if (const TiXmlElement* n = e->FirstChildElement("name"))
        elementsByName_[ImportText(n->GetText())].push_back(e);
    }
  }
  static const std::vector<TiXmlElement*> kNone;
  auto it = elementsByName_.find(name);
  return it == elementsByName_.end() ? kNone : it->second;
}

Bool ImportOVM::ImportMaterial(TiXmlElement* materialElement, TiXmlElement* sceneDataElement) {
  if (!materialElement || !sceneDataElement || !document) return false;
  // A blend waits in a list of its own while its partners are imported, instead of importing
  // them from within its own call: partners that are blends themselves join the list, and the
  // materials are made and finished in the same order as a recursion would make them.
  std::vector<PendingBlend> blends;
  const Bool made = BeginMaterial(materialElement, sceneDataElement, blends);
  RunBlends(blends);
  return made;
}

Bool ImportOVM::BeginMaterial(TiXmlElement* materialElement, TiXmlElement* sceneDataElement,
                              std::vector<PendingBlend>& blends) {
  // Every element is taken up once per run: a partner imported ahead of its place in the file is
  // not made again when the loop reaches it.
  if (!visited_.insert(materialElement).second) return true;

  BaseMaterial* mat = BaseMaterial::Alloc(ID_CUSTOMORVANEMATERIAL);
  if (!mat) return false;
  document->InsertMaterial(mat, nullptr);
  BaseContainer* data = mat->GetDataInstance();
  if (const TiXmlElement* name = materialElement->FirstChildElement("name"))
    mat->SetName(ImportText(name->GetText()));

  Kind kind = Kind::None;
  TiXmlElement* type = nullptr;
  for (const KindName& k : kKinds) {
    type = materialElement->FirstChildElement(k.element);
    if (type) {
      kind = k.kind;
      break;
    }
  }

  if (kind == Kind::Null) {
    BaseMaterial::Free(mat);
    return true;
  }
  if (kind != Kind::None) {
    if (FindImportedMat(mat->GetName())) {
      BaseMaterial::Free(mat);
      return true;
    }
    inProgress_.insert(materialElement);
    Reference<OrvaneMaterial> model = ParseModel(kind, *type);
    OrvaneMaterial* m = model.getPointer();
    switch (kind) {
      case Kind::Specular: ImportSpecular(data, m, mat, sceneDataElement); break;
      case Kind::Glossy: ImportGlossyTrans(data, m, mat, sceneDataElement); break;
      case Kind::Diffuse: ImportDiffuse(data, m, mat); break;
      case Kind::DiffuseTrans: ImportDiffuseTrans(data, m, mat); break;
      case Kind::OrenNayar: ImportOrenNayar(data, m, mat); break;
      case Kind::Phong: ImportPhong(data, m, mat); break;
      case Kind::Blend:
        // Finished once its partners are in (RunBlends).
        if (StartBlend(data, m, mat, sceneDataElement, blends)) {
          blends.back().element = materialElement;
          blends.back().owner = model;
          return true;
        }
        break;
      default: break;
    }
    FinishMaterial(materialElement, mat);
    return true;
  }
  CustomOrvaneMaterial::SetChannels(data);
  mat->Message(MSG_UPDATE);
  return true;
}

void ImportOVM::FinishMaterial(TiXmlElement* element, BaseMaterial* mat) {
  inProgress_.erase(element);
  importedMaterials_.push_back(mat);
  importedByName_.emplace(mat->GetName(), mat);
  CustomOrvaneMaterial::SetChannels(mat->GetDataInstance());
  mat->Message(MSG_UPDATE);
}

void ImportOVM::Warn(const char* lead, BaseMaterial* mat) {
  warnings.push_back(String(lead) + "\"" + (mat ? mat->GetName() : String()) + "\" not supported.");
}

Bool RegisterImportOVM() {
  String name = GeLoadString(10014);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(ID_IMPORTOVM, name, 0, AutoBitmap("Export.tif"), "Import .ovm", new ImportOVM);
}
