// The node tree: atoms, list nodes, named nodes with parameter containers, links.
#pragma once

#include <memory>
#include <vector>

#include "c4d_gedata.h"

class BaseDocument;
class BaseList2D;
class BaseShader;
class Description;
class LayerObject;
class NodeData;
struct LayerData;
namespace host {
struct LinkAnchor;
std::shared_ptr<LinkAnchor> AnchorOf(BaseList2D* node);
}  // namespace host

/// Base kinds: every node is an instance of the base of its kind.
enum {
  Obase = 5155,            ///< Any object.
  Tbase = 5616000,         ///< Any tag (a host-internal number, never a tag's own type).
  Mbase = 5702,            ///< Any material.
  Xbase = 5707,            ///< Any shader.
  VPbase = 5709,           ///< Any video post.
  Rbase = 110304,          ///< Render data.
  Tbasedocument = 110059,  ///< A document.
};

/// Node bits (`BaseList2D::GetBit`).
enum {
  BIT_ACTIVE = 2,             ///< The node is selected.
  BIT_VPDISABLED = 4,         ///< A video post that is switched off.
  BIT_CONTROLOBJECT = 0x200,  ///< An object that a generator uses as input; it is not rendered.
};

/// An element of a description ID: parameter ID, value type and owner.
struct DescLevel {
  LONG id = 0;
  LONG dtype = 0;
  LONG creator = 0;
  DescLevel() = default;
  DescLevel(LONG i, LONG t = 0, LONG c = 0) : id(i), dtype(t), creator(c) {}  // NOLINT
};

/// A parameter's address in a node's description: one or more levels.
class DescID {
 public:
  DescID() = default;
  DescID(const DescLevel& first) { levels_.push_back(first); }  // NOLINT
  DescID(const DescLevel& first, const DescLevel& second) : levels_{first, second} {}
  /// Number of levels.
  LONG GetDepth() const { return static_cast<LONG>(levels_.size()); }
  /// The level at `pos` (a zero level past the end).
  const DescLevel& operator[](LONG pos) const;
  bool operator==(const DescID& o) const;

 private:
  std::vector<DescLevel> levels_;
};

/// Flags of `C4DAtom::GetClone`.
enum {
  COPYFLAGS_NONE = 0,          ///< The node with its children and branches (tags).
  COPYFLAGS_NO_HIERARCHY = 4,  ///< Leave the node's children out.
  COPYFLAGS_NO_BRANCHES = 8,   ///< Leave an object's tags out.
};

/// Anything the host keeps as a node: has a type and can be asked for its kind.
class C4DAtom {
 public:
  virtual ~C4DAtom() = default;
  /// The node's type ID (plug-in ID for plug-in nodes).
  LONG GetType() const { return type_; }
  /// True for the node's own type and for the base of its kind.
  virtual Bool IsInstanceOf(LONG id) const { return id == type_; }
  /// A copy of an object, tag, material, shader or video post (name, parameters, bits, plug-in
  /// data through `NodeData::CopyTo`, children and tags as `flags` allow), in no list and no
  /// document; the caller owns it. When the original lies in a document, links between nodes of
  /// the copied tree lead to their copies. Null for other nodes and when a plug-in refuses.
  C4DAtom* GetClone(LONG flags = COPYFLAGS_NONE) const;

 protected:
  explicit C4DAtom(LONG type) : type_(type) {}

 private:
  LONG type_;
};

class GeListNode;

/// The head of a top-level list of nodes that another node (or the document) holds: the objects
/// or materials of a document, the tags of an object, the video posts of render data.
class GeListHead {
 public:
  explicit GeListHead(GeListNode* owner) : owner_(owner) {}
  ~GeListHead();
  GeListHead(const GeListHead&) = delete;
  GeListHead& operator=(const GeListHead&) = delete;
  GeListNode* GetFirst() const { return first_; }
  GeListNode* GetLast() const;
  /// Inserts `node` first (removing it from where it was).
  void InsertFirst(GeListNode* node);
  /// Inserts `node` last.
  void InsertLast(GeListNode* node);
  /// The node that holds the list.
  GeListNode* GetOwner() const { return owner_; }
  /// Frees every node of the list.
  void FlushAll();

 private:
  friend class GeListNode;
  GeListNode* owner_;
  GeListNode* first_ = nullptr;
};

/// A node in a list: siblings, parent and children. Nodes are freed through their class's static
/// `Free`, which lets the plug-in data of the node and of everything below it see `Free` while the
/// tree is still intact.
class GeListNode : public C4DAtom {
 public:
  GeListNode(const GeListNode&) = delete;
  GeListNode& operator=(const GeListNode&) = delete;

  GeListNode* GetNext() const { return next_; }
  GeListNode* GetPred() const { return pred_; }
  GeListNode* GetUp() const { return up_; }
  GeListNode* GetDown() const { return down_; }
  GeListNode* GetDownLast() const;
  /// Inserts the node as the first child of `parent` (removing it from where it was).
  void InsertUnder(GeListNode* parent);
  /// Inserts the node as the last child of `parent`.
  void InsertUnderLast(GeListNode* parent);
  /// Inserts the node directly before `other` in other's list.
  void InsertBefore(GeListNode* other);
  /// Inserts the node directly after `other` in other's list.
  void InsertAfter(GeListNode* other);
  /// Takes the node out of its list; it keeps its children.
  void Remove();
  /// The list head of a top-level node, or null.
  GeListHead* GetListHead() const { return head_; }
  /// The document the node lies in, or null.
  virtual BaseDocument* GetDocument() const;
  /// The plug-in data of a plug-in node, or null.
  NodeData* GetNodeData() const { return data_.get(); }
  /// Sends a message to the node's plug-in data; true when there is none.
  Bool Message(LONG type, void* data = nullptr);

