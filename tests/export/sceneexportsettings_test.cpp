// The scene's render settings, camera and tonemapping as the exporter writes them from the
// render-settings video post, the scene camera and its camera tag.
#include <gtest/gtest.h>

#include <tinyxml.h>

#include <cmath>
#include <fstream>
#include <string>
#include <vector>

#include "export/orvanesceneexporter.h"
#include "host_prefs.h"
#include "main/helpers.h"
#include "main/orvanelaunch.h"
#include "object/myrendersettings.h"
#include "support/host_fixture.h"
#include "support/xml_text.h"
#include "tag/cameratag.h"

namespace {

// The text of the element at `path` ("a/b/c") below `e`, or "<none>".
std::string Text(const TiXmlElement* e, const std::string& path) {
  size_t start = 0;
  while (e && start <= path.size()) {
    size_t slash = path.find('/', start);
    e = e->FirstChildElement(path.substr(start, slash - start).c_str());
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  if (!e) return "<none>";
  return e->GetText() ? e->GetText() : "";
}

double Number(const TiXmlElement* e, const std::string& path) { return std::stod(Text(e, path)); }

class SceneSettingsTest : public HostTest {
 protected:
  void SetUp() override {
    HostTest::SetUp();
    ASSERT_TRUE(RegisterCameraTag(nullptr));
    ASSERT_TRUE(RegisterRenderSettingsVP(nullptr));
    host::SetStartupWritePath(temp.path());
    doc = BaseDocument::Alloc();
    SetImage(1920, 1080);
    cam = BaseObject::Alloc(Ocamera);
    cam->GetDataInstance()->SetReal(500, 50.0);
    cam->GetDataInstance()->SetReal(1006, 36.0);
    cam->GetDataInstance()->SetReal(1010, 250.0);
    doc->InsertObject(cam, nullptr, nullptr);
    doc->GetRenderBaseDraw()->SetSceneCamera(cam);
  }
  void TearDown() override {
    delete rendererSettings;
    rendererSettings = nullptr;
    exporter.xmlDocument.Clear();
    BaseDocument::Free(doc);
    HostTest::TearDown();
  }
  void SetImage(LONG w, LONG h) {
    doc->GetActiveRenderData()->GetDataInstance()->SetLong(5008, w);
    doc->GetActiveRenderData()->GetDataInstance()->SetLong(5009, h);
  }
  BaseContainer* AddVideoPost() {
    BaseVideoPost* vp = BaseVideoPost::Alloc(ID_RENDERSETTINGS);
    doc->GetActiveRenderData()->InsertVideoPostLast(vp);
    return vp->GetDataInstance();
  }
  BaseContainer* AddTag() { return cam->MakeTag(ID_CAMERATAG)->GetDataInstance(); }

  // Writes the settings, camera and tonemapping in the exporter's order.
  void Export(int foregroundAlpha = 0) {
    exporter.xmlDocument.Clear();
    delete rendererSettings;
    delete exporter.sceneData;
    exporter.sceneData = new OrvaneSceneData();
    exporter.sceneData->document = doc;
    exporter.sceneData->foregroundAlpha = foregroundAlpha;
    exporter.initVariables();
    exporter.sceneElement = new TiXmlElement("scene");
    exporter.xmlDocument.LinkEndChild(exporter.sceneElement);
    rendererSettings = new TiXmlElement("renderer_settings");
    exporter.renderSettings = Helpers::GetOrvaneRenderSettingsData(doc);
    exporter.GetSceneCameraData();
    exporter.SceneExportRenderSettings(rendererSettings);
    EXPECT_EQ(exporter.SceneExportCamera(rendererSettings), 1);
    EXPECT_EQ(exporter.SceneExportTonemapping(), 1);
  }
  const TiXmlElement* Scene() const { return exporter.sceneElement; }
  const TiXmlElement* Camera() const { return exporter.sceneElement->FirstChildElement("camera"); }

  TempDir temp;
  BaseDocument* doc = nullptr;
  BaseObject* cam = nullptr;
  OrvaneSceneExporter exporter;
  TiXmlElement* rendererSettings = nullptr;
};

// --- Render settings ----------------------------------------------------------------------

TEST_F(SceneSettingsTest, NewVideoPostGivesTheFullListInOrder) {
  AddVideoPost()->SetLong(RS_SCALE_UNIT, RS_UNIT_M);
  Export();
  EXPECT_EQ(Flatten(rendererSettings),
            "metropolis=false;large_mutation_prob=0.400000;max_change=0.010000;"
            "max_num_consec_rejections=1000;max_depth=10000;bih_tri_threshold=800000;"
            "halt_time=-1.000000;halt_samples_per_pixel=-1.000000;bidirectional=true;hybrid=false;"
            "logging=true;display_period=60;image_save_period=300;save_untonemapped_exr=false;"
            "save_tonemapped_exr=false;save_ovi=true;glass_acceleration=false;verbose=false;"
            "auto_choose_num_threads=true;cache_trees=true;polarisation=false;"
            "wait_for_slave_frames_on_stop=false;frame_upload_period=120;"
            "width=1920;height=1080;post_process_diffraction=true;aperture_diffraction=false");
  EXPECT_EQ(exporter.sceneData->clayAlbedo, LVector(0.71, 0.62, 0.53));
}

TEST_F(SceneSettingsTest, ModesThreadsAndForegroundAlpha) {
  struct Case {
    LONG mode;
    int foregroundAlpha;
    bool autoThreads;
    const char* start;  // the first children of "renderer_settings"
    const char* threads;
  } cases[] = {
      {RS_MODE_PT, 0, true, "metropolis=false", "auto_choose_num_threads=true;cache_trees"},
      {RS_MODE_MLT, 0, false, "metropolis=true", "auto_choose_num_threads=false;num_threads=3;cache_trees"},
      {RS_MODE_BIDIR_MLT, 0, true, "metropolis=true", "auto_choose_num_threads=true;cache_trees"},
      {RS_MODE_MLT, 1, true, "render_foreground_alpha=true;metropolis=false", "auto_choose_num_threads=true"},
      // A mode the node does not know renders as the default mode.
      {4711, 0, true, "metropolis=false", "auto_choose_num_threads=true"},
  };
  BaseContainer* rs = AddVideoPost();
  rs->SetLong(RS_NUM_THREADS, 3);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.mode) + " " + std::to_string(c.foregroundAlpha));
    rs->SetLong(RS_RENDER_MODE, c.mode);
    rs->SetBool(RS_AUTO_CHOOSE_NUM_THREADS, c.autoThreads);
    Export(c.foregroundAlpha);
    std::string flat = Flatten(rendererSettings);
    EXPECT_EQ(flat.rfind(c.start, 0), 0u) << flat;
    EXPECT_NE(flat.find(c.threads), std::string::npos) << flat;
    const bool bidir = !c.foregroundAlpha && (c.mode == RS_MODE_BIDIR_MLT || c.mode == 4711);
    EXPECT_EQ(Text(rendererSettings, "bidirectional"), bidir ? "true" : "false");
  }
}

