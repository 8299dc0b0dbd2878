#include "command/bakematerialonobject.h"

#include <cerrno>
#include <climits>
#include <string>

#include "command/selectedtexturetag.h"
#include "files/result.h"
#include "main/helpers.h"
#include "material/materialparams.h"
#include "shader/ovlshaderdata.h"

namespace {

// Gadgets of the dialog.
enum {
  IDC_BAKE = 10001,
  IDC_ALBEDO = 10002,
  IDC_EMISSION = 10003,
  IDC_BUMP = 10004,
  IDC_DISPLACEMENT = 10005,
  IDC_EXPONENT = 10006,
  IDC_SIGMA = 10007,
  IDC_ALPHA = 10008,
  IDC_CHANNELS_GROUP = 10009,
  IDC_SETTINGS_GROUP = 10010,
  IDC_RES_X = 10011,
  IDC_RES_Y = 10012,
  IDC_BORDER = 10013,
  IDC_RES_X_TEXT = 10014,
  IDC_RES_Y_TEXT = 10015,
  IDC_BORDER_TEXT = 10016,
  IDC_PATH = 10017,
  IDC_BROWSE = 10018,
  IDC_SUPERSAMPLING_TEXT = 10019,
  IDC_SUPERSAMPLING = 10020,
};

// Keys of the bake settings that belong to the plug-in.
enum {
  BAKE_SAVE_PATH = 80001,
  BAKE_ALBEDO = 80002,
  BAKE_SIGMA = 80003,
  BAKE_EXPONENT = 80004,
  BAKE_BUMP = 80005,
  BAKE_DISPLACEMENT = 80006,
  BAKE_EMISSION = 80007,
  BAKE_ALPHA = 80008,
};

// Layout flags of the host.
constexpr LONG kScaleFitH = 56;
constexpr LONG kLeft = 8;
constexpr LONG kCentre = 0;
constexpr LONG kGroupFlags = 16384;

constexpr LONG kTimerMs = 250;
constexpr const char* kTitle = "Bake Dialog";

struct Channel {
  const char* name;
  LONG gadget;
  const char* label;
  LONG useId;
  LONG linkId;
  LONG settingsKey;
  bool colour;  // saved in colour, else greyscale
};

// In the order the thread bakes them.
constexpr Channel kChannels[] = {
    {"albedo", IDC_ALBEDO, "Albedo", MAT_USE_ALBEDO, MAT_ALBEDO_SHADER, BAKE_ALBEDO, true},
    {"exponent", IDC_EXPONENT, "Exponent", MAT_USE_EXPONENT, MAT_EXPONENT_SHADER, BAKE_EXPONENT, false},
    {"alpha", IDC_ALPHA, "Blend", MAT_USE_ALPHA, MAT_ALPHA_SHADER, BAKE_ALPHA, false},
    {"emission", IDC_EMISSION, "Emission", MAT_USE_EMISSION, MAT_EMISSION_SHADER, BAKE_EMISSION, true},
    {"bump", IDC_BUMP, "Bump", MAT_USE_BUMP, MAT_BUMP_SHADER, BAKE_BUMP, false},
    {"displacement", IDC_DISPLACEMENT, "Displacement", MAT_USE_DISPLACEMENT, MAT_DISPLACEMENT_SHADER,
     BAKE_DISPLACEMENT, false},
    {"sigma", IDC_SIGMA, "Sigma", MAT_USE_SIGMA, MAT_SIGMA_SHADER, BAKE_SIGMA, false},
};

const Channel* ChannelOfLink(LONG linkId) {
  for (const Channel& c : kChannels)
    if (c.linkId == linkId) return &c;
  return nullptr;
}

const Channel* ChannelOfGadget(LONG gadget) {
  for (const Channel& c : kChannels)
    if (c.gadget == gadget) return &c;
  return nullptr;
}

BaseShader* LinkedShader(BaseMaterial* mat, LONG linkId, BaseDocument* doc) {
  const BaseContainer* data = mat ? mat->GetDataInstance() : nullptr;
  return data ? static_cast<BaseShader*>(data->GetLink(linkId, doc, Xbase)) : nullptr;
}

// "<directory>/<file without suffix>_<channel>.jpg" of the save path.
Filename ChannelFile(const Filename& savePath, const Channel& channel) {
  Filename file = savePath;
  file.ClearSuffix();
  String name = file.GetFile().GetString() + String("_") + String(channel.name) + String(".jpg");
  return savePath.GetDirectory() + Filename(name);
}

// The position of `tag` in the tag list of `op` (0 = first), or NOTOK.
LONG TagPosition(BaseObject* op, BaseTag* tag) {
  LONG i = 0;
  for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext(), ++i)
    if (t == tag) return i;
  return NOTOK;
}

