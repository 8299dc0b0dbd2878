// Parameter IDs of the animation tag (description "TAnimationTag").
#pragma once

/// Plug-in ID of the animation tag.
constexpr int ID_ANIMATIONTAG = 1022560;

enum {
  ANIMATIONTAG_VALUE1 = 70001,  ///< LONG, initially 0.
  ANIMATIONTAG_VALUE2 = 70002,  ///< LONG, initially 0.
};
