// Base classes of plug-in data: what a plug-in derives from to become a command, tag, object,
// material, shader or video post.
#pragma once

#include "c4d_baselist.h"

class BaseBitmap;
class BaseDocument;
class BaseDraw;
class BaseDrawHelp;
class BaseObject;
class BaseShader;
class BaseTag;
class BaseThread;
class BaseVideoPost;
class Description;
class HierarchyHelp;
class BaseMaterial;
struct ChannelData;
struct InitRenderStruct;
struct VideoPostStruct;
class VolumeData;

/// Flags of description callbacks.
enum {
  DESCFLAGS_DESC_LOADED = 2,    ///< `GetDDescription` has loaded the description.
  DESCFLAGS_GET_PARAM_GET = 2,  ///< `GetDParameter` has produced the value.
  DESCFLAGS_SET_PARAM_SET = 2,  ///< `SetDParameter` has stored the value.
};

/// Results of plug-in calculations.
enum {
  EXECUTIONRESULT_OK = 0,  ///< Done.
  EXECUTIONRESULT_OUTOFMEMORY = 1,
  EXECUTIONRESULT_USERBREAK = 6,
};

/// The root of every plug-in data class.
class BaseData {
 public:
  virtual ~BaseData() = default;
};

/// Plug-in data of a node that the host keeps in a document.
class NodeData : public BaseData {
 public:
  /// Sets the defaults of a new node; false makes the allocation fail.
  virtual Bool Init(GeListNode* node);
  /// Called before the node is freed.
  virtual void Free(GeListNode* node);
  /// A message to the node; the answer depends on the message.
  virtual Bool Message(GeListNode* node, LONG type, void* data);
  /// Copies the plug-in's own state to a node's copy.
  virtual Bool CopyTo(NodeData* dest, GeListNode* snode, GeListNode* dnode, LONG flags);
  /// Fills the node's description; false lets the host use its default.
  virtual Bool GetDDescription(GeListNode* node, Description* description, LONG& flags);
  /// Produces a parameter value; false lets the host read the container.
  virtual Bool GetDParameter(GeListNode* node, const DescID& id, GeData& value, LONG& flags);
  /// Whether a parameter can be edited; the default answers true.
  virtual Bool GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                            const BaseContainer* itemdesc);
  /// Stores a parameter value; false lets the host write the container.
  virtual Bool SetDParameter(GeListNode* node, const DescID& id, const GeData& value, LONG& flags);
  /// The node this data belongs to (null before the host attached it to one).
  GeListNode* Get() const { return node_; }

 private:
  friend class GeListNode;
  GeListNode* node_ = nullptr;
};

/// Allocator that the host calls to create the plug-in data of a new node.
typedef NodeData* DataAllocator();

/// Plug-in data of a tag.
class TagData : public NodeData {
 public:
  /// Runs during the document's evaluation; answers an `EXECUTIONRESULT`.
  virtual LONG Execute(BaseTag* tag, BaseDocument* doc, BaseObject* op, BaseThread* bt, LONG priority,
                       LONG flags);
  /// Draws into a view; true when drawn.
  virtual Bool Draw(BaseTag* tag, BaseObject* op, BaseDraw* bd, BaseDrawHelp* bh);
};

/// Plug-in data of an object.
class ObjectData : public NodeData {
 public:
  /// A generator's output: a new object hierarchy that the host owns, or null.
  virtual BaseObject* GetVirtualObjects(BaseObject* op, HierarchyHelp* hh);
  /// The object's extent: centre and half size.
  virtual void GetDimension(BaseObject* op, LVector* mp, LVector* rad);
  /// Draws the object in a view pass; answers a draw result.
  virtual LONG Draw(BaseObject* op, LONG drawpass, BaseDraw* bd, BaseDrawHelp* bh);
};

