// Parameter IDs of the exit-portal tag (description "TMyExitPortal").
#pragma once

enum {
  /// Bool, initially true: the object is written as an exit portal; off, it gets only its mesh.
  PORTAL_ENABLED = 1100,
};
