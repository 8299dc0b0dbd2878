// The "Bake UVW Tag of Orvane Material" command.
#pragma once

#include "c4d.h"

/// Writes the texture coordinates of an Orvane material's projection into a UVW tag.
class GenerateUVWTag : public CommandData {
 public:
  /// Enabled for exactly one selected texture tag of a plug-in material on a polygon object.
  LONG GetState(BaseDocument* doc) override;
  /// Inserts the UVW tag that the selected tag's projection gives directly after the tag and
  /// switches the tag to UVW mapping, in one undo step; false when nothing could be generated.
  Bool Execute(BaseDocument* doc) override;

  TextureTag* tag = nullptr;        ///< The tag the last `GetState` found.
  PolygonObject* object = nullptr;  ///< Its object.
};

/// Registers the command under the name of string resource 10023; true without registering
/// when that name is empty.
Bool RegisterGenerateUVWTag();
