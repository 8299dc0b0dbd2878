// Dialogs and the modal event loop.
#include "c4d_gui.h"

#include <algorithm>
#include <limits>
#include <locale>
#include <map>
#include <sstream>

#include "host_clock.h"
#include "host_control.h"
#include "host_state.h"
#include "host_user.h"
#include "thread_ends.h"

GeDialog::~GeDialog() = default;

Bool GeDialog::Open(LONG dlgtype, LONG /*pluginid*/, LONG, LONG, LONG, LONG, LONG) {
  gadgets_.clear();
  layout_.clear();
  areas_.clear();
  groups_.clear();
  timerMs_ = 0;
  // Threads that end from here on, the ones the dialog starts included, run its timer at once.
  const unsigned long threadsEnded = host::ThreadEnds::Count();
  if (!CreateLayout()) return false;
  open_ = true;
  if (!InitValues()) {
    open_ = false;
    DestroyWindow();
    return false;
  }
  if (dlgtype == DLG_TYPE_MODAL) RunModalLoop(threadsEnded);
  return true;
}

Bool GeDialog::Close() {
  if (!open_) return false;
  open_ = false;
  DestroyWindow();
  return true;
}

void GeDialog::RunModalLoop(unsigned long threadsEnded) {
  // How often an idle dialog may refuse to close before the host closes it anyway.
  constexpr int kMaxIdleRefusals = 100;
  host::user::OpenedDialog opened{host::ToUtf8(title_), {}, LayoutLines()};
  for (const auto& [id, text] : StaticTexts()) opened.texts.push_back(host::ToUtf8(text));
  host::user::DialogOpened(std::move(opened));
  host::Clock& clock = host::CurrentClock();
  double lastTimer = clock.NowMs();
  int idleRefusals = 0;
  while (open_) {
    host::user::DialogAction action;
    if (host::user::TakeDialogAction(&action)) {
      idleRefusals = 0;
      if (!ApplyAction(action.button, action.id, action.value)) host::user::CancelLast();
      continue;
    }
    std::string keys;
    if (host::user::TakeKeys(&keys)) {
      idleRefusals = 0;
      DeliverKeys(keys);
      continue;
    }
    if (timerMs_ > 0) {
      idleRefusals = 0;
      double now = clock.NowMs();
      double due = lastTimer + timerMs_;
      // A timer usually polls a thread: once one has ended, it runs without waiting for its tick.
      if (now < due && host::ThreadEnds::Count() == threadsEnded) {
        const double wait = std::min(due - now, 10.0);
        if (host::RealClockInUse())
          host::ThreadEnds::WaitPast(threadsEnded, wait);
        else
          clock.SleepMs(wait);
        continue;
      }
      threadsEnded = host::ThreadEnds::Count();
      lastTimer = now;
      Timer(BaseContainer());
      continue;
    }
    // Nothing scheduled and nothing typed: the user closes the window, as a person would. A
    // dialog that keeps refusing while nothing is left to change its mind is closed all the same.
    if (!AskClose() || ++idleRefusals >= kMaxIdleRefusals) {
      Close();
    } else {
      clock.SleepMs(10);
    }
  }
}

void GeDialog::DeliverKeys(const std::string& keys) {
  // One message per typed character, not per byte of its UTF-8 text.
  const String typed(keys);
  for (LONG i = 0; i < typed.GetLength(); ++i) {
    if (!open_) return;
    BaseContainer msg(BFM_INPUT);
    msg.SetLong(BFM_INPUT_DEVICE, BFM_INPUT_KEYBOARD);
    msg.SetString(BFM_INPUT_ASC, typed.SubStr(i, 1));
    BaseContainer result;
    Message(msg, result);
  }
}

namespace {

// Reads all of `text` as a number in the classic locale.
template <typename T>
bool ParseNumber(const std::string& text, T* value) {
  std::istringstream in(text);
  in.imbue(std::locale::classic());
  in >> *value;
  return !text.empty() && in && in.peek() == std::char_traits<char>::eof();
}

// A number as the dialog shows it: in the classic locale, whole numbers without a fraction.
std::string NumberText(Real r) {
  std::ostringstream out;
  out.imbue(std::locale::classic());
  out.precision(15);
  out << r;
  return out.str();
}

// What a number field takes, in words: "from 1 to 2147483647". Both limits are said, even the end
// of a whole number's range: a value past it is refused too, and the text must say why.
std::string LimitsText(const Gadget& g) { return "from " + NumberText(g.min) + " to " + NumberText(g.max); }

// The text a person reads beside the field `id`: the static text just before it in its group.
std::string FieldLabel(const std::vector<std::pair<LONG, Gadget>>& layout, LONG id) {
  for (size_t i = 1; i < layout.size(); ++i) {
    const Gadget& before = layout[i - 1].second;
    if (layout[i].first == id && before.kind == GadgetKind::StaticText &&
        before.parent == layout[i].second.parent)
      return host::ToUtf8(before.value.GetString());
  }
  return "";
}

}  // namespace

