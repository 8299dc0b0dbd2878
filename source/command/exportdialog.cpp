#include "command/exportdialog.h"

#include "command/ovsexportthread.h"
#include "main/orvanelaunch.h"

namespace {
constexpr LONG kTextGadget = 10001;
constexpr LONG kPollMs = 250;
}  // namespace

ExportDialog::ExportDialog(BaseDocument* doc) : doc_(doc) {}

ExportDialog::~ExportDialog() {
  if (thread_) {
    thread_->Wait(FALSE);
    launched_ = thread_->Launched();
    delete thread_;
    thread_ = nullptr;
  }
}

Bool ExportDialog::CreateLayout() {
  SetTitle("OVS Exporting...");
  AddStaticText(kTextGadget, 0, 400, 100, "Exporting...", 0);
  return true;
}

Bool ExportDialog::InitValues() {
  if (!doc_) return false;
  if (thread_) return true;
  Filename exe;
  if (!Helpers::GetOrvaneExe(&exe, 1, 0)) {
    Helpers::ChooseOrvaneExe();
    if (!Helpers::GetOrvaneExe(&exe, 1, 0)) {
      GePrint("Nothing was exported: the Orvane folder is not known.");
      return false;
    }
  }
  thread_ = new OVSExportThread(doc_);
  thread_->Start(TRUE, 0);
  SetTimer(kPollMs);
  return true;
}

void ExportDialog::Timer(const BaseContainer&) {
  if (!thread_ || thread_->IsRunning()) return;
  launched_ = thread_->Launched();
  delete thread_;
  thread_ = nullptr;
  SetTimer(0);
  Close();
}

Bool ExportDialog::AskClose() { return thread_ && thread_->IsRunning(); }

LONG ExportDialog::Message(const BaseContainer& msg, BaseContainer& result) {
  if (msg.GetId() == BFM_INPUT && msg.GetLong(BFM_INPUT_DEVICE) == BFM_INPUT_KEYBOARD) {
    String typed = msg.GetString(BFM_INPUT_ASC);
    if ((typed == String("x") || typed == String("q")) && !AskClose()) Close();
  }
  return GeDialog::Message(msg, result);
}
