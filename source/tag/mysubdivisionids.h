// Parameter IDs of the subdivision tag (description "tSubdivision"). Each becomes a child of the
// object's mesh element.
#pragma once

/// Plug-in ID of the subdivision tag.
constexpr int ID_MYSUBDIVISION = 1022667;

enum {
  SUBDIV_MAX_NUM_SUBDIVISIONS = 1501,          ///< LONG, initially 3.
  SUBDIV_PIXEL_THRESHOLD = 1502,               ///< Real, unset; editable with view dependence on.
  SUBDIV_CURVATURE_THRESHOLD = 1503,           ///< Real, initially 0.1.
  SUBDIV_SMOOTHING = 1504,                     ///< Bool, unset.
  SUBDIV_VIEW_DEPENDENT = 1505,                ///< Bool, unset.
  SUBDIV_DISPLACEMENT_ERROR_THRESHOLD = 1506,  ///< Real, initially 0.0.
  SUBDIV_WRAP_U = 1507,                        ///< Bool, initially false.
  SUBDIV_WRAP_V = 1508,                        ///< Bool, initially false.
};
