// Dialogs with gadgets. A modal dialog runs the host's event loop on the calling thread: it fires
// the dialog's timer and delivers the scripted user's keys until the dialog closes.
#pragma once

#include <map>
#include <memory>
#include <vector>

#include "c4d_gedata.h"

class BaseBitmap;
class BaseCustomGui;
class GeUserArea;

/// Dialog kinds for `GeDialog::Open`.
enum {
  DLG_TYPE_MODAL = 10,  ///< Blocks until closed.
  DLG_TYPE_ASYNC = 20,  ///< Stays open; the caller goes on.
};

/// Message IDs and entries of the host's input message.
enum : LONG {
  BFM_INPUT = 0x6249504E,           ///< Input from a device ('bIPN').
  BFM_INPUT_DEVICE = 0x69706476,    ///< Entry: the device ('ipdv').
  BFM_INPUT_KEYBOARD = 0x6B657962,  ///< Device value: the keyboard ('keyb').
  BFM_INPUT_ASC = 0x6B617363,       ///< Entry: the typed characters ('kasc').
  BFM_INPUT_MOUSE = 0x6D6F7573,     ///< Device value: the mouse ('mous').
  BFM_INPUT_CHANNEL = 0x6368616E,   ///< Entry: the button ('chan').
  BFM_INPUT_MOUSELEFT = 1,          ///< Channel value: the left button.
  BFM_INPUT_MOUSERIGHT = 2,         ///< Channel value: the right button.
  BFM_INPUT_X = 0x6D5F7820,         ///< Entry: x of the mouse in the dialog ('m_x ').
  BFM_INPUT_Y = 0x6D5F7920,         ///< Entry: y of the mouse in the dialog ('m_y ').
  BFM_ACTION = 0x62416374,          ///< A gadget's value changed ('bAct').
};

/// Button groups of `GeDialog::AddDlgGroup`.
enum {
  DLG_OK = 1,      ///< The OK button (gadget 1).
  DLG_CANCEL = 2,  ///< The Cancel button (gadget 2).
};

/// Kinds of gadgets.
enum class GadgetKind {
  StaticText,
  Button,
  CheckBox,
  EditNumber,
  Slider,
  EditText,
  RadioGroup,
  RadioButton,
  Group,
  ComboBox,
  ComboEntry,
  UserArea,
  Separator
};

/// Number formats of real gadgets.
enum {
  FORMAT_REAL = 1,  ///< A plain real number.
  FORMAT_LONG = 2,  ///< A whole number.
};

/// A gadget of a dialog as the host keeps it.
struct Gadget {
  GadgetKind kind = GadgetKind::StaticText;
  GeData value;
  Real min = 0.0, max = 0.0;              ///< Limits of the value.
  Real step = 1.0;                        ///< Step of the arrows.
  LONG format = FORMAT_REAL;              ///< Number format.
  Real sliderMin = 0.0, sliderMax = 0.0;  ///< A slider's range (both 0: the limits).
  bool enabled = true;
  bool visible = true;
  String text;
  LONG parent = 0;                   ///< Group or radio group it lies in (0: the dialog).
  LONG minWidth = 0, minHeight = 0;  ///< Size asked for when added.
};

/// A dialog window: layout, values and callbacks.
class GeDialog {
 public:
  GeDialog() = default;
  virtual ~GeDialog();
  GeDialog(const GeDialog&) = delete;
  GeDialog& operator=(const GeDialog&) = delete;

  /// Opens the dialog. A modal dialog returns when it has closed; the answer is false when the
  /// layout or the values could not be made.
  Bool Open(LONG dlgtype, LONG pluginid, LONG xpos = -1, LONG ypos = -1, LONG defaultw = 0, LONG defaulth = 0,
            LONG subid = 0);
  /// Closes the dialog (the loop of a modal dialog ends).
  Bool Close();
  /// True while the dialog is open.
  Bool IsOpen() const { return open_; }

  /// Builds the gadgets; false makes `Open` fail.
  virtual Bool CreateLayout() { return true; }
  /// Fills in the values after the layout; false makes `Open` fail.
  virtual Bool InitValues() { return true; }
  /// A gadget was used.
  virtual Bool Command(LONG id, const BaseContainer& msg);
  /// The host asks whether the dialog may close: true keeps it open.
  virtual Bool AskClose() { return false; }
  /// Called at the interval set with `SetTimer`.
  virtual void Timer(const BaseContainer& msg);
  /// Every message the dialog receives.
  virtual LONG Message(const BaseContainer& msg, BaseContainer& result);
  /// A message of the host's core.
  virtual Bool CoreMessage(LONG id, const BaseContainer& msg);
  /// Called when the window goes away.
  virtual void DestroyWindow() {}

  /// Reopens the dialog as the host's saved layout had it; the stand-in saves no layouts, so
  /// there is nothing to reopen and the answer is true.
  Bool RestoreLayout(LONG pluginid, LONG subid, void* secret);

