#include "command/ovsexportthread.h"

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "command/quickrender.h"
#include "export/meshallocator.h"
#include "export/orvanesceneexporter.h"
#include "files/folder.h"
#include "files/lock.h"
#include "main/helpers.h"
#include "main/instancesuppresser.h"
#include "main/orvanelaunch.h"
#include "object/rendersettingsids.h"

namespace {

constexpr LONG kDefaultPort = 7777;
// The lock file in the write path that renders take turns on.
constexpr char kLockName[] = ".quickrender.lock";

// The frame of `t` at the document's frame rate: floor(numerator x fps) / floor(denominator).
int FrameOf(const BaseTime& t, LONG fps) {
  const double num = std::floor(t.GetNumerator() * fps);
  const double den = std::floor(t.GetDenominator());
  // A denominator below one (or a value out of range) falls back to the time in seconds.
  double frame = den >= 1.0 ? std::trunc(num / den) : std::floor(t.Get() * fps);
  if (!std::isfinite(frame)) frame = 0.0;
  frame = std::fmax(std::fmin(frame, std::numeric_limits<int>::max()), std::numeric_limits<int>::min());
  return static_cast<int>(frame);
}

// `file` with its suffix removed, as a name.
String WithoutSuffix(const Filename& file) {
  Filename f = file.GetFile();
  f.ClearSuffix();
  return f.GetString();
}

// The file of frame `frame` of an animation whose scene is `scene`.
Filename FrameFile(const Filename& scene, int frame) {
  char number[16];
  std::snprintf(number, sizeof number, "%06d", frame);
  return scene.GetDirectory() +
         Filename(WithoutSuffix(scene) + String("_frame") + String(number) + String(".ovs"));
}

// Why the renderer must not start on the frame's scene `path` in `folder` that `exporter` just
// wrote: the scene was not saved, a mesh file it needs could not be written, or a texture it would
// name is at a path the renderer could never open. "" when all is in place. The system's reason is
// part of it.
std::string SceneFault(const files::Folder& folder, const std::string& path,
                       const OrvaneSceneExporter& exporter) {
  // The exporter then leaves the scene file alone.
  const auto scene = [&] {
    files::Target target;
    return folder.WriteTarget(path.substr(path.rfind('/') + 1), &target).ok() && target.isFile
               ? "the scene " + path + " is left as it was"
               : "no scene was saved to " + path;
  };
  if (!exporter.refusedFolder.empty()) return exporter.refusedFolder + "; " + scene();
  if (!exporter.unusableTexture.empty()) return exporter.unusableTexture + "; " + scene();
  if (!exporter.unwrittenMesh.empty())
    return "the mesh file " + exporter.unwrittenMesh + " was not written: " + exporter.unwrittenMeshReason +
           "; " + scene();
  if (!exporter.sceneSaved) return "the scene " + path + " was not saved: " + exporter.saveFailure;
  return std::string();
}

}  // namespace

OVSExportThread::~OVSExportThread() { Wait(FALSE); }

