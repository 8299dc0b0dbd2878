// Parameter IDs of the instance object.
#pragma once

/// Plug-in ID of the instance object.
constexpr int ID_ORVANEINSTANCE = 1022273;

/// Parameters of the instance object, in its container.
enum {
  INSTANCE_LINK = 10000,          ///< Object link: the object the instance stands for.
  INSTANCE_USE_BOX_SIZE = 10001,  ///< Bool: take the extent from the box parameters.
  INSTANCE_BOX_SIZE = 10003,      ///< Vector: full size of that extent.
  INSTANCE_BOX_CENTER = 10004,    ///< Vector: centre of that extent.
  INSTANCE_RESERVED = 10005,      ///< Bool, set by `Init`; nothing reads it.
  INSTANCE_BOX_GROUP = 10010,     ///< Group holding the extent parameters.
  INSTANCE_DRAW_MODE = 10011,     ///< LONG cycle: viewport style, `INSTANCE_DRAW_*`.
};

/// Values of `INSTANCE_DRAW_MODE`.
enum {
  INSTANCE_DRAW_BOX = 10012,
  INSTANCE_DRAW_WIRE = 10013,
  INSTANCE_DRAW_SHADED = 10014,
};