  /// Calls `Timer` every `ms` milliseconds (0 stops it).
  void SetTimer(LONG ms) { timerMs_ = ms; }
  LONG GetTimerInterval() const { return timerMs_; }

  Bool SetTitle(const String& title) {
    title_ = title;
    return true;
  }
  String GetTitle() const { return title_; }
  Bool AddStaticText(LONG id, LONG flags, LONG w, LONG h, const String& text, LONG borderstyle);
  Bool AddButton(LONG id, LONG flags, LONG w, LONG h, const String& text);
  Bool AddCheckbox(LONG id, LONG flags, LONG w, LONG h, const String& text);
  Bool AddEditNumberArrows(LONG id, LONG flags, LONG w = 0, LONG h = 0);
  Bool AddEditSlider(LONG id, LONG flags, LONG w = 0, LONG h = 0);
  Bool AddEditText(LONG id, LONG flags, LONG w = 0, LONG h = 0);
  Bool AddRadioGroup(LONG id, LONG flags, LONG columns, LONG rows = 0);
  /// A cycle of entries added with `AddChild`; its value is the chosen entry's ID.
  Bool AddComboBox(LONG id, LONG flags, LONG w = 0, LONG h = 0);
  Bool AddChild(LONG groupid, LONG childid, const String& text);
  Bool GroupBegin(LONG id, LONG flags, LONG cols, LONG rows, const String& title, LONG groupflags);
  Bool GroupEnd();
  /// A horizontal line.
  Bool AddSeparatorH(LONG w, LONG flags = 0);
  /// The host's standard buttons: `DLG_OK` adds button 1 "OK", `DLG_CANCEL` button 2 "Cancel".
  Bool AddDlgGroup(LONG type);
  /// A drawing area of at least `w` x `h` pixels; a `GeUserArea` is attached to it.
  Bool AddUserArea(LONG id, LONG flags, LONG w = 0, LONG h = 0);
  /// Attaches `ua` to the user area `id`: runs its `Init`, sizes it (the larger of the gadget's
  /// size and the area's `GetMinSize`) and tells it with `Sized`. False without such a gadget.
  Bool AttachUserArea(GeUserArea& ua, LONG id, LONG userareaflags = 0);
  /// The area attached to gadget `id`, or null.
  GeUserArea* FindUserArea(LONG id) const;
  /// Adds the custom element `pluginid` (the stand-in knows `CUSTOMGUI_TREEVIEW`) as gadget `id`;
  /// null for an unknown element or a taken ID. The dialog owns it.
  BaseCustomGui* AddCustomGui(LONG id, LONG pluginid, const String& name, LONG flags, LONG minw, LONG minh,
                              const BaseContainer& settings);
  /// The custom element `pluginid` added as gadget `id`, or null.
  BaseCustomGui* FindCustomGui(LONG id, LONG pluginid) const;
  /// Adds the gadgets of the dialog resource `id` ("res/dialogs/<id>.json" under the plug-in's
  /// folder); false when it is missing or unreadable.
  Bool LoadDialogResource(LONG id, BaseContainer* lang = nullptr, LONG flags = 0);
  /// Removes everything inside group `id`; the following gadgets go into it until
  /// `LayoutChanged`.
  Bool LayoutFlushGroup(LONG id);
  /// The content of group `id` was rebuilt.
  Bool LayoutChanged(LONG id);

  Bool SetLong(LONG id, LONG value, LONG min = -2147483647, LONG max = 2147483647);
  /// Sets a real gadget: the value (clamped to `min`..`max`), the arrows' step, the format and,
  /// for a slider, the range the slider covers (`min2`..`max2`; both 0: `min`..`max`).
  Bool SetReal(LONG id, Real value, Real min = -1e300, Real max = 1e300, Real step = 1.0,
               LONG format = FORMAT_REAL, Real min2 = 0.0, Real max2 = 0.0);
  Bool SetBool(LONG id, Bool value);
  Bool SetString(LONG id, const String& value);
  Bool GetLong(LONG id, LONG& value) const;
  Bool GetReal(LONG id, Real& value) const;
  Bool GetBool(LONG id, Bool& value) const;
  Bool GetString(LONG id, String& value) const;
  Bool Enable(LONG id, Bool enabled);
  Bool HideElement(LONG id, Bool hide);
  /// The host's record of a gadget, or null.
  const Gadget* FindGadget(LONG id) const;
  /// Every gadget by ID; of several gadgets under one ID, the last one added.
  const std::map<LONG, Gadget>& Gadgets() const { return gadgets_; }
  /// Every static text in layout order with its ID and text, also several under one ID.
  std::vector<std::pair<LONG, String>> StaticTexts() const;