// The `nr`-th UVW tag of `op`, else its first one.
UVWTag* UvwTagAt(BaseObject* op, LONG nr) {
  if (BaseTag* t = op->GetTag(Tuvw, nr)) return static_cast<UVWTag*>(t);
  return static_cast<UVWTag*>(op->GetTag(Tuvw));
}

std::string Utf8(const Filename& file) { return Helpers::ToUTF8String(file.GetString()); }

// Why the texture `file` of a bitmap shader was not found for a document in `folder` (empty when
// the document has none): where it was looked for, and where to put it.
std::string MissingTexture(const Filename& file, const Filename& folder) {
  const std::string given = Utf8(file);
  const bool fromRoot = !given.empty() && given[0] == '/';
  if (!folder.Content())
    return "the texture " + given + " could not be found" +
           (fromRoot ? "" : ": the document has no folder to look in; name the image from the root");
  const bool elsewhere = fromRoot && Utf8(file.GetDirectory()) != Utf8(folder);
  return "the texture " + Utf8(file.GetFile()) + " could not be found " +
         (elsewhere ? "at " + given + ", " : "") + "beside the document or in its tex folder: put it in " +
         Utf8(folder) + " or " + Utf8(folder + Filename("tex"));
}

// Why the host could not prepare `shader` (a channel's shader) for the bake of a document in
// `folder`: the first bitmap shader in its tree whose image is missing or unreadable; empty when
// every image is there.
std::string ImageFailure(BaseShader* shader, const Filename& folder) {
  if (shader->GetType() == Xbitmap) {
    const Filename file = shader->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME);
    if (!file.Content()) return "a bitmap shader of the channel names no image: choose one in it";
    bool found = false;
    const Filename located = Helpers::GetTexturePath(file, folder, &found);
    if (!found && !GeFExist(file)) return MissingTexture(file, folder);
    // The host leaves the system's reason in errno for a file it would not or could not read.
    BaseBitmap image;
    errno = 0;
    const LONG result = image.Init(located);
    const int error = errno;
    if (result == IMAGERESULT_NOTEXISTING && error != 0)
      return "the texture " + Utf8(located) + " could not be read: " +
             (error == EINVAL ? files::Result::NotRegularFile(Utf8(located)).Text()
                              : files::ErrorText(error));
    if (result != IMAGERESULT_OK)
      return "the texture " + Utf8(located) + " could not be read as a JPEG, PNG or TIFF image";
  }
  for (BaseShader* child = shader->GetDown(); child; child = child->GetNext())
    if (std::string why = ImageFailure(child, folder); !why.empty()) return why;
  return std::string();
}

