// Modelling commands.
#pragma once

#include "c4d_baseobject.h"

class BaseDocument;

/// Modelling commands.
enum {
  MCOMMAND_MAKEEDITABLE = 230,  ///< Replaces a generator by the polygon object it generates.
};
/// Modes of a modelling command.
enum { MODELINGCOMMANDMODE_ALL = 0 };
/// Flags of a modelling command.
enum { MODELINGCOMMANDFLAGS_CREATEUNDO = 1 };

/// What a modelling command works on.
struct ModelingCommandData {
  BaseDocument* doc = nullptr;  ///< The document `op` lies in.
  BaseObject* op = nullptr;     ///< The object to work on.
  BaseContainer* bc = nullptr;  ///< Settings of the command.
  LONG mode = MODELINGCOMMANDMODE_ALL;
  LONG flags = 0;
};

/// Runs a modelling command. Make editable replaces a generator lying in `doc` by its generated
/// (deformed, if so) object: the new object takes the generator's place, name, matrix, tags and
/// children, and links to the generator now lead to it; the generator is freed. A polygon object
/// stays as it is. False for an unknown command, an object outside `doc`, or a generator that
/// generates nothing.
Bool SendModelingCommand(LONG command, ModelingCommandData& data);
