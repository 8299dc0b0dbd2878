// Layers: named groups of nodes whose switches say where their members show.
#pragma once

#include "c4d_baselist.h"

/// Host type of a layer.
enum { Olayer = 100004801 };

/// The switches of a layer.
struct LayerData {
  Bool solo = false;        ///< Only solo layers show in the editor.
  Bool view = true;         ///< Members show in the editor.
  Bool render = true;       ///< Members are rendered.
  Bool manager = true;      ///< Members show in the managers.
  Bool locked = false;      ///< Members cannot be edited.
  Bool generators = true;   ///< Generators among the members generate.
  Bool deformers = true;    ///< Deformers among the members deform.
  Bool expressions = true;  ///< Tags of the members run.
  Bool animation = true;    ///< Members are animated.
  LVector color;            ///< The layer's colour.
};

/// A layer of a document (`BaseDocument::GetLayerObjectRoot`); layers can hold sub-layers.
class LayerObject : public BaseList2D {
 public:
  /// A new layer with every switch at its default.
  static LayerObject* Alloc();
  /// Frees the layer with its sub-layers; its members are then on no layer.
  static void Free(LayerObject*& layer);
  /// The next layer, the parent layer and the first sub-layer.
  LayerObject* GetNext() const { return static_cast<LayerObject*>(GeListNode::GetNext()); }
  LayerObject* GetUp() const { return static_cast<LayerObject*>(GeListNode::GetUp()); }
  LayerObject* GetDown() const { return static_cast<LayerObject*>(GeListNode::GetDown()); }

 protected:
  LayerObject() : BaseList2D(Olayer) {}

 private:
  friend class BaseList2D;
  LayerData own_;
  mutable LayerData effective_;
};