// Words for the result `code` of the host's bake of `shader` in `document` with `settings`.
std::string BakeFailure(LONG code, const BaseContainer& settings, BaseShader* shader,
                        BaseDocument* document) {
  switch (code) {
    case BAKE_TEX_ERR_NO_DOC: return "the host has no document to bake in";
    case BAKE_TEX_ERR_NO_MEM: return files::ErrorText(ENOMEM);
    case BAKE_TEX_ERR_NO_TEXTURE_TAG: return "the texture tag is not in the document";
    case BAKE_TEX_ERR_NO_OBJECT: return "the texture tag is not on a polygon object";
    case BAKE_TEX_ERR_NO_UVW_TAG: return "the object has no UVW coordinates to bake along";
    case BAKE_TEX_ERR_NO_MATERIAL: return "the host cannot bake the channel's shader";
    case BAKE_TEX_ERR_NO_CHANNEL: return "the host was given no channel to bake";
    case BAKE_TEX_ERR_WRONG_SIZE:
    case BAKE_TEX_ERR_WRONG_BITMAP:
      return "the host cannot bake an image of " + std::to_string(settings.GetLong(BAKE_TEX_WIDTH)) + " x " +
             std::to_string(settings.GetLong(BAKE_TEX_HEIGHT)) + " pixels: choose a smaller Res X or Res Y";
    case BAKE_TEX_ERR_SHADER: {
      const std::string why =
          shader ? ImageFailure(shader, document ? document->GetDocumentPath() : Filename()) : std::string();
      return why.empty() ? "a shader of the channel could not be prepared for the bake" : why;
    }
    case BAKE_TEX_ERR_USERBREAK: return "the bake was stopped";
    default: return "the host could not bake it (error " + std::to_string(code) + ")";
  }
}

}  // namespace

bool BakeSizeFits(LONG width, LONG height) {
  // Divided rather than multiplied: the product of two large sides does not fit any integer type.
  return width < 1 || height < 1 || width <= INT_MAX / 3 / height;
}

// --- Thread -------------------------------------------------------------------------------------

TextureBakeThread::TextureBakeThread(BaseDocument* document, PolygonObject* object, BaseMaterial* material,
                                     UVWTag* uvwTag, TextureTag* textureTag, BaseContainer settings)
    : document(document),
      object(object),
      material(material),
      textureTag(textureTag),
      uvwTag(uvwTag),
      settings(std::move(settings)) {}

void TextureBakeThread::Main() {
  if (!document || !object || !material || !textureTag || !uvwTag) return;
  if (material->GetType() != ID_CUSTOMORVANEMATERIAL) return;
  for (BakeChannelJob& job : jobs) job.ok = BakeShaderOnObject(job);
}

bool TextureBakeThread::BakeShaderOnObject(BakeChannelJob& job) {
  const Channel* channel = ChannelOfLink(job.linkId);
  if (!channel || !job.tempTag || !job.tempMaterial) return false;
  LONG error = BAKE_TEX_ERR_NONE;
  BaseShader* shader = LinkedShader(job.tempMaterial, MATERIAL_COLOR_SHADER, document);
  BaseDocument* bake = InitBakeTexture(document, job.tempTag, uvwTag, uvwTag, settings, &error, this);
  if (!bake) {
    job.why = BakeFailure(error, settings, shader, document);
    GePrint(String("Could not prepare the bake of the channel ") + String(channel->name) + String(": ") +
            String(job.why) + String("."));
    return false;
  }
  const LONG width = settings.GetLong(BAKE_TEX_WIDTH);
  const LONG height = settings.GetLong(BAKE_TEX_HEIGHT);
  MultipassBitmap* bitmap = MultipassBitmap::Alloc(width, height, COLORMODE_RGB);
  const Filename file = ChannelFile(Filename(settings.GetString(BAKE_SAVE_PATH)), *channel);
  bool ok = false;
  if (!bitmap) {
    job.why = files::ErrorText(ENOMEM);
    GePrint(String("No memory to bake the channel ") + String(channel->name) + String("."));
  } else if (LONG result = BakeTexture(bake, settings, bitmap, this); result != BAKE_TEX_ERR_NONE) {
    job.why = BakeFailure(result, settings, shader, document);
    GePrint(String("Could not bake the channel ") + String(channel->name) + String(": ") + String(job.why) +
            String("."));
  } else {
    BaseContainer saver;
    saver.SetLong(JPGSAVER_QUALITY, 100);
    const SAVEBIT bits = channel->colour ? 0 : SAVEBIT_GREYSCALE;
    errno = 0;
    if (bitmap->Save(file, FILTER_JPG, &saver, bits) == IMAGERESULT_OK) {
      job.file = file;
      ok = true;
    } else {
      const std::string why = Helpers::WriteFailure(file, errno);
      job.why = Helpers::ToUTF8String(file.GetString()) + ": " + why;
      GePrint(String("Could not save the channel ") + String(channel->name) + String(" to ") +
              file.GetString() + String(": ") + String(why));
    }
  }
  MultipassBitmap::Free(bitmap);
  BaseDocument::Free(bake);
  return ok;
}