  /// Frees a node with everything below it (host use; plug-ins call their class's `Free`).
  static void Destroy(GeListNode* node);

 protected:
  explicit GeListNode(LONG type);
  ~GeListNode() override;
  /// Frees the lists the node holds besides its children (tags, video posts, ...).
  virtual void FreeBranches() {}

 public:
  /// Attaches plug-in data and runs its `Init`; false (and no data) when `Init` refuses.
  Bool AttachNodeData(NodeData* data);

 private:
  friend class GeListHead;
  void Unlink();
  /// True when `n` is this node or lies below it.
  bool Contains(const GeListNode* n) const;
  GeListNode* next_ = nullptr;
  GeListNode* pred_ = nullptr;
  GeListNode* up_ = nullptr;
  GeListNode* down_ = nullptr;
  GeListHead* head_ = nullptr;
  std::unique_ptr<NodeData> data_;
};

/// A node with a name, a parameter container and bits.
class BaseList2D : public GeListNode {
 public:
  String GetName() const { return name_; }
  void SetName(const String& name) { name_ = name; }
  /// A copy of the parameter container.
  BaseContainer GetData() const { return data_; }
  /// Merges (`add`) or replaces the parameter container.
  void SetData(const BaseContainer& bc, Bool add = TRUE);
  /// The parameter container itself.
  BaseContainer* GetDataInstance() { return &data_; }
  const BaseContainer* GetDataInstance() const { return &data_; }
  Bool GetBit(LONG mask) const { return (bits_ & mask) != 0; }
  void SetBit(LONG mask) { bits_ |= mask; }
  void DelBit(LONG mask) { bits_ &= ~mask; }
  LONG GetAllBits() const { return bits_; }
  /// Reads a parameter: the plug-in's `GetDParameter` first, then the container.
  Bool GetParameter(const DescID& id, GeData& value, LONG flags = 0);
  /// Writes a parameter: the plug-in's `SetDParameter` first, then the container.
  Bool SetParameter(const DescID& id, const GeData& value, LONG flags = 0);
  /// Builds the node's description: the plug-in's `GetDDescription`, or the description resource
  /// of the node's type when the plug-in declines or loads none. False when there is none.
  Bool GetDescription(Description* description, LONG flags = 0);

  /// The layer the node is assigned to, when that layer lies in `doc`; else null.
  LayerObject* GetLayerObject(BaseDocument* doc) const;
  /// Assigns the node to `layer` (null: to none).
  Bool SetLayerObject(LayerObject* layer);
  /// The switches of the node's layer (of the layer itself for a layer) as they apply, a switch
  /// that a parent layer has off being off; with `rawdata` the layer's own switches. Null when the
  /// node has no layer in `doc`.
  const LayerData* GetLayerData(BaseDocument* doc, Bool rawdata = FALSE) const;
  /// Sets the own switches of the node's layer (of the layer itself for a layer); false without.
  Bool SetLayerData(BaseDocument* doc, const LayerData& data);
  /// Makes the links to this node lead to `dst` from now on (`dst` loses the links to itself).
  void TransferGoal(BaseList2D* dst, Bool undolink = FALSE);
  /// Inserts `shader` among the node's shaders (its children): after `pred`, or first without
  /// one. The node owns the shader from then on.
  void InsertShader(BaseShader* shader, BaseShader* pred = nullptr);

 protected:
  explicit BaseList2D(LONG type) : GeListNode(type) {}
  ~BaseList2D() override;

 private:
  friend std::shared_ptr<host::LinkAnchor> host::AnchorOf(BaseList2D* node);
  String name_;
  BaseContainer data_;
  LONG bits_ = 0;
  std::shared_ptr<host::LinkAnchor> anchor_;
  std::shared_ptr<host::LinkAnchor> layer_;
};

/// A weak link to a node: it reads back as null once the node is freed, and resolves only inside
/// the node's own document.
class BaseLink {
 public:
  static BaseLink* Alloc() { return new BaseLink; }
  static void Free(BaseLink*& link) {
    delete link;
    link = nullptr;
  }
  void SetLink(BaseList2D* node) { value_.SetBaseList2D(node); }
  BaseList2D* GetLink(const BaseDocument* doc, LONG instanceof = 0) const {
    return value_.GetLink(doc, instanceof);
  }

 private:
  GeData value_;
};

/// A list of node pointers (not owned).
class AtomArray {
 public:
  static AtomArray* Alloc() { return new AtomArray; }
  static void Free(AtomArray*& a) {
    delete a;
    a = nullptr;
  }
  LONG GetCount() const { return static_cast<LONG>(atoms_.size()); }
  C4DAtom* GetIndex(LONG i) const { return i >= 0 && i < GetCount() ? atoms_[i] : nullptr; }
  Bool Append(C4DAtom* a) {
    atoms_.push_back(a);
    return true;
  }
  /// Index of `a`, or `NOTOK`.
  LONG Find(C4DAtom* a) const;
  Bool Remove(C4DAtom* a);
  void Flush() { atoms_.clear(); }
  /// Keeps only the atoms of `type` (`NOTOK`: any) that are instances of `instance` (`NOTOK`:
  /// any), in their order.
  void FilterObject(LONG type, LONG instance);

 private:
  std::vector<C4DAtom*> atoms_;
};
