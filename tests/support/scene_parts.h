// Small parts of test scenes that many tests build alike.
#pragma once

#include "c4d.h"

/// A new polygon object of one quad from (-1, -1, 0) to (1, 1, 0), named `name`, in no document.
PolygonObject* NewQuad(const char* name);

/// The settings of the video post `id` of `doc`'s active render data, the video post added when
/// missing.
BaseContainer* VideoPostSettings(BaseDocument* doc, LONG id);