// --- Dialog -------------------------------------------------------------------------------------

BakeDialog::~BakeDialog() { TakeResults(); }

void BakeDialog::TakeResults() {
  if (!thread) return;
  thread->Wait();
  CollectResults();
}

Bool BakeDialog::CreateLayout() {
  SetTitle(kTitle);
  GroupBegin(IDC_CHANNELS_GROUP, kScaleFitH, 2, 0, "Channels", kGroupFlags);
  for (LONG id : {IDC_ALBEDO, IDC_SIGMA, IDC_EXPONENT, IDC_BUMP, IDC_DISPLACEMENT, IDC_EMISSION, IDC_ALPHA})
    AddCheckbox(id, kLeft, 200, 10, ChannelOfGadget(id)->label);
  GroupEnd();
  GroupBegin(IDC_SETTINGS_GROUP, kScaleFitH, 2, 0, "Save to...", kGroupFlags);
  AddEditText(IDC_PATH, kLeft, 300, 10);
  AddButton(IDC_BROWSE, kLeft, 20, 10, "...");
  GroupEnd();
  // The settings group carries the same ID as the path group; its gadgets are told apart by their own.
  GroupBegin(IDC_SETTINGS_GROUP, kScaleFitH, 2, 0, "Bake Settings", kGroupFlags);
  AddStaticText(IDC_RES_X_TEXT, kLeft, 100, 10, "Res X", 0);
  AddEditNumberArrows(IDC_RES_X, kLeft, 100, 10);
  AddStaticText(IDC_RES_Y_TEXT, kLeft, 100, 10, "Res Y", 0);
  AddEditNumberArrows(IDC_RES_Y, kLeft, 100, 10);
  AddStaticText(IDC_BORDER_TEXT, kLeft, 100, 10, "Pixel Border", 0);
  AddEditNumberArrows(IDC_BORDER, kLeft, 100, 10);
  AddStaticText(IDC_SUPERSAMPLING_TEXT, kLeft, 100, 10, "Super Sampling", 0);
  AddEditNumberArrows(IDC_SUPERSAMPLING, kLeft, 100, 10);
  GroupEnd();
  AddButton(IDC_BAKE, kCentre, 150, 20, "Bake Shaders");
  return true;
}

Bool BakeDialog::InitValues() {
  if (!document || !tag || !object || !material) return false;
  const BaseContainer* data = material->GetDataInstance();
  if (!data) return false;
  SetLong(IDC_RES_X, 1024, 1, 2147483647);
  SetLong(IDC_RES_Y, 1024, 1, 2147483647);
  SetLong(IDC_BORDER, 5, 0, 2147483647);
  SetLong(IDC_SUPERSAMPLING, 0, 0, 2147483647);
  for (const Channel& c : kChannels)
    SetBool(c.gadget, data->GetBool(c.useId) && LinkedShader(material, c.linkId, document) != nullptr);
  std::vector<LONG> unused;
  switch (data->GetLong(MAT_TYPE)) {
    case MAT_TYPE_DIFFUSE:
    case MAT_TYPE_DIFFUSE_TRANSMITTER: unused = {IDC_EXPONENT, IDC_SIGMA}; break;
    case MAT_TYPE_OREN_NAYAR: unused = {IDC_EXPONENT}; break;
    case MAT_TYPE_PHONG: unused = {IDC_SIGMA}; break;
    case MAT_TYPE_SPECULAR: unused = {IDC_ALBEDO, IDC_EXPONENT, IDC_SIGMA}; break;
    case MAT_TYPE_GLOSSY_TRANSPARENT: unused = {IDC_ALBEDO, IDC_SIGMA}; break;
    case MAT_TYPE_BLEND:
    case MAT_TYPE_NULL:
      unused = {IDC_ALBEDO, IDC_EMISSION, IDC_BUMP, IDC_DISPLACEMENT, IDC_EXPONENT, IDC_SIGMA};
      break;
    default: break;
  }
  for (LONG id : unused) {
    Enable(id, false);
    SetBool(id, false);
  }
  return true;
}

