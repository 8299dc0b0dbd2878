// Parameter IDs of the exit-portal tag (description "TMyExitPortal").
#pragma once

/// Plug-in ID of the exit-portal tag.
constexpr int ID_MYEXITPORTAL = 1021223;

enum {
  /// Bool, initially true: the object is written as an exit portal; off, it gets only its mesh.
  PORTAL_ENABLED = 1100,
};
