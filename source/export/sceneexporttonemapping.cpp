// The scene's "tonemapping" element, from the scene camera's camera tag.
#include "export/orvanesceneexporter.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "main/orvanelaunch.h"
#include "tag/cameratagids.h"

namespace {

// What a tag without a response file names.
const char kNoResponseFile[] = "Fileneme/not/set";

}  // namespace

int OrvaneSceneExporter::SceneExportTonemapping() {
  TiXmlElement* tonemapping = new TiXmlElement("tonemapping");
  const BaseContainer& tag = cameraTagData;

  switch (tag.GetLong(CAMTAG_TONEMAPPER, CAMTAG_TONEMAPPER_REINHARD)) {
    case CAMTAG_TONEMAPPER_LINEAR: {
      TiXmlElement* linear = new TiXmlElement("linear");
      tonemapping->LinkEndChild(linear);
      SceneExportRealValue("scale", tag.GetReal(CAMTAG_PRE_SCALE, 0.0), linear);
      break;
    }
    case CAMTAG_TONEMAPPER_CAMERA: {
      TiXmlElement* camera = new TiXmlElement("camera");
      tonemapping->LinkEndChild(camera);
      SceneExportRealValue("film_iso", tag.GetReal(CAMTAG_FILM_ISO, 0.0), camera);
      SceneExportRealValue("ev_adjust", tag.GetReal(CAMTAG_EV_ADJUST, 0.0), camera);
      const Filename response = tag.GetFilename(CAMTAG_RESPONSE_FUNCTION, Filename(kNoResponseFile));
      Filename rendererDir;
      Helpers::GetOrvaneExe(&rendererDir, 0, 0);
      const std::string file = Helpers::ToUTF8String(response.GetString());
      std::string path = Helpers::GetRelativeFilename(Helpers::ToUTF8String(rendererDir.GetString()), file);
      // Without a renderer folder, or when no relative name can be formed, the stored name is
      // the best the renderer can get.
      if (path.empty()) path = file;
      SceneExportStringValue("response_function_path", path, camera);
      break;
    }
    default: {
      TiXmlElement* reinhard = new TiXmlElement("reinhard");
      tonemapping->LinkEndChild(reinhard);
      SceneExportRealValue("pre_scale", tag.GetReal(CAMTAG_PRE_SCALE, 3.0), reinhard);
      SceneExportRealValue("post_scale", tag.GetReal(CAMTAG_POST_SCALE, 1.0), reinhard);
      SceneExportRealValue("burn", tag.GetReal(CAMTAG_BURN, 10.0), reinhard);
      break;
    }
  }
  sceneElement->LinkEndChild(tonemapping);
  return 1;
}