bool GeDialog::ApplyAction(bool button, LONG id, const std::string& value) {
  // An answer the dialog cannot take is refused with what it takes, as a person sees the field refuse
  // it: nothing after it runs.
  const std::string answer =
      button ? "button:" + std::to_string(id) : "gadget:" + std::to_string(id) + "=" + value;
  auto it = gadgets_.find(id);
  if (it == gadgets_.end()) {
    host::user::RefuseLast(answer + ": the dialog \"" + host::ToUtf8(title_) + "\" has no " +
                           (button ? "button " : "gadget ") + std::to_string(id));
    return false;
  }
  Gadget& g = it->second;
  const bool limited = g.min < g.max;
  // A check box or a button carries its own text; a field is labelled by the text before it.
  const std::string label = g.kind == GadgetKind::CheckBox || g.kind == GadgetKind::Button
                                ? host::ToUtf8(g.text)
                                : FieldLabel(layout_, id);
  const std::string named = (label.empty() ? "" : label + " ") + "[gadget " + std::to_string(id) + "]";
  auto refuseWith = [&](const std::string& why) {
    host::user::RefuseLast(named + " " + why);
    return false;
  };
  // A number outside the field's limits is refused, as the field refuses it when typed.
  auto refuse = [&] { return refuseWith("takes " + LimitsText(g) + ", not " + value); };
  // One that is disabled or hidden takes nothing, as a person's click there does nothing: cancelled.
  if (!g.enabled || !g.visible) return false;
  if (button) {
    if (g.kind != GadgetKind::Button)
      return refuseWith("is no button: answer gadget:" + std::to_string(id) + "=VALUE");
  } else if (g.kind == GadgetKind::Button) {
    return refuseWith("is a button: answer button:" + std::to_string(id));
  } else if (g.kind == GadgetKind::CheckBox) {
    if (value != "1" && value != "0") return refuseWith("takes 1 or 0, not " + value);
    g.value = GeData(value == "1");
  } else if (g.kind == GadgetKind::EditText) {
    g.value = GeData(String(value));
  } else if ((g.kind == GadgetKind::EditNumber || g.kind == GadgetKind::Slider) &&
             g.value.GetType() == DA_REAL) {
    Real r = 0.0;
    if (!ParseNumber(value, &r))
      return refuseWith("takes a number" + (limited ? " " + LimitsText(g) : "") + ", not " + value);
    if (limited && (r < g.min || r > g.max)) return refuse();
    g.value = GeData(r);
  } else if (g.kind == GadgetKind::EditNumber || g.kind == GadgetKind::Slider ||
             g.kind == GadgetKind::RadioGroup || g.kind == GadgetKind::ComboBox) {
    const std::string whole = std::string("takes a whole number ") +
                              (limited ? LimitsText(g)
                                       : "from " + std::to_string(std::numeric_limits<LONG>::min()) + " to " +
                                             std::to_string(std::numeric_limits<LONG>::max())) +
                              ", not " + value;
    long long l = 0;
    if (!ParseNumber(value, &l)) {
      // Digits too many for any whole number are past the field's limits as well.
      const size_t sign = value.rfind('-', 0) == 0 ? 1 : 0;
      const bool digits =
          value.size() > sign && value.find_first_not_of("0123456789", sign) == std::string::npos;
      return limited && digits ? refuse() : refuseWith(whole);
    }
    if (limited && (l < g.min || l > g.max)) return refuse();
    if (l < std::numeric_limits<LONG>::min() || l > std::numeric_limits<LONG>::max())
      return refuseWith(whole);
    g.value = GeData(static_cast<LONG>(l));
  } else {
    return refuseWith("takes no answer");
  }
  host::user::ConfirmLast();
  BaseContainer msg(BFM_ACTION);
  Command(id, msg);
  return true;
}

