// The "renderer_settings" children that come from the render-settings video post.
#include <cstdint>

#include "export/orvanesceneexporter.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "object/rendersettingsids.h"

namespace {

// The two engine switches of a render mode; a mode the node does not know renders as the default
// (bidirectional) mode.
void ModeFlags(LONG mode, bool* metropolis, bool* bidirectional) {
  switch (mode) {
    case RS_MODE_PT:
      *metropolis = false;
      *bidirectional = false;
      break;
    case RS_MODE_MLT:
      *metropolis = true;
      *bidirectional = false;
      break;
    case RS_MODE_BIDIR_MLT:
      *metropolis = true;
      *bidirectional = true;
      break;
    case RS_MODE_BIDIR:
    default:
      *metropolis = false;
      *bidirectional = true;
      break;
  }
}

// The stored threshold is in thousands of triangles; the renderer takes triangles, and a value
// beyond the integer range is written as the nearest one that fits.
int TrianglesFromThousands(LONG thousands) {
  const int64_t triangles = static_cast<int64_t>(thousands) * 1000;
  if (triangles > INT32_MAX) return INT32_MAX;
  if (triangles < INT32_MIN) return INT32_MIN;
  return static_cast<int>(triangles);
}

}  // namespace

Bool OrvaneSceneExporter::SceneExportRenderSettings(TiXmlElement* rendererSettings) {
  sceneData->globalScale = Helpers::GetGlobalScale(renderSettings);
  if (sceneData->foregroundAlpha) SceneExportBoolValue("render_foreground_alpha", 1, rendererSettings);

  if (!renderSettings) {
    SceneExportBoolValue("metropolis", 0, rendererSettings);
    SceneExportBoolValue("bidirectional", sceneData->foregroundAlpha ? 0 : 1, rendererSettings);
    return FALSE;
  }
  const BaseContainer& rs = *renderSettings;

  // A container without a clay colour keeps the scene data's own clay albedo.
  const GeData* clay = rs.GetDataPointer(RS_CLAY_COLOR);
  if (clay && clay->GetType() == DA_VECTOR) sceneData->clayAlbedo = clay->GetVector();

  bool metropolis = false, bidirectional = false;
  if (!sceneData->foregroundAlpha) ModeFlags(rs.GetLong(RS_RENDER_MODE), &metropolis, &bidirectional);

  SceneExportBoolValue("metropolis", metropolis, rendererSettings);
  SceneExportRealValue("large_mutation_prob", rs.GetReal(RS_LARGE_MUTATION_PROB, 0.0), rendererSettings);
  SceneExportRealValue("max_change", rs.GetReal(RS_MAX_CHANGE, 0.0), rendererSettings);
  SceneExportLongValue("max_num_consec_rejections", rs.GetLong(RS_MAX_NUM_CONSEC_REJECTIONS, 0),
                       rendererSettings);
  SceneExportLongValue("max_depth", rs.GetLong(RS_MAX_DEPTH, 0), rendererSettings);
  SceneExportLongValue("bih_tri_threshold", TrianglesFromThousands(rs.GetLong(RS_BIH_TRI_THRESHOLD, 0)),
                       rendererSettings);
  SceneExportRealValue("halt_time", rs.GetReal(RS_HALT_TIME, 0.0), rendererSettings);
  SceneExportRealValue("halt_samples_per_pixel", rs.GetReal(RS_HALT_SPP, 0.0), rendererSettings);
  SceneExportBoolValue("bidirectional", bidirectional, rendererSettings);
  SceneExportBoolValue("hybrid", rs.GetBool(RS_HYBRID, FALSE), rendererSettings);
  SceneExportBoolValue("logging", rs.GetBool(RS_LOGGING, FALSE), rendererSettings);
  SceneExportLongValue("display_period", rs.GetLong(RS_DISPLAY_PERIOD, 0), rendererSettings);
  SceneExportLongValue("image_save_period", rs.GetLong(RS_IMAGE_SAVE_PERIOD, 0), rendererSettings);
  SceneExportBoolValue("save_untonemapped_exr", rs.GetBool(RS_SAVE_UNTONEMAPPED_EXR, FALSE),
                       rendererSettings);
  SceneExportBoolValue("save_tonemapped_exr", rs.GetBool(RS_SAVE_TONEMAPPED_EXR, FALSE), rendererSettings);
  SceneExportBoolValue("save_ovi", rs.GetBool(RS_SAVE_OVI, FALSE), rendererSettings);
  SceneExportBoolValue("glass_acceleration", rs.GetBool(RS_GLASS_ACCELERATION, FALSE), rendererSettings);
  SceneExportBoolValue("verbose", rs.GetBool(RS_VERBOSE, FALSE), rendererSettings);
  const bool autoThreads = rs.GetLong(RS_AUTO_CHOOSE_NUM_THREADS, 0) == 1;
  SceneExportBoolValue("auto_choose_num_threads", autoThreads, rendererSettings);
  if (!autoThreads) SceneExportLongValue("num_threads", rs.GetLong(RS_NUM_THREADS, 0), rendererSettings);
  SceneExportBoolValue("cache_trees", rs.GetBool(RS_CACHE_TREES, FALSE), rendererSettings);
  SceneExportBoolValue("polarisation", 0, rendererSettings);
  SceneExportBoolValue("wait_for_slave_frames_on_stop", rs.GetBool(RS_WAIT_FOR_SLAVE_FRAMES_ON_STOP, FALSE),
                       rendererSettings);
  SceneExportLongValue("frame_upload_period", rs.GetLong(RS_FRAME_UPLOAD_PERIOD, 120), rendererSettings);
  return TRUE;
}