 private:
  Bool Add(LONG id, GadgetKind kind, const String& text, GeData value = GeData());
  // Runs the dialog until it closes; `threadsEnded`: the count of ended host threads at its opening.
  void RunModalLoop(unsigned long threadsEnded);
  void DeliverKeys(const std::string& keys);
  // The dialog as a person sees it, one line per gadget in layout order: every gadget that can be
  // set or pressed with its ID, kind and value; a group's content indented under its title.
  std::vector<std::string> LayoutLines() const;
  /// Sets gadget `id` to `value` (or presses it, `button`) as a person would and tells `Command`;
  /// false when the dialog has no such enabled gadget of that kind or the value does not fit it.
  bool ApplyAction(bool button, LONG id, const std::string& value);
  std::map<LONG, Gadget> gadgets_;
  // Every gadget as it was added, in layout order, also several under one ID (kind, text and
  // parent stay as added; a static text's value follows `SetString`).
  std::vector<std::pair<LONG, Gadget>> layout_;
  std::map<LONG, GeUserArea*> areas_;
  std::map<LONG, std::shared_ptr<BaseCustomGui>> customs_;
  std::vector<LONG> groups_;
  String title_;
  LONG timerMs_ = 0;
  bool open_ = false;
};

/// A modal dialog whose result is the button it was closed with.
class GeModalDialog : public GeDialog {
 public:
  /// Opens the dialog modal; returns its result (false when the layout or values failed).
  Bool Open(LONG xpos = -1, LONG ypos = -1, LONG defaultw = 0, LONG defaulth = 0);
  /// Closes the dialog with `result`.
  Bool Close(Bool result);
  /// The result of the last `Close`.
  Bool GetResult() const { return result_; }
  /// OK (1) closes with true, Cancel (2) with false.
  Bool Command(LONG id, const BaseContainer& msg) override;

 private:
  Bool result_ = false;
};

/// Interface colours of `GeUserArea::GetColorRGB`.
enum {
  COLOR_BG = 1000,          ///< Background of dialogs.
  COLOR_TEXT_FOCUS = 1007,  ///< Accent: text of the focused element.
};

/// A drawing area inside a dialog. The host draws it off-screen into an image of the area's
/// size, which the host keeps (see `host_userarea.h`).
class GeUserArea {
 public:
  GeUserArea() = default;
  virtual ~GeUserArea();
  GeUserArea(const GeUserArea&) = delete;
  GeUserArea& operator=(const GeUserArea&) = delete;

  /// Called when attached; false is noted but the area stays.
  virtual Bool Init() { return true; }
  /// The smallest size the area wants; false: no wish.
  virtual Bool GetMinSize(LONG& w, LONG& h) {
    (void)w;
    (void)h;
    return false;
  }
  /// The area got its size.
  virtual void Sized(LONG w, LONG h) {
    (void)w;
    (void)h;
  }
  /// Draws the rectangle `x1`,`y1` to `x2`,`y2` (inclusive) of the area.
  virtual void DrawMsg(LONG x1, LONG y1, LONG x2, LONG y2, const BaseContainer& msg);
  /// Input in the area; true when used.
  virtual Bool InputEvent(const BaseContainer& msg) {
    (void)msg;
    return false;
  }

  /// The area's size in pixels.
  LONG GetWidth() const { return width_; }
  LONG GetHeight() const { return height_; }
  /// The dialog the area is attached to, or null.
  GeDialog* GetDialog() const { return dialog_; }
  /// Draws the whole area again (through `DrawMsg`).
  void Redraw(Bool threaded = FALSE);
  /// Draws into an off-screen image shown at the end of `DrawMsg`; true.
  Bool OffScreenOn();
  /// An interface colour as 0..255 components; false for an unknown colour (then black).
  Bool GetColorRGB(LONG colorid, LONG& r, LONG& g, LONG& b) const;
  /// The pen colour, components 0 to 1.
  void DrawSetPen(const LVector& color);
  /// Fills the rectangle (inclusive corners, clipped to the area) with the pen colour.
  void DrawRectangle(LONG x1, LONG y1, LONG x2, LONG y2);
  /// Draws the part `x`,`y`,`w`,`h` of `bmp` into the area at `wx`,`wy` scaled to `ww` x `wh`
  /// (nearest pixel), clipped to the area.
  void DrawBitmap(BaseBitmap* bmp, LONG wx, LONG wy, LONG ww, LONG wh, LONG x, LONG y, LONG w, LONG h,
                  LONG mode = 0);

 private:
  friend class GeDialog;
  friend struct UserAreaHost;
  GeDialog* dialog_ = nullptr;
  LONG width_ = 0;
  LONG height_ = 0;
  bool offscreen_ = false;
  LVector pen_;
  std::vector<unsigned char> canvas_;  // width_ x height_ RGB
};

/// Host meaning of `ShowPopupMenu`: the container's String entries in order are the menu's
/// entries (ID and text); an entry of ID 0 is a separator.
/// Shows a pop-up menu at the screen position; answers the chosen entry's ID, or 0.
LONG ShowPopupMenu(GeDialog* parent, LONG screenx, LONG screeny, const BaseContainer& bc, LONG flags = 0);
/// Opens an image file in the host's picture viewer; false when there is no such file.
Bool ShowBitmap(const Filename& file);
