// The host's tree view gadget: a dialog element that shows a tree of the plug-in's items through
// its callbacks. The stand-in draws nothing on screen; it answers the lines the tree shows and
// records what the callbacks draw.
#pragma once

#include <string>
#include <vector>

#include "c4d_gedata.h"

class BaseList2D;

/// Custom element ID of the tree view (`GeDialog::AddCustomGui`).
constexpr LONG CUSTOMGUI_TREEVIEW = 1000475;

/// Settings of the tree view gadget.
enum : LONG {
  TREEVIEW_BORDER = 0x62726472,         ///< Border style ('brdr').
  TREEVIEW_HIDE_LINES = 0x7476686C,     ///< No lines between items ('tvhl').
  TREEVIEW_RESIZE_HEADER = 0x74767268,  ///< Columns can be resized ('tvrh').
  TREEVIEW_HAS_HEADER = 0x74766868,     ///< Shows a header row ('tvhh').
  TREEVIEW_NOMULTISELECT = 0x74766E6D,  ///< One selected item at most ('tvnm').
  TREEVIEW_MOVE_COLUMN = 0x74766D63,    ///< Columns can be moved ('tvmc').
};

/// Column types of `TreeViewCustomGui::SetLayout`.
enum : LONG {
  LV_TREE = 0x74726565,  ///< The tree column with the items' names ('tree').
};

/// Interface colours of tree cells.
enum : LONG {
  COLOR_BGEDIT = 999,          ///< Background of editable fields.
  COLOR_TEXT = 1003,           ///< Text.
  COLOR_TEXT_SELECTED = 1157,  ///< Text of a selected item.
};

/// Selection modes of `TreeViewFunctions::Select`.
enum : LONG {
  SELECTION_TREE_NEW = 0,  ///< The item alone becomes selected.
};

/// Where a tree draws one cell: the recorder of its drawing and the cell's rectangle.
struct DrawInfo {
  class TreeViewFrame* frame = nullptr;
  LONG xpos = 0, ypos = 0, width = 0, height = 0;
};

/// What a tree cell draws on. The stand-in records the calls: "DrawSetTextCol <fg> <bg>",
/// "DrawText <text> <x> <y>". Every character is 7 pixels wide and the font 12 pixels high.
class TreeViewFrame {
 public:
  /// The text and background colours of the following text.
  void DrawSetTextCol(LONG fg, LONG bg);
  /// Draws `text` with its top left at `x`, `y`.
  void DrawText(const String& text, LONG x, LONG y);
  /// The width of `text` in pixels.
  LONG DrawGetTextWidth(const String& text) const;
  /// The font height in pixels.
  LONG DrawGetFontHeight() const { return 12; }
  /// The calls so far (host use).
  const std::vector<std::string>& Calls() const { return calls_; }

 private:
  std::vector<std::string> calls_;
};