namespace {

// A field that takes its label from the static text just before it.
bool IsField(GadgetKind kind) {
  return kind == GadgetKind::EditNumber || kind == GadgetKind::Slider || kind == GadgetKind::EditText ||
         kind == GadgetKind::RadioGroup || kind == GadgetKind::ComboBox;
}

// A gadget's value as an answer gives it: a check box 1 or 0, a number in the classic locale, a
// text in quotes, a choice by its entry's ID.
std::string ValueText(const Gadget& g) {
  if (g.kind == GadgetKind::CheckBox) return g.value.GetBool() ? "1" : "0";
  if (g.kind == GadgetKind::EditText) return "\"" + host::ToUtf8(g.value.GetString()) + "\"";
  if (g.value.GetType() != DA_REAL) return std::to_string(g.value.GetLong());
  return NumberText(g.value.GetReal());
}

const char* KindText(GadgetKind kind) {
  switch (kind) {
    case GadgetKind::CheckBox: return "check box";
    case GadgetKind::EditNumber: return "number";
    case GadgetKind::Slider: return "slider";
    case GadgetKind::EditText: return "text";
    default: return "choice";
  }
}

}  // namespace

std::vector<std::string> GeDialog::LayoutLines() const {
  // The entries of radio groups and combo boxes, shown with the gadget they belong to.
  std::map<LONG, std::string> choices;
  for (const auto& [id, g] : layout_) {
    if (g.kind != GadgetKind::RadioButton && g.kind != GadgetKind::ComboEntry) continue;
    std::string& list = choices[g.parent];
    list += (list.empty() ? ": " : ", ") + std::to_string(id) + " " + host::ToUtf8(g.text);
  }
  std::map<LONG, std::string> indentOf;  // of a group's content, by the group's ID
  std::vector<std::string> lines;
  std::string label;
  for (size_t i = 0; i < layout_.size(); ++i) {
    const auto& [id, added] = layout_[i];
    const Gadget* live = FindGadget(id);
    if (!live) continue;
    const auto parentIndent = indentOf.find(added.parent);
    const std::string indent = parentIndent == indentOf.end() ? std::string() : parentIndent->second;
    const std::string text = host::ToUtf8(added.text);
    std::string state;
    if (!live->enabled) state += ", disabled";
    if (!live->visible) state += ", hidden";
    switch (added.kind) {
      case GadgetKind::StaticText: {
        const std::string shown = host::ToUtf8(added.value.GetString());
        // A text just before a field in the same group is that field's label.
        if (i + 1 < layout_.size() && IsField(layout_[i + 1].second.kind) &&
            layout_[i + 1].second.parent == added.parent)
          label = shown;
        else
          lines.push_back(indent + shown);
        continue;
      }
      case GadgetKind::Group:
        indentOf[id] = text.empty() ? indent : indent + "  ";
        if (!text.empty()) lines.push_back(indent + text + ":");
        continue;
      case GadgetKind::Button:
        lines.push_back(indent + text + " [button " + std::to_string(id) + state + "]");
        continue;
      case GadgetKind::UserArea:
        lines.push_back(indent + (text.empty() ? "" : text + " ") + "[area " + std::to_string(id) + "]");
        continue;
      case GadgetKind::CheckBox: label = text; break;
      case GadgetKind::Separator:
      case GadgetKind::RadioButton:
      case GadgetKind::ComboEntry: continue;
      default: break;
    }
    lines.push_back(indent + (label.empty() ? "" : label + " ") + "[gadget " + std::to_string(id) + ", " +
                    KindText(added.kind) + choices[id] + state + "] = " + ValueText(*live));
    label.clear();
  }
  return lines;
}

Bool GeDialog::Command(LONG, const BaseContainer&) { return true; }
Bool GeDialog::RestoreLayout(LONG, LONG, void*) { return true; }
void GeDialog::Timer(const BaseContainer&) {}
LONG GeDialog::Message(const BaseContainer&, BaseContainer&) { return 0; }
Bool GeDialog::CoreMessage(LONG, const BaseContainer&) { return true; }

Bool GeDialog::Add(LONG id, GadgetKind kind, const String& text, GeData value) {
  Gadget g;
  g.kind = kind;
  g.text = text;
  g.value = std::move(value);
  g.parent = groups_.empty() ? 0 : groups_.back();
  layout_.emplace_back(id, g);
  gadgets_[id] = std::move(g);
  return true;
}

std::vector<std::pair<LONG, String>> GeDialog::StaticTexts() const {
  std::vector<std::pair<LONG, String>> texts;
  for (const auto& [id, gadget] : layout_)
    if (gadget.kind == GadgetKind::StaticText) texts.emplace_back(id, gadget.value.GetString());
  return texts;
}

