// The attribute page of the plug-in material (and of the node shader, whose parameter set is the
// material's with every ID raised by `NODE_ID_OFFSET`): which switches, groups and sub-groups of
// the description are shown for the material's current values, and which values can be edited
// while shaders are linked.
#pragma once

#include <functional>

#include "c4d.h"

namespace MaterialLayout {

/// Description-only entries of the page: groups shown and hidden by the material's values.
enum {
  MAT_GROUP_ALPHA = 6013,
  MAT_GROUP_ALBEDO = 6015,
  MAT_GROUP_PHONG = 6016,
  MAT_GROUP_BUMP = 6017,
  MAT_GROUP_DISPLACEMENT = 6018,
  MAT_GROUP_EMISSION = 6019,
  MAT_GROUP_EXPONENT = 6020,
  MAT_GROUP_SIGMA = 6021,
  MAT_GROUP_MEDIUM = 6022,
  MAT_GROUP_SPECULAR = 6023,
  MAT_GROUP_ABSORPTION_LAYER = 6279,
  MAT_GROUP_ABSORPTION_RGB = 6211,
  MAT_GROUP_ABSORPTION_BLACKBODY = 6212,
  MAT_GROUP_ABSORPTION_PEAK = 6213,
  MAT_GROUP_ABSORPTION_UNIFORM = 6214,
  MAT_GROUP_ABSORPTION_TABULATED = 6215,
  MAT_GROUP_SCATTERING_RGB = 6218,
  MAT_GROUP_SCATTERING_BLACKBODY = 6219,
  MAT_GROUP_SCATTERING_PEAK = 6220,
  MAT_GROUP_SCATTERING_UNIFORM = 6221,
  MAT_GROUP_SCATTERING_TABULATED = 6222,
  MAT_GROUP_EMISSION_RGB = 6058,
  MAT_GROUP_EMISSION_BLACKBODY = 6059,
  MAT_GROUP_EMISSION_PEAK = 6239,
  MAT_GROUP_EMISSION_UNIFORM = 6238,
  MAT_GROUP_EMISSION_TABULATED = 6240,
  MAT_GROUP_EMISSION_SCALE = 6082,
  MAT_GROUP_MEDIUM_BASIC = 6123,
  MAT_GROUP_MEDIUM_DERMIS = 6124,
  MAT_GROUP_MEDIUM_EPIDERMIS = 6125,
  MAT_GROUP_MEDIUM_ATMOSPHERE = 6286,
  MAT_GROUP_SUBSURFACE = 6132,
  MAT_GROUP_HENYEY_GREENSTEIN = 6143,
  MAT_GROUP_NK_OFF = 6146,
};

/// Which page is laid out: the plug-in material's, or a node shader's (IDs and values raised by
/// `NODE_ID_OFFSET`, child links always hidden, the alpha switch only for blend nodes, no
/// atmosphere medium).
enum class Page { kMaterial, kNode };

/// Shows and hides the entries of a loaded `description` for the values of `data` (nothing
/// without either). Channel switches that `data` lacks read as off.
void Apply(Description* description, const BaseContainer* data, Page page);

/// Whether the parameter `id` (first level, in the page's numbering) can be edited: 1 or 0 for
/// the constants and texture values that a linked shader overrides, -1 for every parameter the
/// page leaves to the host. `ovlShaderUsed` answers, for a link ID, whether a shader that is
/// exported as a texture is linked there.
int Enabling(LONG id, const BaseContainer* data, BaseDocument* doc, Page page,
             const std::function<Bool(LONG linkId)>& ovlShaderUsed);

/// True when a shader (of any kind) is linked under `linkId` in `data` and lies in `doc`.
Bool ShaderLinked(const BaseContainer* data, LONG linkId, BaseDocument* doc);

}  // namespace MaterialLayout