TEST_F(SceneSettingsTest, WithoutVideoPostOnlyTheShortList) {
  BaseContainer prefs;
  prefs.SetLong(WPREF_UNITS, UNIT_MM);
  host::SetWorldContainer(prefs);
  Export();
  EXPECT_EQ(Flatten(rendererSettings),
            "metropolis=false;bidirectional=true;width=1920;height=1080;"
            "post_process_diffraction=true;aperture_diffraction=false");
  EXPECT_DOUBLE_EQ(exporter.sceneData->globalScale, 0.001);
  Export(1);
  EXPECT_EQ(Flatten(rendererSettings)
                .rfind("render_foreground_alpha=true;metropolis=false;bidirectional=false;width", 0),
            0u);
  EXPECT_EQ(exporter.sceneData->clayAlbedo, LVector(0.71, 0.62, 0.53));
}

TEST_F(SceneSettingsTest, StoredValuesAndReadersDefaults) {
  BaseContainer* rs = AddVideoPost();
  // A threshold beyond the integer range once in triangles is clamped, not wrapped.
  rs->SetLong(RS_BIH_TRI_THRESHOLD, 3000000);
  rs->SetReal(RS_HALT_TIME, 90.5);
  rs->SetVector(RS_CLAY_COLOR, LVector(0.1, 0.2, 0.3));
  rs->SetReal(RS_DISPLAY_PERIOD, 12.9);
  rs->RemoveData(RS_FRAME_UPLOAD_PERIOD);
  rs->RemoveData(RS_LOGGING);
  rs->RemoveData(RS_MAX_DEPTH);
  Export();
  EXPECT_EQ(Text(rendererSettings, "bih_tri_threshold"), "2147483647");
  EXPECT_EQ(Text(rendererSettings, "halt_time"), "90.500000");
  EXPECT_EQ(Text(rendererSettings, "display_period"), "12");
  EXPECT_EQ(Text(rendererSettings, "frame_upload_period"), "120");
  EXPECT_EQ(Text(rendererSettings, "logging"), "false");
  EXPECT_EQ(Text(rendererSettings, "max_depth"), "0");
  EXPECT_EQ(exporter.sceneData->clayAlbedo, LVector(0.1, 0.2, 0.3));

  rs->SetLong(RS_BIH_TRI_THRESHOLD, -3000000);
  rs->RemoveData(RS_CLAY_COLOR);  // keeps the scene data's own clay colour
  Export();
  EXPECT_EQ(Text(rendererSettings, "bih_tri_threshold"), "-2147483648");
  EXPECT_EQ(exporter.sceneData->clayAlbedo, LVector(0.71, 0.62, 0.53));
}