void OVSExportThread::Main() {
  launched_ = false;
  BaseDocument* doc = doc_;
  if (!doc) return;

  StopAllThreads();
  GeShowMouse(MOUSE_BUSY);

  // The quick-render folder is emptied by removing it with everything in it: only ever inside a
  // write path that is known and absolute.
  const Filename writePath = Helpers::GetWritePath();
  const String writeText = writePath.GetString();
  if (!writeText.Content() || writeText[0] != '/') {
    GePrint(String("The host's write path \"") + writeText +
            String("\" is not an absolute path: no quickrender folder there."));
    SetMousePointer(MOUSE_NORMAL);
    return;
  }
  const Filename folder = writePath + Filename("quickrender");
  // The write path is walked once; its lock and its quickrender folder are reached from it. One
  // render at a time in a write path: another run's quickrender is neither emptied nor written
  // into while this one exports into it and starts the renderer on it. No render goes on without
  // the lock.
  files::Folder writeFolder, quickFolder;
  files::FileLock lock;
  files::Result r = files::Folder::Open(Helpers::ToUTF8String(writeText), &writeFolder);
  // A lock that another render or program holds is waited for, and said at once: it is no hang.
  const auto waiting = [&] {
    GePrint(String("waiting for the lock ") + String(writeFolder.PathOf(kLockName)) +
            String(", which another render or program holds"));
  };
  // Another user's folder on the way is said as when the quickrender folder is made there; one at
  // the lock's own name is the lock's.
  if (r.ok() && !(r = lock.Take(writeFolder, kLockName, waiting)).ok() &&
      (r.reason() != files::Reason::kForeignFolder || r.path() == writeFolder.PathOf(kLockName))) {
    // A refusal for another user's file names it; any other reason is given with the file's path.
    const bool named = r.IsForeign();
    GePrint(String("Cannot lock the write path: ") +
            String(named ? r.Text() : writeFolder.PathOf(kLockName) + ": " + r.Text()) + String("."));
    SetMousePointer(MOUSE_NORMAL);
    return;
  }
  if (r.ok()) r = writeFolder.RenewFolder("quickrender", &quickFolder);
  if (!r.ok()) {
    GePrint(folder.GetString());
    GePrint(String("Quickrender dir could not be created: ") + String(r.Text()) + String("."));
    SetMousePointer(MOUSE_NORMAL);
    return;
  }

  const LONG fps = doc->GetFps();
  Filename scene = folder + Filename("quickrender.ovs");
  // The scene's folder, walked once for every frame: the quickrender folder, or the one the render
  // settings name.
  files::Folder sceneFolder = quickFolder;
  const int currentFrame = FrameOf(doc->GetTime(), fps);
  Filename output;

  int firstFrame = currentFrame, lastFrame = currentFrame;
  Bool animation = FALSE, flagA = TRUE, flagB = FALSE, clay = FALSE, foregroundAlpha = FALSE;
  Bool network = FALSE;
  LONG port = kDefaultPort;

  if (BaseContainer* rs = Helpers::GetOrvaneRenderSettingsData(doc)) {
    const Bool useScenePath = rs->GetBool(RS_USE_SCENE_PATH, FALSE);
    const Bool rendersDir = rs->GetBool(RS_RENDERS_DIR, FALSE);
    const Bool saveImage = rs->GetBool(RS_SAVE_IMAGE, FALSE);

    if (useScenePath) {
      if (rs->GetBool(RS_USE_DOCUMENT_PATH, FALSE)) {
        const Filename docPath = doc->GetDocumentPath();
        if (!docPath.Content()) {
          GePrint("Document is not saved, cannot obtain document path.");
          SetMousePointer(MOUSE_NORMAL);
          return;
        }
        Filename name = doc->GetDocumentName();
        name.SetSuffix("ovs");
        scene = docPath + name;
      } else {
        scene = rs->GetFilename(RS_EXPORT_FILENAME, Filename());
        scene.SetSuffix("ovs");
        if (!scene.Content() || !GeFExist(scene.GetDirectory(), TRUE)) {
          GePrint("Export filename is empty or directory does not exist.");
          SetMousePointer(MOUSE_NORMAL);
          return;
        }
      }
      // A folder that cannot be walked is named when the scene is saved (or its renders folder made).
      sceneFolder = files::Folder();
      const files::Result walked =
          files::Folder::Open(Helpers::ToUTF8String(scene.GetDirectory().GetString()), &sceneFolder);
      if (saveImage && rendersDir) {
        const String base = WithoutSuffix(scene);
        const Filename renders = scene.GetDirectory() + Filename(base + String(".renders"));
        files::Folder rendersFolder;
        r = walked.ok() ? sceneFolder.UseFolder(Helpers::ToUTF8String(base) + ".renders", &rendersFolder)
                        : walked;
        if (!r.ok()) {
          GePrint(String("Cannot create render directory: ") + String(r.Text()) + String("."));
          SetMousePointer(MOUSE_NORMAL);
          return;
        }
        output = renders + Filename(base);
      } else if (saveImage) {
        output = rs->GetFilename(RS_OUTPUT_FILENAME, Filename());
      }
    } else if (saveImage) {
      output = rs->GetFilename(RS_OUTPUT_FILENAME, Filename());
    }

    animation = rs->GetBool(RS_ANIMATION, FALSE);
    if (animation) {
      if (RenderData* rd = doc->GetActiveRenderData()) {
        const BaseContainer* data = rd->GetDataInstance();
        firstFrame = FrameOf(data->GetTime(RDATA_FRAMEFROM, BaseTime()), fps);
        lastFrame = FrameOf(data->GetTime(RDATA_FRAMETO, BaseTime()), fps);
      }
    }
    flagA = rs->GetBool(RS_LAUNCH_FLAG_A, TRUE);
    clay = rs->GetBool(RS_CLAY_MODE, FALSE);
    flagB = rs->GetBool(RS_LAUNCH_FLAG_B, FALSE);
    foregroundAlpha = rs->GetBool(RS_FOREGROUND_ALPHA, FALSE);
    if (foregroundAlpha) {
      GePrint("Foreground aplha: forcing clay mode with PT.");
      clay = TRUE;
    }
    network = rs->GetBool(RS_NETWORK_MASTER, FALSE);
    port = rs->GetLong(RS_NETWORK_PORT, kDefaultPort);
  }

  if (firstFrame > lastFrame) {
    GePrint(String("The frame range ") + String::LongToString(firstFrame) + String(" to ") +
            String::LongToString(lastFrame) + String(" is empty: nothing exported."));
    SetMousePointer(MOUSE_NORMAL);
    return;
  }

  const Bool animated = animation && firstFrame != lastFrame;
  InstanceSuppresser* suppresser = QuickRenderSuppresser();
  if (suppresser) suppresser->Set(true);
  {
    OrvaneSceneExporter exporter;
    const BaseTime remembered = doc->GetTime();
    // Every frame is exported even after one has failed; the first failure is what is reported.
    std::string fault;
    for (int frame = firstFrame; frame <= lastFrame; ++frame) {
      doc->SetTime(BaseTime(frame, fps));
      doc->ExecutePasses(nullptr, TRUE, TRUE, TRUE, 0);
      const std::string path =
          Helpers::ToUTF8String((animated ? FrameFile(scene, frame) : scene).GetString());
      exporter.initOVS(doc, nullptr, scene, foregroundAlpha, network, clay, animated, frame, &sceneFolder);
      exporter.exportOVSWithCacheRebuild();
      if (fault.empty()) fault = SceneFault(sceneFolder, path, exporter);
      if (frame == lastFrame) break;  // the last frame may be the largest integer
    }
    doc->SetTime(remembered);
    doc->ExecutePasses(nullptr, TRUE, TRUE, TRUE, 0);
    if (suppresser) suppresser->Set(false);
    // Mesh memory is kept from frame to frame; once the export is over it goes back to the host.
    Orvane::TrimMeshBlocks();
    StatusSetSpin();
    if (!fault.empty()) {
      // The renderer would start on a scene that is missing, left over or incomplete.
      GePrint(String("Not launching Orvane: ") + String(fault) + String("."));
    } else {
      // An animation's frames have names of their own: the renderer starts on the first.
      const Filename launched = animated ? FrameFile(scene, firstFrame) : scene;
      launched_ = Helpers::LaunchOrvane(launched, flagA, flagB, 0, network, port, output, -1, firstFrame,
                                        lastFrame) != 0;
    }
    StatusClear();
    SetMousePointer(MOUSE_NORMAL);
  }
}
