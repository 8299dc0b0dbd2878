// The light tag: the renderer's emission settings of a light.
#pragma once

#include "c4d.h"

/// Renderer settings of a light: emission spectrum, light layer, photometric scale and IES
/// profile, kept in the tag's container for the scene export. Its one action is the IES preview:
/// a button renders the chosen profile into an image that the tag's bitmap button shows.
class MyLightTag : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new MyLightTag; }

  /// Writes the defaults of a new tag.
  Bool Init(GeListNode* node) override;
  /// Loads the description with the light-layer drop-down, and shows the emission group of the
  /// chosen spectrum, the IES file only with the IES switch and the photometric measure and value
  /// only with emission scaling; the preview file stays hidden.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// Handles the IES preview button and the preview bitmap's request; true otherwise.
  Bool Message(GeListNode* node, LONG type, void* data) override;
  /// Produces the value of the preview bitmap button; every other parameter is the host's.
  Bool GetDParameter(GeListNode* node, const DescID& id, GeData& value, LONG& flags) override;
  /// Keeps nothing for the preview bitmap button; every other parameter is the host's.
  Bool SetDParameter(GeListNode* node, const DescID& id, const GeData& value, LONG& flags) override;
  /// Does nothing: the exporter reads the tag's container.
  LONG Execute(BaseTag* tag, BaseDocument* doc, BaseObject* op, BaseThread* bt, LONG priority,
               LONG flags) override;

  /// Makes the plug-in's IES preview scene ("preview/iespreview.ovs") use the profile `ies`: the
  /// path of the first "ies_profile" of its models becomes the profile's full path. 1 when the
  /// scene was rewritten; 0, leaving it as it was, when it cannot be read, has no model with a
  /// profile, or cannot be saved.
  int ChangeIES(Filename ies);

 private:
  // Renders the preview of the tag's IES profile: prepares the preview scene and starts the
  // renderer on it, writing the image the preview bitmap shows. True when there is no profile to
  // preview or the renderer was started; false when it could not be.
  Bool RenderPreview(BaseTag* tag);
  // Answers the preview bitmap's request with the preview image, when there is one.
  Bool GetPreviewBitmap(BaseTag* tag, DescriptionGetBitmap* request);
};

/// Registers the tag under the name of string resource 10002; true without registering when
/// that name is empty.
Bool RegisterMyLightTag();
