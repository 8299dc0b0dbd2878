// The attribute page of the plug-in material: the visibility of switches and groups, and which
// constants and texture values a linked shader overrides.
#include "main/helpers.h"
#include "main/lightlayers.h"
#include "material/customorvanematerial.h"
#include "material/materiallayout.h"

namespace MaterialLayout {

namespace {

// The eleven channel and page switches with the group each one shows, in the page's order.
struct SwitchGroup {
  LONG useId;
  LONG groupId;
};
constexpr SwitchGroup kSwitches[] = {
    {MAT_USE_ALPHA, MAT_GROUP_ALPHA},
    {MAT_USE_ALBEDO, MAT_GROUP_ALBEDO},
    {MAT_SHOW_PHONG, MAT_GROUP_PHONG},
    {MAT_SHOW_MEDIUM, MAT_GROUP_MEDIUM},
    {MAT_USE_EXPONENT, MAT_GROUP_EXPONENT},
    {MAT_USE_SIGMA, MAT_GROUP_SIGMA},
    {MAT_USE_BUMP, MAT_GROUP_BUMP},
    {MAT_USE_DISPLACEMENT, MAT_GROUP_DISPLACEMENT},
    {MAT_USE_EMISSION, MAT_GROUP_EMISSION},
    {MAT_SHOW_SPECULAR, MAT_GROUP_SPECULAR},
    {MAT_USE_ABSORPTION_LAYER, MAT_GROUP_ABSORPTION_LAYER},
};

// Bits of the switches above, in the same order.
enum : unsigned {
  kAlpha = 1u << 0,
  kAlbedo = 1u << 1,
  kPhong = 1u << 2,
  kMedium = 1u << 3,
  kExponent = 1u << 4,
  kSigma = 1u << 5,
  kBump = 1u << 6,
  kDisplacement = 1u << 7,
  kEmission = 1u << 8,
  kSpecular = 1u << 9,
  kAbsorptionLayer = 1u << 10,
};

// The switches a material type offers; false for a value that is no type.
bool SwitchesOfType(LONG type, unsigned* shown) {
  const unsigned surface = kAlpha | kBump | kDisplacement | kEmission;
  switch (type) {
    case MAT_TYPE_DIFFUSE:
    case MAT_TYPE_DIFFUSE_TRANSMITTER: *shown = surface | kAlbedo; return true;
    case MAT_TYPE_OREN_NAYAR: *shown = surface | kAlbedo | kSigma; return true;
    case MAT_TYPE_PHONG: *shown = surface | kAlbedo | kPhong | kExponent; return true;
    case MAT_TYPE_SPECULAR: *shown = surface | kMedium | kSpecular | kAbsorptionLayer; return true;
    case MAT_TYPE_GLOSSY_TRANSPARENT: *shown = surface | kMedium | kExponent | kAbsorptionLayer; return true;
    case MAT_TYPE_BLEND:
    case MAT_TYPE_NULL: *shown = kAlpha; return true;
    default: return false;
  }
}

// One spectrum selector with the groups of its five kinds (rgb, blackbody, peak, uniform,
// tabulated).
struct SpectrumGroups {
  LONG selector;
  LONG groups[5];
};
constexpr SpectrumGroups kSpectra[] = {
    {MAT_ABSORPTION_SPECTRUM,
     {MAT_GROUP_ABSORPTION_RGB, MAT_GROUP_ABSORPTION_BLACKBODY, MAT_GROUP_ABSORPTION_PEAK,
      MAT_GROUP_ABSORPTION_UNIFORM, MAT_GROUP_ABSORPTION_TABULATED}},
    {MAT_SCATTERING_SPECTRUM,
     {MAT_GROUP_SCATTERING_RGB, MAT_GROUP_SCATTERING_BLACKBODY, MAT_GROUP_SCATTERING_PEAK,
      MAT_GROUP_SCATTERING_UNIFORM, MAT_GROUP_SCATTERING_TABULATED}},
    {MAT_EMISSION_SPECTRUM,
     {MAT_GROUP_EMISSION_RGB, MAT_GROUP_EMISSION_BLACKBODY, MAT_GROUP_EMISSION_PEAK,
      MAT_GROUP_EMISSION_UNIFORM, MAT_GROUP_EMISSION_TABULATED}},
};

// Sets the hide flag of an entry in the page's numbering; entries the description lacks are
// skipped.
class PageEditor {
 public:
  PageEditor(Description* description, LONG offset) : description_(description), offset_(offset) {}
  void Show(LONG id, bool shown) const { Helpers::HideDescriptionEntry(description_, id + offset_, !shown); }

