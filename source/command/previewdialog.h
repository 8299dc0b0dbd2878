// The preview template dialog: the renderer's console executable, the preview options, and the
// two operations that edit the preview scene templates.
#pragma once

#include "c4d.h"

/// Settings of the material preview render, and editors of its scene templates.
class PreviewDialog : public GeModalDialog {
 public:
  /// Loads the dialog resource 10027; false when it is missing.
  Bool CreateLayout() override;
  /// Sets the options and finds the console executable (asking for the renderer's folder once);
  /// false when none is found.
  Bool InitValues() override;
  /// 1676 closes with false; 1680 asks for the renderer's folder again.
  Bool Command(LONG id, const BaseContainer& msg) override;
  /// Sets "width" and "height" of "preview/settings.ovs" to `size`. A template that is missing,
  /// does not parse or has no "scenedata"/"renderer_settings" stays as it is. True.
  Bool ChangeResolution(int size);
  /// Sets (or with `enable` 0 removes) the subdivision elements of the mesh "preview_sphere" in
  /// "preview/preview.ovs". A template that is missing, does not parse or has no such mesh stays
  /// as it is. True.
  Bool AddSubdivisionOption(int enable, int maxSubdivisions, double pixelThreshold, double curvatureThreshold,
                            int smoothing);

  Filename executable;  ///< The renderer's console executable.
  Filename unused;      ///< Kept empty.
};