// --- Camera -------------------------------------------------------------------------------------

TEST_F(SceneSettingsTest, CameraWithoutTag) {
  cam->SetMl(LMatrix(LVector(10, 20, 30), LVector(1, 0, 0), LVector(0, 1, 0), LVector(0, 0, 1)));
  cam->GetDataInstance()->SetReal(1006, 24.0);  // ignored without a tag: the sensor is 36 mm
  cam->GetDataInstance()->SetReal(500, 24.0);
  cam->GetDataInstance()->SetReal(1118, 0.25);
  cam->GetDataInstance()->SetReal(1119, -0.5);
  AddVideoPost()->SetLong(RS_SCALE_UNIT, RS_UNIT_CM);
  Export();
  EXPECT_EQ(Flatten(Camera()),
            "aspect_ratio=1.777778;exposure_duration=0.050000;pos=0.100000 0.300000 0.200000;"
            "up=0.000000 0.000000 1.000000;forwards=0.000000 1.000000 0.000000;"
            "focus_distance=2.500000;sensor_width=0.036000;lens_sensor_dist=0.036000;"
            "aperture_radius=0.002250;aperture_shape{circular};white_balance=D65;autofocus;"
            "lens_shift_up_distance=0.010125;lens_shift_right_distance=0.009000");
  EXPECT_EQ(Flatten(Scene()).find("camera{"), 0u);
}

TEST_F(SceneSettingsTest, CameraWithFreshTag) {
  AddTag();
  Export();
  const TiXmlElement* c = Camera();
  EXPECT_EQ(Text(c, "sensor_width"), "0.036000");
  EXPECT_EQ(Text(c, "lens_sensor_dist"), "0.050000");
  EXPECT_NEAR(Number(c, "aperture_radius"), 0.05 / 32, 1e-6);
  EXPECT_EQ(Text(c, "white_balance"), "D65");
  EXPECT_EQ(Text(c, "autofocus"), "");
  EXPECT_EQ(Flatten(c->FirstChildElement("aperture_shape")), "circular");
  EXPECT_EQ(Flatten(rendererSettings),
            "metropolis=false;bidirectional=true;super_sample_factor=2;splat_filter{fastbox};"
            "downsize_filter{mn_cubic{ring=0.200000;blur=0.600000}};watermark=false;info_overlay=false;"
            "width=1920;height=1080;post_process_diffraction=true;aperture_diffraction=false");
  EXPECT_EQ(c->FirstChildElement("obstacle_map"), nullptr);
}