 private:
  Description* description_;
  LONG offset_;
};

}  // namespace

void Apply(Description* description, const BaseContainer* data, Page page) {
  if (!description || !data) return;
  const bool node = page == Page::kNode;
  const LONG off = node ? NODE_ID_OFFSET : 0;
  const PageEditor edit(description, off);
  auto getBool = [&](LONG id, Bool def) { return data->GetBool(id + off, def) != FALSE; };
  auto getLong = [&](LONG id, LONG def) { return data->GetLong(id + off, def + off) - off; };

  // The switches the type offers, and the second blend partner (or a node's child links).
  const LONG type = getLong(MAT_TYPE, MAT_TYPE_DIFFUSE);
  edit.Show(MAT_BLEND_B, !node && type == MAT_TYPE_BLEND);
  if (node) edit.Show(MAT_BLEND_A, false);
  unsigned shown = 0;
  if (SwitchesOfType(type, &shown)) {
    if (node && type != MAT_TYPE_BLEND) shown &= ~kAlpha;
    for (size_t i = 0; i < sizeof(kSwitches) / sizeof(kSwitches[0]); ++i) {
      edit.Show(kSwitches[i].useId, (shown & (1u << i)) != 0);
    }
  }

  // Each channel group follows its switch, whatever the type; a switch the material does not hold
  // reads as off, as the switch itself shows it.
  for (const SwitchGroup& s : kSwitches) edit.Show(s.groupId, getBool(s.useId, FALSE));

  // Spectrum kinds: the group of the selected kind; an unknown kind leaves all five as they are.
  for (const SpectrumGroups& s : kSpectra) {
    const LONG kind = getLong(s.selector, 0 - off);
    if (kind < MAT_SPECTRUM_RGB || kind > MAT_SPECTRUM_TABULATED) continue;
    for (LONG k = 0; k < 5; ++k) edit.Show(s.groups[k], kind == MAT_SPECTRUM_RGB + k);
  }

  edit.Show(MAT_GROUP_EMISSION_SCALE, getBool(MAT_EMISSION_SCALE, FALSE));
  edit.Show(MAT_IES_PROFILE_FILE, getBool(MAT_USE_IES_PROFILE, FALSE));

  // Medium kinds: any value but dermis, epidermis and (for the material) atmosphere is basic.
  LONG medium = getLong(MAT_MEDIUM_TYPE, MAT_MEDIUM_BASIC);
  if (medium != MAT_MEDIUM_DERMIS && medium != MAT_MEDIUM_EPIDERMIS &&
      (node || medium != MAT_MEDIUM_ATMOSPHERE)) {
    medium = MAT_MEDIUM_BASIC;
  }
  edit.Show(MAT_GROUP_MEDIUM_BASIC, medium == MAT_MEDIUM_BASIC);
  edit.Show(MAT_GROUP_MEDIUM_DERMIS, medium == MAT_MEDIUM_DERMIS);
  edit.Show(MAT_GROUP_MEDIUM_EPIDERMIS, medium == MAT_MEDIUM_EPIDERMIS);
  edit.Show(MAT_GROUP_MEDIUM_ATMOSPHERE, medium == MAT_MEDIUM_ATMOSPHERE);

  // Subsurface scattering; the phase function's group only while it is on.
  if (!getBool(MAT_USE_SUBSURFACE, FALSE)) {
    edit.Show(MAT_GROUP_SUBSURFACE, false);
  } else {
    edit.Show(MAT_GROUP_SUBSURFACE, true);
    edit.Show(MAT_GROUP_HENYEY_GREENSTEIN,
              getLong(MAT_PHASE_FUNCTION, MAT_PHASE_UNIFORM) == MAT_PHASE_HENYEY_GREENSTEIN);
  }

  // Phong: the nk file or, without nk data, the index of refraction unless the albedo is written
  // as specular reflectivity.
  edit.Show(MAT_PHONG_IOR, true);
  if (getBool(MAT_USE_NK, FALSE)) {
    edit.Show(MAT_GROUP_NK_OFF, false);
    edit.Show(MAT_NK_FILE, true);
  } else {
    edit.Show(MAT_GROUP_NK_OFF, true);
    edit.Show(MAT_NK_FILE, false);
    if (getBool(MAT_ALBEDO_IS_SPECULAR, FALSE)) edit.Show(MAT_PHONG_IOR, false);
  }
}

Bool ShaderLinked(const BaseContainer* data, LONG linkId, BaseDocument* doc) {
  return data && data->GetLink(linkId, doc, Xbase) != nullptr;
}

int Enabling(LONG id, const BaseContainer* data, BaseDocument* doc, Page page,
             const std::function<Bool(LONG linkId)>& ovlShaderUsed) {
  const LONG off = page == Page::kNode ? NODE_ID_OFFSET : 0;
  const LONG own = id - off;
  if (own < MAT_EXPONENT || own > MAT_ABSORPTION_LAYER_TEX_C) return -1;
  // Constants greyed out while a shader is linked, and the link that decides it.
  struct Rule {
    LONG first, last, link;
  };
  static const Rule kConstants[] = {
      {MAT_ALBEDO_BRIGHTNESS, MAT_ALBEDO_BRIGHTNESS, MAT_ALBEDO_SHADER},
      {MAT_ALBEDO_COLOR, MAT_ALBEDO_GAMMA, MAT_ALBEDO_SHADER},
      {MAT_EXPONENT, MAT_EXPONENT, MAT_EXPONENT_SHADER},
      {MAT_SIGMA, MAT_SIGMA, MAT_SIGMA_SHADER},
      {MAT_ALPHA_VALUE, MAT_ALPHA_VALUE, MAT_ALPHA_SHADER},
      {MAT_ABSORPTION_LAYER_COLOR, MAT_ABSORPTION_LAYER_GAMMA, MAT_ABSORPTION_LAYER_SHADER},
  };
  static const Rule kTextureValues[] = {
      {MAT_ALPHA_TEX_EXPONENT, MAT_ALPHA_TEX_C, MAT_ALPHA_SHADER},
      {MAT_EMISSION_TEX_EXPONENT, MAT_EMISSION_TEX_C, MAT_EMISSION_SHADER},
      {MAT_BUMP_TEX_EXPONENT, MAT_BUMP_TEX_C, MAT_BUMP_SHADER},
      {MAT_DISPLACEMENT_TEX_EXPONENT, MAT_DISPLACEMENT_TEX_C, MAT_DISPLACEMENT_SHADER},
      {MAT_ALBEDO_TEX_EXPONENT, MAT_ALBEDO_TEX_C, MAT_ALBEDO_SHADER},
      {MAT_EXPONENT_TEX_EXPONENT, MAT_EXPONENT_TEX_C, MAT_EXPONENT_SHADER},
      {MAT_SIGMA_TEX_EXPONENT, MAT_SIGMA_TEX_C, MAT_SIGMA_SHADER},
      {MAT_ABSORPTION_LAYER_TEX_EXPONENT, MAT_ABSORPTION_LAYER_TEX_C, MAT_ABSORPTION_LAYER_SHADER},
  };
  for (const Rule& r : kConstants) {
    if (own >= r.first && own <= r.last) return ShaderLinked(data, r.link + off, doc) ? 0 : 1;
  }
  if (own == MAT_STEP_BLEND) return ShaderLinked(data, MAT_ALPHA_SHADER + off, doc) ? 1 : 0;
  for (const Rule& r : kTextureValues) {
    if (own >= r.first && own <= r.last) return ovlShaderUsed(r.link + off) ? 1 : 0;
  }
  return -1;
}

}  // namespace MaterialLayout