Bool GeDialog::AddStaticText(LONG id, LONG, LONG, LONG, const String& text, LONG) {
  return Add(id, GadgetKind::StaticText, text, GeData(text));
}
Bool GeDialog::AddButton(LONG id, LONG, LONG, LONG, const String& text) {
  return Add(id, GadgetKind::Button, text);
}
Bool GeDialog::AddCheckbox(LONG id, LONG, LONG, LONG, const String& text) {
  return Add(id, GadgetKind::CheckBox, text, GeData(false));
}
Bool GeDialog::AddEditNumberArrows(LONG id, LONG, LONG, LONG) {
  return Add(id, GadgetKind::EditNumber, String(), GeData(0.0));
}
Bool GeDialog::AddEditSlider(LONG id, LONG, LONG, LONG) {
  return Add(id, GadgetKind::Slider, String(), GeData(0.0));
}
Bool GeDialog::AddEditText(LONG id, LONG, LONG, LONG) {
  return Add(id, GadgetKind::EditText, String(), GeData(String()));
}
Bool GeDialog::AddRadioGroup(LONG id, LONG, LONG, LONG) {
  return Add(id, GadgetKind::RadioGroup, String(), GeData(LONG(0)));
}
Bool GeDialog::AddComboBox(LONG id, LONG, LONG, LONG) {
  return Add(id, GadgetKind::ComboBox, String(), GeData(LONG(0)));
}
Bool GeDialog::AddChild(LONG groupid, LONG childid, const String& text) {
  auto parent = gadgets_.find(groupid);
  if (parent == gadgets_.end()) return false;
  Gadget g;
  g.kind = parent->second.kind == GadgetKind::ComboBox ? GadgetKind::ComboEntry : GadgetKind::RadioButton;
  g.text = text;
  g.parent = groupid;
  layout_.emplace_back(childid, g);
  gadgets_[childid] = std::move(g);
  return true;
}
Bool GeDialog::GroupBegin(LONG id, LONG, LONG, LONG, const String& title, LONG) {
  Add(id, GadgetKind::Group, title);
  groups_.push_back(id);
  return true;
}
Bool GeDialog::GroupEnd() {
  if (groups_.empty()) return false;
  groups_.pop_back();
  return true;
}

Bool GeDialog::SetLong(LONG id, LONG value, LONG min, LONG max) {
  auto it = gadgets_.find(id);
  if (it == gadgets_.end()) return false;
  it->second.value = GeData(std::clamp(value, min, max));
  it->second.min = min;
  it->second.max = max;
  return true;
}

Bool GeDialog::SetReal(LONG id, Real value, Real min, Real max, Real step, LONG format, Real min2,
                       Real max2) {
  auto it = gadgets_.find(id);
  if (it == gadgets_.end() || min > max) return false;
  it->second.value = GeData(std::clamp(value, min, max));
  it->second.min = min;
  it->second.max = max;
  it->second.step = step;
  it->second.format = format;
  it->second.sliderMin = min2;
  it->second.sliderMax = max2;
  return true;
}

Bool GeDialog::SetBool(LONG id, Bool value) {
  auto it = gadgets_.find(id);
  if (it == gadgets_.end()) return false;
  it->second.value = GeData(value);
  return true;
}

Bool GeDialog::SetString(LONG id, const String& value) {
  auto it = gadgets_.find(id);
  if (it == gadgets_.end()) return false;
  it->second.value = GeData(value);
  // Static texts that share the ID all show the new text.
  for (auto& [textId, text] : layout_)
    if (textId == id && text.kind == GadgetKind::StaticText) text.value = GeData(value);
  return true;
}

Bool GeDialog::GetLong(LONG id, LONG& value) const {
  const Gadget* g = FindGadget(id);
  if (!g) return false;
  value = g->value.GetLong();
  return true;
}

Bool GeDialog::GetReal(LONG id, Real& value) const {
  const Gadget* g = FindGadget(id);
  if (!g) return false;
  value = g->value.GetReal();
  return true;
}

Bool GeDialog::GetBool(LONG id, Bool& value) const {
  const Gadget* g = FindGadget(id);
  if (!g) return false;
  value = g->value.GetBool();
  return true;
}

Bool GeDialog::GetString(LONG id, String& value) const {
  const Gadget* g = FindGadget(id);
  if (!g) return false;
  value = g->value.GetString();
  return true;
}

Bool GeDialog::Enable(LONG id, Bool enabled) {
  auto it = gadgets_.find(id);
  if (it == gadgets_.end()) return false;
  it->second.enabled = enabled;
  return true;
}

Bool GeDialog::HideElement(LONG id, Bool hide) {
  auto it = gadgets_.find(id);
  if (it == gadgets_.end()) return false;
  it->second.visible = !hide;
  return true;
}

const Gadget* GeDialog::FindGadget(LONG id) const {
  auto it = gadgets_.find(id);
  return it == gadgets_.end() ? nullptr : &it->second;
}