TEST_F(SceneSettingsTest, CameraTagSettings) {
  BaseContainer* tag = AddTag();
  tag->SetBool(CAMTAG_AUTOFOCUS, FALSE);
  tag->SetReal(CAMTAG_EXPOSURE_DURATION, 0.25);
  tag->SetReal(CAMTAG_FSTOP, 2.0);
  tag->SetLong(CAMTAG_WHITE_BALANCE, CAMTAG_WB_F11);
  tag->SetLong(CAMTAG_APERTURE_SHAPE, CAMTAG_SHAPE_GENERATED);
  tag->SetLong(CAMTAG_SPLAT_FILTER, CAMTAG_FILTER_MN_CUBIC);
  tag->SetLong(CAMTAG_DOWNSIZE_FILTER, CAMTAG_FILTER_FASTBOX);  // not a downsize filter: empty
  tag->SetLong(CAMTAG_DIFFRACTION, CAMTAG_DIFFRACTION_APERTURE);
  tag->SetBool(CAMTAG_RENDER_REGION, TRUE);
  tag->SetBool(CAMTAG_USE_OBSTACLE_MAP, TRUE);
  tag->SetFilename(CAMTAG_OBSTACLE_MAP, Filename("/maps/dust.png"));
  cam->GetDataInstance()->SetReal(1118, 0.5);
  cam->GetDataInstance()->SetReal(1119, 0.25);
  Export();
  const TiXmlElement* c = Camera();
  EXPECT_EQ(Text(c, "exposure_duration"), "0.250000");
  EXPECT_DOUBLE_EQ(exporter.sceneData->exposureDuration, 0.25);
  EXPECT_EQ(Text(c, "autofocus"), "<none>");
  EXPECT_EQ(Text(c, "focus_distance"), "2.500000");  // the host's unit is the centimetre
  EXPECT_EQ(Text(c, "aperture_radius"), "0.012500");
  EXPECT_EQ(Text(c, "white_balance"), "F11");
  EXPECT_EQ(
      Flatten(c->FirstChildElement("aperture_shape")),
      "generated{num_blades=6;blade_offset=0.400000;blade_curvature_radius=3.000000;start_angle=0.200000}");
  EXPECT_EQ(Flatten(c->FirstChildElement("obstacle_map")), "path=/maps/dust.png");
  EXPECT_NEAR(Number(c, "lens_shift_up_distance"), -0.25 * 0.036 / (1920.0 / 1080), 1e-6);
  EXPECT_EQ(Text(c, "lens_shift_right_distance"), "0.018000");
  EXPECT_EQ(Flatten(rendererSettings),
            "metropolis=false;bidirectional=true;super_sample_factor=2;"
            "splat_filter{mn_cubic{ring=0.200000;blur=0.600000}};downsize_filter;watermark=false;"
            "info_overlay=false;render_region{x1=0;x2=150;y1=0;y2=150};width=1920;height=1080;"
            "post_process_diffraction=false;aperture_diffraction=true");

  tag->SetLong(CAMTAG_APERTURE_SHAPE, CAMTAG_SHAPE_IMAGE);
  tag->SetLong(CAMTAG_WHITE_BALANCE, 4711);
  tag->RemoveData(CAMTAG_OBSTACLE_MAP);
  Export();
  EXPECT_EQ(Flatten(Camera()->FirstChildElement("aperture_shape")), "image{path=element not found}");
  EXPECT_EQ(Text(Camera(), "obstacle_map/path"), "element not found");
  EXPECT_EQ(Text(Camera(), "white_balance"), "");
  tag->SetLong(CAMTAG_APERTURE_SHAPE, 4711);
  Export();
  EXPECT_EQ(Flatten(Camera()->FirstChildElement("aperture_shape")), "");
}

TEST_F(SceneSettingsTest, LensValuesThatWouldDivideByZeroFallBackWithOneWarningEach) {
  BaseContainer* tag = AddTag();
  tag->SetReal(CAMTAG_FSTOP, 0.0);
  cam->GetDataInstance()->SetReal(500, 0.0);
  cam->GetDataInstance()->SetReal(1006, 0.0);
  SetImage(1920, 0);
  host::ClearConsole();
  Export();
  std::string flat = Flatten(Camera()) + Flatten(rendererSettings);
  for (const char* bad : {"=inf", "=-inf", " inf", " -inf", "nan"})
    EXPECT_EQ(flat.find(bad), std::string::npos) << bad << " in " << flat;
  EXPECT_EQ(Text(Camera(), "aspect_ratio"), "1.000000");
  EXPECT_EQ(Text(Camera(), "sensor_width"), "0.036000");
  EXPECT_EQ(Text(Camera(), "lens_sensor_dist"), "0.036000");
  EXPECT_EQ(Text(Camera(), "aperture_radius"), "0.001125");
  std::vector<std::string> warnings;
  for (const std::string& line : Console())
    if (line.rfind("Warning: ", 0) == 0) warnings.push_back(line);
  EXPECT_EQ(warnings.size(), 4u);
  for (const char* what : {"aspect", "sensor width", "focal length", "f-number"}) {
    bool found = false;
    for (const std::string& w : warnings) found = found || w.find(what) != std::string::npos;
    EXPECT_TRUE(found) << what;
  }
  // A camera that stores no lens at all uses 36 mm silently.
  cam->GetDataInstance()->RemoveData(500);
  cam->GetDataInstance()->RemoveData(1006);
  tag->SetReal(CAMTAG_FSTOP, 8.0);
  SetImage(100, 50);
  host::ClearConsole();
  Export();
  EXPECT_EQ(Text(Camera(), "lens_sensor_dist"), "0.036000");
  for (const std::string& line : Console()) EXPECT_EQ(line.find("Warning"), std::string::npos) << line;
}

