// Modelling commands that change objects of a document.
#pragma once

#include "c4d_basedocument.h"

/// Modelling commands for `SendModelingCommand`.
enum {
  MCOMMAND_MAKEEDITABLE = 230,  ///< Turns a primitive into the polygon object it describes.
};

/// Which elements a command works on.
enum {
  MODELINGCOMMANDMODE_ALL = 0,  ///< The whole object.
};

/// Flags of a command.
enum {
  MODELINGCOMMANDFLAGS_CREATEUNDO = 1,  ///< Record an undo step (the stand-in keeps no undo).
};

/// What a modelling command works on, and what it made.
struct ModelingCommandData {
  BaseDocument* doc = nullptr;  ///< The document of `op`, or null.
  BaseObject* op = nullptr;     ///< The object the command works on.
  BaseContainer* bc = nullptr;  ///< Settings of the command (make editable reads none).
  LONG mode = MODELINGCOMMANDMODE_ALL;
  LONG flags = 0;
  AtomArray* result = nullptr;  ///< Caller's list, when given, receives the objects made.
};

/// Runs a modelling command; false when it did nothing.
///
/// `MCOMMAND_MAKEEDITABLE` builds the polygon object of a primitive (sphere, cube, disc, plane,
/// cylinder) with the primitive's name, matrix, bits, tags and children. When the primitive lies in
/// `doc`, the polygon object takes its place there, links to the primitive lead to the polygon
/// object from then on, and the primitive is freed. Otherwise the primitive stays as it was and the
/// polygon object, in no document, belongs to the caller (through `result`; without a result list
/// the command refuses). Other objects are refused.
Bool SendModelingCommand(LONG command, ModelingCommandData& data);