/// Plug-in data of a material.
class MaterialData : public NodeData {
 public:
  /// What the material needs of the render, as flags (the default: 0, nothing).
  virtual LONG GetRenderInfo(BaseMaterial* mat);
  /// Prepares a render; answers an `INITRENDERRESULT` (the default: `INITRENDERRESULT_OK`).
  virtual LONG InitRender(BaseMaterial* mat, const InitRenderStruct& irs);
  /// Ends a render.
  virtual void FreeRender(BaseMaterial* mat);
  /// Shades one surface sample of the host's renderer (the default leaves `vd` as it is).
  virtual void CalcSurface(BaseMaterial* mat, VolumeData* vd);
  /// Sets the transparency of one surface sample (the default leaves `vd` as it is).
  virtual void CalcTransparency(BaseMaterial* mat, VolumeData* vd);
  /// Draws the material's viewport and preview image into `bmp` at its size; false when it drew
  /// nothing (the default).
  virtual Bool InitGLImage(BaseMaterial* mat, BaseDocument* doc, BaseThread* th, BaseBitmap* bmp,
                           LONG doccolorspace, Bool linearworkflow);
};

/// Plug-in data of a shader.
class ShaderData : public NodeData {
 public:
  /// Prepares sampling; answers an `INITRENDERRESULT` (the default: `INITRENDERRESULT_OK`).
  virtual LONG InitRender(BaseShader* sh, InitRenderStruct* irs);
  /// Ends sampling.
  virtual void FreeRender(BaseShader* sh);
  /// The colour at the point of `cd`, each component nominally 0 to 1 (the default: black).
  virtual LVector Output(BaseShader* sh, ChannelData* cd);
  /// What the shader needs of the render, as flags (the default: 0, nothing).
  virtual LONG GetRenderInfo(BaseShader* sh);
};

/// Plug-in data of a video post.
class VideoPostData : public NodeData {
 public:
  /// Asks the render for extra buffers.
  virtual Bool AllocateBuffers(BaseVideoPost* node, void* render, BaseDocument* doc);
  /// What the video post needs of the render (0: nothing).
  virtual LONG GetRenderInfo(BaseVideoPost* node);
  /// Runs in the phases of a render; answers an `EXECUTIONRESULT`.
  virtual LONG Execute(BaseVideoPost* node, VideoPostStruct* vps);
};

/// A command of the host's menus.
class CommandData : public BaseData {
 public:
  /// Runs the command on the active document.
  virtual Bool Execute(BaseDocument* doc);
  /// Runs a sub-command.
  virtual Bool ExecuteSubID(BaseDocument* doc, LONG subid);
  /// `CMD_ENABLED` when the command can run now, else 0.
  virtual LONG GetState(BaseDocument* doc);
  /// Restores a dialog of the command after the layout was reloaded.
  virtual Bool RestoreLayout(void* secret);
  /// A message to the command.
  virtual Bool Message(LONG type, void* data);
};

/// `CommandData::GetState` answer for an enabled command.
constexpr LONG CMD_ENABLED = 0x40000000;

class CDialog;
struct CUSTOMGUIPLUGIN;

/// A custom interface element type: the host asks it for one dialog per parameter it shows.
class CustomGuiData : public BaseData {
 public:
  /// The element's ID.
  virtual LONG GetId() { return 0; }
  /// A new element dialog for a parameter shown with `settings`, as the host's dialog pointer.
  virtual CDialog* Alloc(const BaseContainer& settings) {
    (void)settings;
    return nullptr;
  }
  /// Frees a dialog of `Alloc`; `userdata` is the plug-in's own dialog object.
  virtual void Free(CDialog* dlg, void* userdata) {
    (void)dlg;
    (void)userdata;
  }
  /// The symbol description resources name the element by.
  virtual const CHAR* GetResourceSym() { return ""; }
  /// The data types the element shows: the count, with `table` pointing at them.
  virtual LONG GetResourceDataType(LONG*& table) {
    table = nullptr;
    return 0;
  }
  /// The host's record of the element's registration (the stand-in keeps none: null).
  CUSTOMGUIPLUGIN* GetPlugin() { return nullptr; }
};
