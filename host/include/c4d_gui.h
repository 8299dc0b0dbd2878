// Dialogs with gadgets. A modal dialog runs the host's event loop on the calling thread: it fires
// the dialog's timer and delivers the scripted user's keys until the dialog closes.
#pragma once

#include <map>

#include "c4d_gedata.h"

/// Dialog kinds for `GeDialog::Open`.
enum {
  DLG_TYPE_MODAL = 10,          ///< Blocks until closed.
  DLG_TYPE_ASYNC = 20,          ///< Stays open; the caller goes on.
};

/// Message IDs and entries of the host's input message.
enum : LONG {
  BFM_INPUT = 0x6249504E,            ///< Input from a device ('bIPN').
  BFM_INPUT_DEVICE = 0x69706476,     ///< Entry: the device ('ipdv').
  BFM_INPUT_KEYBOARD = 0x6B657962,   ///< Device value: the keyboard ('keyb').
  BFM_INPUT_ASC = 0x6B617363,        ///< Entry: the typed characters ('kasc').
};

/// Kinds of gadgets.
enum class GadgetKind {
  StaticText, Button, CheckBox, EditNumber, Slider, EditText, RadioGroup, RadioButton, Group, ComboBox, ComboEntry
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
  Real min = 0.0, max = 0.0;        ///< Limits of the value.
  Real step = 1.0;                  ///< Step of the arrows.
  LONG format = FORMAT_REAL;        ///< Number format.
  Real sliderMin = 0.0, sliderMax = 0.0;  ///< A slider's range (both 0: the limits).
  bool enabled = true;
  bool visible = true;
  String text;
  LONG parent = 0;  ///< Group or radio group it lies in (0: the dialog).
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
  Bool Open(LONG dlgtype, LONG pluginid, LONG xpos = -1, LONG ypos = -1, LONG defaultw = 0,
            LONG defaulth = 0, LONG subid = 0);
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

  Bool SetTitle(const String& title) { title_ = title; return true; }
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
  /// Every gadget by ID.
  const std::map<LONG, Gadget>& Gadgets() const { return gadgets_; }

 private:
  Bool Add(LONG id, GadgetKind kind, const String& text, GeData value = GeData());
  void RunModalLoop();
  void DeliverKeys(const std::string& keys);
  std::map<LONG, Gadget> gadgets_;
  std::vector<LONG> groups_;
  String title_;
  LONG timerMs_ = 0;
  bool open_ = false;
};