TEST_F(SceneSettingsTest, WithoutSceneCameraTheEditorCameraIsExported) {
  doc->GetRenderBaseDraw()->SetSceneCamera(nullptr);
  BaseObject* editor = doc->GetRenderBaseDraw()->GetEditorCamera();
  editor->SetPos(LVector(1, 2, 3));
  AddTag();  // on the scene camera, which the view does not use
  Export();
  EXPECT_EQ(exporter.camera, editor);
  EXPECT_EQ(exporter.hasCameraTag, 0);
  EXPECT_EQ(Text(Camera(), "pos"), "0.010000 0.030000 0.020000");
  EXPECT_EQ(Text(Camera(), "lens_sensor_dist"), "0.036000");
  EXPECT_EQ(Flatten(Scene()->FirstChildElement("tonemapping")),
            "reinhard{pre_scale=3.000000;post_scale=1.000000;burn=10.000000}");
}

// --- Tonemapping -------------------------------------------------------------------------------

TEST_F(SceneSettingsTest, EachTonemapperWritesItsOwnElement) {
  BaseContainer* tag = AddTag();
  struct Case {
    LONG tonemapper;
    const char* flat;
  } cases[] = {
      {CAMTAG_TONEMAPPER_REINHARD, "reinhard{pre_scale=3.000000;post_scale=1.000000;burn=10.000000}"},
      {CAMTAG_TONEMAPPER_LINEAR, "linear{scale=3.000000}"},
      {CAMTAG_TONEMAPPER_CAMERA,
       "camera{film_iso=400.000000;ev_adjust=0.000000;"
       "response_function_path=data/camera_response_functions/Advantix-100CD.txt}"},
      {4711, "reinhard{pre_scale=3.000000;post_scale=1.000000;burn=10.000000}"},
  };
  for (const Case& c : cases) {
    tag->SetLong(CAMTAG_TONEMAPPER, c.tonemapper);
    Export();
    EXPECT_EQ(Flatten(Scene()->FirstChildElement("tonemapping")), c.flat);
  }
  // Readers' fallbacks where the tag holds nothing.
  for (LONG id :
       {CAMTAG_PRE_SCALE, CAMTAG_POST_SCALE, CAMTAG_BURN, CAMTAG_FILM_ISO, CAMTAG_RESPONSE_FUNCTION})
    tag->RemoveData(id);
  tag->SetLong(CAMTAG_TONEMAPPER, CAMTAG_TONEMAPPER_LINEAR);
  Export();
  EXPECT_EQ(Flatten(Scene()->FirstChildElement("tonemapping")), "linear{scale=0.000000}");
  tag->SetLong(CAMTAG_TONEMAPPER, CAMTAG_TONEMAPPER_CAMERA);
  Export();
  EXPECT_EQ(Flatten(Scene()->FirstChildElement("tonemapping")),
            "camera{film_iso=0.000000;ev_adjust=0.000000;response_function_path=Fileneme/not/set}");
  tag->RemoveData(CAMTAG_TONEMAPPER);
  Export();
  EXPECT_EQ(Text(Scene(), "tonemapping/reinhard/pre_scale"), "3.000000");
}

TEST_F(SceneSettingsTest, ResponseFileIsWrittenRelativeToTheRenderer) {
  BaseContainer* tag = AddTag();
  tag->SetLong(CAMTAG_TONEMAPPER, CAMTAG_TONEMAPPER_CAMERA);
  const std::string rendererDir = temp / "Renderer";
  Helpers::GlobalSettings settings{String(rendererDir)};
  ASSERT_TRUE(Helpers::SaveSettings(&settings));
  struct Case {
    std::string stored, written;
  } cases[] = {
      {"data/camera_response_functions/Advantix-100CD.txt",
       "data/camera_response_functions/Advantix-100CD.txt"},
      {rendererDir + "/Orvane.app/Contents/MacOS/data/curve.txt", "data/curve.txt"},
      {rendererDir + "/Orvane.app/Contents/Resources/curve.txt", "../Resources/curve.txt"},
  };
  for (const Case& c : cases) {
    tag->SetFilename(CAMTAG_RESPONSE_FUNCTION, Filename(String(c.stored)));
    Export();
    EXPECT_EQ(Text(Scene(), "tonemapping/camera/response_function_path"), c.written) << c.stored;
  }
}

TEST_F(SceneSettingsTest, ResponseFileWithoutRendererFolderIsKeptAsStored) {
  BaseContainer* tag = AddTag();
  tag->SetLong(CAMTAG_TONEMAPPER, CAMTAG_TONEMAPPER_CAMERA);
  Export();
  EXPECT_EQ(Text(Scene(), "tonemapping/camera/response_function_path"),
            "data/camera_response_functions/Advantix-100CD.txt");
  tag->SetFilename(CAMTAG_RESPONSE_FUNCTION, Filename("/abs/curve.txt"));
  Export();
  EXPECT_EQ(Text(Scene(), "tonemapping/camera/response_function_path"), "/abs/curve.txt");
}

}  // namespace