BaseContainer BakeDialog::CreateBakeSettings() {
  BaseContainer bc;
  LONG value = 0;
  bc.SetLong(BAKE_TEX_COLOR, 1);
  GetLong(IDC_RES_X, value);
  bc.SetLong(BAKE_TEX_WIDTH, value);
  GetLong(IDC_RES_Y, value);
  bc.SetLong(BAKE_TEX_HEIGHT, value);
  GetLong(IDC_SUPERSAMPLING, value);
  bc.SetLong(BAKE_TEX_SUPERSAMPLING, value);
  bc.SetReal(BAKE_TEX_U_MIN, 0.0);
  bc.SetReal(BAKE_TEX_U_MAX, 1.0);
  bc.SetReal(BAKE_TEX_V_MIN, 0.0);
  bc.SetReal(BAKE_TEX_V_MAX, 1.0);
  GetLong(IDC_BORDER, value);
  bc.SetLong(BAKE_TEX_PIXELBORDER, value);
  for (LONG id : {1006, 1032, 1009, 1011, 1013, 1014, 1015, 1016, 1017, 1018, 1040, 1041, 2100, 2101, 2102,
                  2103, 2110, 2120, 2140})
    bc.SetLong(id, 0);
  String path;
  GetString(IDC_PATH, path);
  bc.SetString(BAKE_SAVE_PATH, path);
  for (LONG key = BAKE_ALBEDO; key <= BAKE_ALPHA; ++key) {
    const Channel* c = nullptr;
    for (const Channel& ch : kChannels)
      if (ch.settingsKey == key) c = &ch;
    Bool on = false;
    GetBool(c->gadget, on);
    bc.SetLong(key, on ? 1 : 0);
  }
  return bc;
}

void BakeDialog::SetBakedTexture(LONG linkId, BaseMaterial* mat, const Filename& file) {
  if (!mat || !file.Content()) return;
  BaseShader* old = LinkedShader(mat, linkId, document);
  if (!old) return;
  BaseShader* bitmap = BaseShader::Alloc(Xbitmap);
  if (!bitmap) {
    GePrint(String("No memory to link the baked channel ") + file.GetString());
    return;
  }
  old->Remove();
  BaseShader::Free(old);
  mat->GetDataInstance()->SetLink(linkId, bitmap);
  mat->InsertShader(bitmap);
  bitmap->GetDataInstance()->SetFilename(BITMAPSHADER_FILENAME, file);
}

Bool BakeDialog::Command(LONG id, const BaseContainer&) {
  if (id == IDC_BROWSE) {
    Filename file;
    String title("Save image to...");
    file.FileSelect(FILESELECTTYPE_ANYTHING, FILESELECT_SAVE, &title);
    SetString(IDC_PATH, file.GetString());
    return true;
  }
  if (id == IDC_BAKE) return StartBake();
  return true;
}

