// The "New Orvane Material" command.
#pragma once

#include "c4d.h"

/// Creates a new Orvane material in the document.
class NewOrvaneMat : public CommandData {};

/// Registers the command under the name of string resource 10024; true without registering
/// when that name is empty.
Bool RegisterNewOrvaneMat();