/// The plug-in's callbacks of a tree view: `root` and `userdata` are what `SetRoot` was given,
/// `obj` an item.
class TreeViewFunctions {
 public:
  virtual ~TreeViewFunctions() = default;
  /// The first top-level item, or null.
  virtual void* GetFirst(void* root, void* userdata) = 0;
  /// The first child of `obj`, or null.
  virtual void* GetDown(void* root, void* userdata, void* obj) = 0;
  /// The item after `obj`, or null.
  virtual void* GetNext(void* root, void* userdata, void* obj) = 0;
  /// The item before `obj`, or null (host default: none).
  virtual void* GetPred(void* root, void* userdata, void* obj) {
    (void)root;
    (void)userdata;
    (void)obj;
    return nullptr;
  }
  /// The width of `obj`'s cell in column `col`.
  virtual LONG GetColumnWidth(void* root, void* userdata, void* obj, LONG col, TreeViewFrame* frame) {
    (void)root;
    (void)userdata;
    (void)obj;
    (void)col;
    (void)frame;
    return 80;
  }
  /// The height of `obj`'s line.
  virtual LONG GetLineHeight(void* root, void* userdata, void* obj, LONG col, TreeViewFrame* frame) {
    (void)root;
    (void)userdata;
    (void)obj;
    (void)col;
    (void)frame;
    return 16;
  }
  /// Draws `obj`'s cell in column `col`.
  virtual void DrawCell(void* root, void* userdata, void* obj, LONG col, DrawInfo* drawinfo,
                        const GeData& bgColor) {
    (void)root;
    (void)userdata;
    (void)obj;
    (void)col;
    (void)drawinfo;
    (void)bgColor;
  }
  /// True when `obj` is selected.
  virtual Bool IsSelected(void* root, void* userdata, void* obj) = 0;
  /// True when `obj`'s children are shown.
  virtual Bool IsOpened(void* root, void* userdata, void* obj) = 0;
  /// The name shown for `obj`.
  virtual String GetName(void* root, void* userdata, void* obj) = 0;
  /// A number that tells `obj` apart.
  virtual VLONG GetId(void* root, void* userdata, void* obj) = 0;
  /// The drag type of `obj` (-1: no dragging).
  virtual LONG GetDragType(void* root, void* userdata, void* obj) = 0;
  /// The user opened or closed `obj`.
  virtual void Open(void* root, void* userdata, void* obj, Bool onoff) = 0;
  /// The user renamed `obj`.
  virtual void SetName(void* root, void* userdata, void* obj, String str) = 0;
  /// The user selected `obj` with `mode`.
  virtual void Select(void* root, void* userdata, void* obj, LONG mode) = 0;
  /// A mouse press on `obj`; true when the callbacks handled it.
  virtual Bool MouseDown(void* root, void* userdata, void* obj, LONG col, const BaseContainer& msg,
                         Bool rightButton) {
    (void)root;
    (void)userdata;
    (void)obj;
    (void)col;
    (void)msg;
    (void)rightButton;
    return false;
  }
};

/// A custom element placed in a dialog with `GeDialog::AddCustomGui`.
class BaseCustomGui {
 public:
  BaseCustomGui(LONG id, const BaseContainer& settings) : id_(id), settings_(settings) {}
  virtual ~BaseCustomGui() = default;
  /// The element's custom element ID.
  LONG GetCustomGuiId() const { return id_; }
  /// The settings it was added with.
  const BaseContainer& GetSettings() const { return settings_; }

 private:
  LONG id_;
  BaseContainer settings_;
};

/// One line a tree view shows (host use).
struct TreeLine {
  int depth = 0;
  std::string name;
  bool selected = false;
  void* item = nullptr;
};

/// The tree view gadget.
class TreeViewCustomGui : public BaseCustomGui {
 public:
  using BaseCustomGui::BaseCustomGui;
  /// Shows the tree of `root` through `functions`.
  Bool SetRoot(void* root, TreeViewFunctions* functions, void* userdata);
  /// The columns: `columns` entries of `layout`, column ID to column type.
  Bool SetLayout(LONG columns, const BaseContainer& layout);
  /// Draws the tree again.
  void Refresh() {}

  // --- Host use ---------------------------------------------------------------------------

  /// The shown lines, depth first, children only under opened items.
  std::vector<TreeLine> Lines() const;
  /// Draws every cell of every line (line height from the callbacks, 12 pixels indent per depth,
  /// cell width from `GetColumnWidth`) and answers the recorded calls.
  std::vector<std::string> Draw() const;
  /// The user clicks line `index`: the callbacks' `Select` with a new selection; false without
  /// such a line.
  Bool Click(int index);
  /// The user renames line `index` to `name`; false without such a line.
  Bool Rename(int index, const String& name);
  /// A mouse press on line `index` with the right or the left button; the callbacks' answer.
  Bool Press(int index, Bool rightButton);
  /// The root of `SetRoot`.
  void* GetRoot() const { return root_; }

 private:
  void Collect(void* obj, int depth, std::vector<TreeLine>& out) const;
  void* root_ = nullptr;
  void* userdata_ = nullptr;
  TreeViewFunctions* functions_ = nullptr;
  std::vector<std::pair<LONG, LONG>> columns_;
};