Bool BakeDialog::StartBake() {
  if (!document || !tag || !object || !material || thread) return false;
  String path;
  GetString(IDC_PATH, path);
  if (!path.Content()) {
    MessageDialog("You have to specify a file to save to.");
    reported = true;
    return false;
  }
  BaseContainer settings = CreateBakeSettings();
  const LONG width = settings.GetLong(BAKE_TEX_WIDTH), height = settings.GetLong(BAKE_TEX_HEIGHT);
  if (!BakeSizeFits(width, height)) {
    GePrint(String("The bake size ") + String::LongToString(width) + String(" x ") +
            String::LongToString(height) + String(" is too large."));
    reported = true;
    return false;
  }
  const LONG position = TagPosition(object, tag);
  auto* materialCopy = static_cast<BaseMaterial*>(material->GetClone(COPYFLAGS_NONE));
  auto* objectCopy = static_cast<PolygonObject*>(object->GetClone(COPYFLAGS_NONE));
  if (!materialCopy || !objectCopy || position == NOTOK) {
    BaseMaterial::Free(materialCopy);
    BaseObject* o = objectCopy;
    BaseObject::Free(o);
    GePrint("Could not copy the object and its material for the bake.");
    reported = true;
    return false;
  }
  document->StartUndo();
  // The copy goes to the top of the object list: keep it where the source stands in the world.
  const LMatrix world = object->GetMg();
  document->InsertObject(objectCopy, nullptr, nullptr);
  objectCopy->SetMg(world);
  document->AddUndo(UNDOTYPE_NEW, objectCopy);
  document->InsertMaterial(materialCopy);
  document->AddUndo(UNDOTYPE_NEW, materialCopy);
  document->AddUndo(UNDOTYPE_CHANGE_SMALL, object);
  object->SetEditorMode(MODE_OFF);
  object->SetRenderMode(MODE_OFF);

  auto abandon = [this](const char* why) {
    GePrint(String(why));
    reported = true;
    document->EndUndo();
    document->DoUndo();
    Close();
    return true;
  };
  BaseTag* copyTagBase = Helpers::GetTag(objectCopy, static_cast<unsigned>(position));
  if (!copyTagBase || copyTagBase->GetType() != Ttexture)
    return abandon("The copy of the object has no texture tag to bake with; the bake was undone.");
  TextureTag* copyTag = static_cast<TextureTag*>(copyTagBase);
  document->AddUndo(UNDOTYPE_CHANGE_SMALL, copyTag);
  copyTag->SetMaterial(materialCopy);

  UVWTag* uvw = nullptr;
  BaseContainer tagData = copyTag->GetData();
  if (tagData.GetLong(TEXTURETAG_PROJECTION) != TEXTURETAG_PROJECTION_UVW) {
    uvw = Helpers::GenerateUVWTag(document, copyTag, objectCopy);
    if (!uvw) return abandon("Could not make a UVW tag for the copy of the object; the bake was undone.");
    objectCopy->InsertTag(uvw, copyTag);
    document->AddUndo(UNDOTYPE_NEW, uvw);
    tagData.SetLong(TEXTURETAG_PROJECTION, TEXTURETAG_PROJECTION_UVW);
    copyTag->SetData(tagData);
  } else {
    uvw = UvwTagAt(objectCopy, position);
    if (!uvw) return abandon("The copy of the object has no UVW tag to bake with; the bake was undone.");
  }
  document->EndUndo();

  auto worker =
      std::make_unique<TextureBakeThread>(document, objectCopy, materialCopy, uvw, copyTag, settings);
  // Everything the thread needs in the document is put there now, on this thread: per channel a
  // standard material holding a clone of the channel's shader and a texture tag on the copy that
  // uses it. The thread then only reads the document; the timer removes these again.
  for (const Channel& c : kChannels) {
    if (settings.GetLong(c.settingsKey) != 1) continue;
    BaseShader* shader = LinkedShader(materialCopy, c.linkId, document);
    if (!shader || shader->GetType() == ID_OVLSHADER) continue;
    BakeChannelJob job;
    job.linkId = c.linkId;
    job.name = c.name;
    auto* clone = static_cast<BaseShader*>(shader->GetClone(COPYFLAGS_NONE));
    // The clone's images are found where a render finds them: beside the document, in its "tex" folder.
    if (clone) Helpers::FixTexturePaths(clone, document);
    job.tempMaterial = BaseMaterial::Alloc(Mmaterial);
    job.tempTag = TextureTag::Alloc();
    if (!clone || !job.tempMaterial || !job.tempTag) {
      BaseShader::Free(clone);
      BaseMaterial::Free(job.tempMaterial);
      BaseTag* t = job.tempTag;
      BaseTag::Free(t);
      GePrint(String("No memory to bake the channel ") + String(c.name) + String("."));
      continue;
    }
    job.tempMaterial->InsertShader(clone);
    job.tempMaterial->GetDataInstance()->SetLink(MATERIAL_COLOR_SHADER, clone);
    document->InsertMaterial(job.tempMaterial);
    job.tempTag->SetData(copyTag->GetData(), FALSE);
    objectCopy->InsertTag(job.tempTag, uvw);
    job.tempTag->SetMaterial(job.tempMaterial);
    worker->jobs.push_back(job);
  }
  thread = std::move(worker);
  if (!thread->Start(TRUE)) {
    GePrint("Could not start the bake thread.");
    reported = true;
    FinishBake();
    return false;
  }
  Enable(IDC_BAKE, false);
  SetTimer(kTimerMs);
  return true;
}

