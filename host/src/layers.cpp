// Layers and the layer assignment of nodes.
#include "c4d_layer.h"

#include "c4d_basedocument.h"
#include "link_anchor.h"

namespace {
struct PlainLayer : LayerObject {};
}  // namespace

LayerObject* LayerObject::Alloc() { return new PlainLayer(); }

void LayerObject::Free(LayerObject*& layer) {
  GeListNode::Destroy(layer);
  layer = nullptr;
}

LayerObject* BaseList2D::GetLayerObject(BaseDocument* doc) const {
  if (GetType() == Olayer) return nullptr;
  BaseList2D* node = layer_ ? layer_->node.load() : nullptr;
  if (!node || !doc || node->GetType() != Olayer || node->GetDocument() != doc) return nullptr;
  return static_cast<LayerObject*>(node);
}

Bool BaseList2D::SetLayerObject(LayerObject* layer) {
  if (GetType() == Olayer) return false;
  layer_ = layer ? host::AnchorOf(layer) : nullptr;
  return true;
}

const LayerData* BaseList2D::GetLayerData(BaseDocument* doc, Bool rawdata) const {
  const LayerObject* layer = nullptr;
  if (GetType() == Olayer) {
    if (!doc || GetDocument() != doc) return nullptr;
    layer = static_cast<const LayerObject*>(this);
  } else {
    layer = GetLayerObject(doc);
  }
  if (!layer) return nullptr;
  if (rawdata || !layer->GetUp()) return &layer->own_;
  // A switch that a parent layer has off is off for its sub-layers too.
  LayerData d = layer->own_;
  for (const LayerObject* p = layer->GetUp(); p; p = p->GetUp()) {
    const LayerData& o = p->own_;
    d.view = d.view && o.view;
    d.render = d.render && o.render;
    d.manager = d.manager && o.manager;
    d.generators = d.generators && o.generators;
    d.deformers = d.deformers && o.deformers;
    d.expressions = d.expressions && o.expressions;
    d.animation = d.animation && o.animation;
    d.locked = d.locked || o.locked;
  }
  layer->effective_ = d;
  return &layer->effective_;
}

Bool BaseList2D::SetLayerData(BaseDocument* doc, const LayerData& data) {
  LayerObject* layer = GetType() == Olayer ? static_cast<LayerObject*>(this) : GetLayerObject(doc);
  if (!layer || !doc || layer->GetDocument() != doc) return false;
  layer->own_ = data;
  return true;
}
