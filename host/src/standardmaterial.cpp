// The host's standard material: its parameters with their defaults and its channel states; and
// the shaders that a node owns.
#include "standardmaterial.h"

#include "c4d_basematerial.h"

namespace {

struct StandardMaterial : Material {
  StandardMaterial() : Material(Mmaterial) {}
};

// The channels a new standard material has switched on.
bool ChannelOnByDefault(LONG channel) { return channel == CHANNEL_COLOR || channel == CHANNEL_SPECULAR; }

bool IsChannel(LONG channel) {
  switch (channel) {
    case CHANNEL_COLOR:
    case CHANNEL_LUMINANCE:
    case CHANNEL_TRANSPARENCY:
    case CHANNEL_REFLECTION:
    case CHANNEL_BUMP:
    case CHANNEL_ALPHA:
    case CHANNEL_SPECULAR:
    case CHANNEL_SPECULARCOLOR:
    case CHANNEL_DISPLACEMENT: return true;
    default: return false;
  }
}

}  // namespace

namespace host {

BaseMaterial* AllocStandardMaterial() {
  Material* mat = new StandardMaterial;
  BaseContainer* bc = mat->GetDataInstance();
  for (LONG channel = CHANNEL_COLOR; channel <= CHANNEL_DISPLACEMENT; ++channel) {
    if (IsChannel(channel)) bc->SetBool(MATERIAL_USE_BASE + channel, ChannelOnByDefault(channel));
  }
  bc->SetVector(MATERIAL_COLOR_COLOR, LVector(0.8));
  bc->SetReal(MATERIAL_COLOR_BRIGHTNESS, 1.0);
  bc->SetVector(MATERIAL_LUMINANCE_COLOR, LVector(1.0));
  bc->SetReal(MATERIAL_LUMINANCE_BRIGHTNESS, 1.0);
  bc->SetVector(MATERIAL_TRANSPARENCY_COLOR, LVector(1.0));
  bc->SetReal(MATERIAL_TRANSPARENCY_BRIGHTNESS, 1.0);
  bc->SetReal(MATERIAL_TRANSPARENCY_REFRACTION, 1.0);
  bc->SetReal(MATERIAL_TRANSPARENCY_BLURRINESS, 0.0);
  bc->SetReal(MATERIAL_REFLECTION_BRIGHTNESS, 1.0);
  bc->SetReal(MATERIAL_REFLECTION_BLURRINESS, 0.0);
  bc->SetReal(MATERIAL_SPECULAR_WIDTH, 0.5);
  bc->SetReal(MATERIAL_SPECULAR_HEIGHT, 0.5);
  bc->SetLong(MATERIAL_ILLUMINATION_MODEL, MATERIAL_ILLUMINATION_PHONG);
  bc->SetReal(MATERIAL_BUMP_STRENGTH, 1.0);
  bc->SetReal(MATERIAL_DISPLACEMENT_HEIGHT, 1.0);
  bc->SetBool(MATERIAL_ALPHA_INVERT, FALSE);
  return mat;
}

}  // namespace host

Bool Material::GetChannelState(LONG channel) const {
  if (!IsChannel(channel)) return FALSE;
  return GetDataInstance()->GetBool(MATERIAL_USE_BASE + channel, ChannelOnByDefault(channel));
}

void Material::SetChannelState(LONG channel, Bool on) {
  if (IsChannel(channel)) GetDataInstance()->SetBool(MATERIAL_USE_BASE + channel, on);
}

void BaseList2D::InsertShader(BaseShader* shader, BaseShader* pred) {
  if (!shader || shader == pred) return;
  if (pred && pred->GetUp() == this)
    shader->InsertAfter(pred);
  else
    shader->InsertUnder(this);
}