void BakeDialog::FinishBake() {
  if (!thread) return;
  for (BakeChannelJob& job : thread->jobs) {
    BaseTag* t = job.tempTag;
    BaseTag::Free(t);
    BaseMaterial::Free(job.tempMaterial);
    job.tempTag = nullptr;
    job.tempMaterial = nullptr;
  }
  thread.reset();
}

bool BakeDialog::CollectResults() {
  if (!thread || thread->IsRunning()) return false;
  thread->Wait();
  bool complete = !thread->jobs.empty();
  for (const BakeChannelJob& job : thread->jobs) {
    if (job.ok) {
      SetBakedTexture(job.linkId, thread->material, job.file);
    } else {
      GePrint(String("The channel ") + String(job.name) + String(" was not baked (") + String(job.why) +
              String("); it keeps its shader."));
      complete = false;
    }
  }
  if (thread->jobs.empty()) GePrint("Nothing was baked: no chosen channel has a shader that can be baked.");
  BaseMaterial* copy = thread->material;
  FinishBake();
  if (copy) copy->Update(true, true);
  Enable(IDC_BAKE, true);
  SetTimer(0);
  SetTitle(kTitle);
  document->Message(MSG_UPDATE);
  document->SetChanged();
  EventAdd();
  baked = complete;
  reported = reported || !complete;
  return true;
}

void BakeDialog::Timer(const BaseContainer&) {
  if (!thread) return;
  if (thread->IsRunning()) {
    SetTitle(thread->GetThreadName());
    return;
  }
  CollectResults();
  Close();
}

Bool BakeDialog::AskClose() {
  if (thread && thread->IsRunning()) return true;
  // A bake that has ended but whose results the timer has not taken yet keeps them: the dialog
  // takes them in before it closes.
  CollectResults();
  return false;
}

LONG BakeDialog::Message(const BaseContainer& msg, BaseContainer& result) {
  if (msg.GetId() == BFM_INPUT && msg.GetLong(BFM_INPUT_DEVICE) == BFM_INPUT_KEYBOARD) {
    const String key = msg.GetString(BFM_INPUT_ASC);
    if ((key == String("x") || key == String("q")) && !AskClose()) Close();
  }
  return GeDialog::Message(msg, result);
}

// --- Command ------------------------------------------------------------------------------------

LONG BakeMaterialOnObject::GetState(BaseDocument* doc) {
  SelectedTextureTag found;
  bool ok = FindSelectedTextureTag(doc, &found);
  tag = found.tag;
  object = found.object;
  material = found.material;
  return ok ? CMD_ENABLED : 0;
}

Bool BakeMaterialOnObject::Execute(BaseDocument* doc) {
  // The selection is read again: the pointers of the last `GetState` may be stale.
  if (GetState(doc) != CMD_ENABLED) {
    GePrint("Nothing to bake: select one texture tag of an Orvane material on a polygon object.");
    return false;
  }
  BakeDialog dialog(doc, tag, object, material);
  if (!dialog.Open(DLG_TYPE_MODAL, 0, -1, -1, 0, 0)) {
    GePrint("Could not open the bake dialog.");
    return false;
  }
  dialog.TakeResults();
  if (!dialog.baked && !dialog.reported)
    GePrint("Nothing was baked: the bake dialog was closed before a bake.");
  return dialog.baked;
}

Bool RegisterBakeMaterialOnObject() {
  String name = GeLoadString(10022);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1024338, name, 0, AutoBitmap("About.tif"), "Bake Material on Object",
                               new BakeMaterialOnObject);
}
