// Undo steps of a document: each step holds what its nodes were before the step and which nodes
// it inserted; undoing restores the former and frees the latter, last entry first.
#include <memory>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_layer.h"
#include "host_control.h"
#include "host_undo.h"
#include "link_anchor.h"

namespace host {

namespace {

struct Entry {
  LONG type = 0;
  std::string name;
  std::shared_ptr<LinkAnchor> node;  // reads null once the node is gone
  // State before the change (change kinds only).
  String nodeName;
  BaseContainer data;
  LONG bits = 0;
  std::shared_ptr<LinkAnchor> layer;
  bool hasMatrix = false;
  LMatrix ml;
  // Place of a removed node (delete kind), and the removed node while it is out of every tree.
  std::shared_ptr<LinkAnchor> parent;
  std::shared_ptr<LinkAnchor> pred;
  std::shared_ptr<struct KeptNode> kept;
};

// Owns a node removed under a delete entry: frees it with the step unless it is back in a tree.
struct KeptNode {
  std::shared_ptr<LinkAnchor> node;
  bool released = false;
  ~KeptNode() {
    GeListNode* n = node ? node->node.load() : nullptr;
    if (released || !n || n->GetUp() || n->GetPred() || n->GetNext() || n->GetListHead()) return;
    GeListNode::Destroy(n);
  }
};

bool IsChange(LONG type) {
  return type == UNDOTYPE_CHANGE || type == UNDOTYPE_CHANGE_NOCHILDREN || type == UNDOTYPE_CHANGE_SMALL;
}

}  // namespace

struct DocumentEdits {
  std::vector<std::vector<Entry>> steps;  // closed steps, oldest first
  std::vector<Entry> open;
  int depth = 0;
  bool changed = false;
};

namespace {

DocumentEdits& EditsOf(std::shared_ptr<DocumentEdits>& edits) {
  if (!edits) edits = std::make_shared<DocumentEdits>();
  return *edits;
}

void Undo(BaseDocument* doc, const Entry& e) {
  BaseList2D* node = e.node ? e.node->node.load() : nullptr;
  if (!node) return;
  if (e.type == UNDOTYPE_NEW) {
    GeListNode::Destroy(node);
    return;
  }
  if (e.type == UNDOTYPE_DELETE) {
    if (node->GetUp() || node->GetPred() || node->GetNext() || node->GetListHead()) return;
    BaseList2D* pred = e.pred ? e.pred->node.load() : nullptr;
    BaseList2D* parent = e.parent ? e.parent->node.load() : nullptr;
    if (pred && pred->GetUp() == parent) {
      node->InsertAfter(pred);
    } else if (parent) {
      node->InsertUnder(parent);
    } else {
      return;  // a first top-level node has no place to go back to
    }
    if (e.kept) e.kept->released = true;
    return;
  }
  node->SetName(e.nodeName);
  node->SetData(e.data, FALSE);
  node->DelBit(node->GetAllBits());
  node->SetBit(e.bits);
  BaseList2D* layer = e.layer ? e.layer->node.load() : nullptr;
  if (!layer || layer->GetType() == Olayer) node->SetLayerObject(static_cast<LayerObject*>(layer));
  if (e.hasMatrix) static_cast<BaseObject*>(node)->SetMl(e.ml);
  (void)doc;
}

}  // namespace

std::vector<std::vector<UndoEntry>> UndoSteps(BaseDocument* doc) {
  std::vector<std::vector<UndoEntry>> out;
  if (!doc) return out;
  for (const auto& step : doc->UndoRecord().steps) {
    out.emplace_back();
    for (const Entry& e : step) out.back().push_back({e.type, e.name});
  }
  return out;
}

bool UndoStepOpen(BaseDocument* doc) { return doc && doc->UndoRecord().depth > 0; }

}  // namespace host

host::DocumentEdits& BaseDocument::UndoRecord() { return host::EditsOf(edits_); }

Bool BaseDocument::StartUndo() {
  host::DocumentEdits& e = UndoRecord();
  if (e.depth++ == 0) e.open.clear();
  return true;
}

Bool BaseDocument::EndUndo() {
  host::DocumentEdits& e = UndoRecord();
  if (e.depth == 0) return false;
  if (--e.depth == 0 && !e.open.empty()) {
    e.steps.push_back(std::move(e.open));
    e.open.clear();
  }
  return true;
}

Bool BaseDocument::AddUndo(LONG type, void* data) {
  host::DocumentEdits& e = UndoRecord();
  BaseList2D* node = static_cast<BaseList2D*>(data);
  if (e.depth == 0 || !node || (type != UNDOTYPE_NEW && type != UNDOTYPE_DELETE && !host::IsChange(type)))
    return false;
  host::Entry entry;
  entry.type = type;
  entry.name = host::ToUtf8(node->GetName());
  entry.node = host::AnchorOf(node);
  if (host::IsChange(type)) {
    entry.nodeName = node->GetName();
    entry.data = node->GetData();
    entry.bits = node->GetAllBits();
    if (LayerObject* layer = node->GetLayerObject(this)) entry.layer = host::AnchorOf(layer);
    if (node->IsInstanceOf(Obase)) {
      entry.hasMatrix = true;
      entry.ml = static_cast<BaseObject*>(node)->GetMl();
    }
  }
  if (type == UNDOTYPE_DELETE) {
    if (GeListNode* up = node->GetUp()) entry.parent = host::AnchorOf(static_cast<BaseList2D*>(up));
    if (GeListNode* pred = node->GetPred()) entry.pred = host::AnchorOf(static_cast<BaseList2D*>(pred));
    entry.kept = std::make_shared<host::KeptNode>();
    entry.kept->node = entry.node;
  }
  e.open.push_back(std::move(entry));
  return true;
}

Bool BaseDocument::DoUndo(Bool /*multiple*/) {
  host::DocumentEdits& e = UndoRecord();
  if (e.depth > 0 || e.steps.empty()) return false;
  std::vector<host::Entry> step = std::move(e.steps.back());
  e.steps.pop_back();
  for (auto it = step.rbegin(); it != step.rend(); ++it) host::Undo(this, *it);
  return true;
}

void BaseDocument::SetChanged() { UndoRecord().changed = true; }

Bool BaseDocument::GetChanged() const { return edits_ && edits_->changed; }
