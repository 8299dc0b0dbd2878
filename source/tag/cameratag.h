// The camera tag: the renderer's camera, image and tonemapping settings on a camera object.
#pragma once

#include "c4d.h"
#include "tag/cameratagids.h"

class OrvaneDLLWrapper;

/// The renderer's camera settings: lens, aperture, white balance, filters, render region and
/// tonemapping. Every setting lives in the tag's container (IDs in cameratagids.h); the scene
/// export reads it from there.
class CameraTag : public TagData {
 public:
  /// A new tag's data for the host.
  static NodeData* Alloc() { return new CameraTag; }

  /// Writes the default settings into the tag's container.
  Bool Init(GeListNode* node) override;
  /// Gives the tagged camera back its plain display colour.
  void Free(GeListNode* node) override;
  /// Accepts every message.
  Bool Message(GeListNode* node, LONG type, void* data) override;
  /// Loads the description and shows only the settings of the chosen modes.
  Bool GetDDescription(GeListNode* node, Description* description, LONG& flags) override;
  /// The host's default handling.
  Bool GetDParameter(GeListNode* node, const DescID& id, GeData& value, LONG& flags) override;
  /// The obstacle-map file is editable only while the obstacle map is on.
  Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                    const BaseContainer* itemdesc) override;
  /// The host's default handling.
  Bool SetDParameter(GeListNode* node, const DescID& id, const GeData& value, LONG& flags) override;
  /// Draws the render region as a red rectangle in a view that looks through the tagged camera.
  Bool Draw(BaseTag* tag, BaseObject* op, BaseDraw* bd, BaseDrawHelp* bh) override;
};

/// Draws a translucent focal plane `distance` in front of the camera at `cameraMatrix`, as wide
/// as the field of view `fieldOfView` (radians) and `aspect` times narrower in height.
void DrawFocalPlane(double& distance, double& fieldOfView, double& aspect, LMatrix& cameraMatrix,
                    BaseDraw* view);

/// Registers the tag under the name of string resource 10009; true without registering when
/// that name is empty.
Bool RegisterCameraTag(OrvaneDLLWrapper* connection);