Bool CustomOrvaneMaterial::GetDDescription(GeListNode* node, Description* description, LONG& flags) {
  if (!node || !description || !description->LoadDescription(ID_CUSTOMORVANEMATERIAL)) return false;
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  // Without a document there are no light-layer names to offer; the page is laid out all the same.
  if (BaseDocument* doc = node->GetDocument()) {
    if (!Helpers::AddLightLayerContainer(description, data, MAT_LIGHT_LAYER, doc)) return false;
  }
  MaterialLayout::Apply(description, data, MaterialLayout::Page::kMaterial);
  flags |= DESCFLAGS_DESC_LOADED;
  return true;
}

Bool CustomOrvaneMaterial::GetDEnabling(GeListNode* node, const DescID& id, const GeData& value, LONG flags,
                                        const BaseContainer* itemdesc) {
  if (!node) return false;
  BaseContainer* data = static_cast<BaseList2D*>(node)->GetDataInstance();
  BaseDocument* doc = node->GetDocument();
  const int enabled =
      MaterialLayout::Enabling(id[0].id, data, doc, MaterialLayout::Page::kMaterial,
                               [&](LONG link) { return OvlShaderUsed(data, doc, static_cast<int>(link)); });
  if (enabled >= 0) return enabled != 0;
  return MaterialData::GetDEnabling(node, id, value, flags, itemdesc);
}
