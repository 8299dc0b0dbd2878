// The "About" command.
#pragma once

#include "c4d.h"

/// The About box: the plug-in's name and version and its credits.
class MyAboutDialog : public GeDialog {
 public:
  /// The texts and the OK button.
  Bool CreateLayout() override;
  /// OK (1) closes the box; every ID answers true.
  Bool Command(LONG id, const BaseContainer& msg) override;
};

/// Shows the About box.
class ShowAbout : public CommandData {
 public:
  /// Opens the About box modal; true when it opened.
  Bool Execute(BaseDocument* doc) override;
};

/// Registers the command under the name of string resource 10005; true without registering
/// when that name is empty.
Bool RegisterMyAbout();
