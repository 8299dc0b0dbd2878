// Stand-in definitions of the material's other parts, so that the medium writer and the
// conversion link and run on their own. Removed when those parts arrive.
#include "material/customorvanematerial.h"

void CustomOrvaneMaterial::SetChannels(BaseContainer* data) {
  if (!data) return;
  switch (data->GetLong(MAT_TYPE, MAT_TYPE_DIFFUSE)) {
    case MAT_TYPE_DIFFUSE:
    case MAT_TYPE_DIFFUSE_TRANSMITTER:
      data->SetBool(MAT_USE_ALBEDO, TRUE);
      data->SetBool(MAT_SHOW_PHONG, FALSE);
      data->SetBool(MAT_SHOW_MEDIUM, FALSE);
      data->SetBool(MAT_USE_EXPONENT, FALSE);
      data->SetBool(MAT_USE_SIGMA, FALSE);
      data->SetBool(MAT_SHOW_SPECULAR, FALSE);
      break;
    case MAT_TYPE_OREN_NAYAR:
      data->SetBool(MAT_USE_ALBEDO, TRUE);
      data->SetBool(MAT_SHOW_PHONG, FALSE);
      data->SetBool(MAT_SHOW_MEDIUM, FALSE);
      data->SetBool(MAT_USE_EXPONENT, FALSE);
      data->SetBool(MAT_USE_SIGMA, TRUE);
      data->SetBool(MAT_SHOW_SPECULAR, FALSE);
      break;
    case MAT_TYPE_PHONG:
      data->SetBool(MAT_USE_ALBEDO, TRUE);
      data->SetBool(MAT_SHOW_PHONG, TRUE);
      data->SetBool(MAT_SHOW_MEDIUM, FALSE);
      data->SetBool(MAT_USE_EXPONENT, TRUE);
      data->SetBool(MAT_USE_SIGMA, FALSE);
      data->SetBool(MAT_SHOW_SPECULAR, FALSE);
      break;
    case MAT_TYPE_SPECULAR:
      data->SetBool(MAT_USE_ALBEDO, FALSE);
      data->SetBool(MAT_SHOW_PHONG, FALSE);
      data->SetBool(MAT_SHOW_MEDIUM, TRUE);
      data->SetBool(MAT_USE_EXPONENT, FALSE);
      data->SetBool(MAT_USE_SIGMA, FALSE);
      data->SetBool(MAT_SHOW_SPECULAR, TRUE);
      break;
    case MAT_TYPE_GLOSSY_TRANSPARENT:
      data->SetBool(MAT_USE_ALBEDO, FALSE);
      data->SetBool(MAT_SHOW_PHONG, FALSE);
      data->SetBool(MAT_SHOW_MEDIUM, TRUE);
      data->SetBool(MAT_USE_EXPONENT, TRUE);
      data->SetBool(MAT_USE_SIGMA, FALSE);
      data->SetBool(MAT_SHOW_SPECULAR, FALSE);
      break;
    case MAT_TYPE_BLEND:
    case MAT_TYPE_NULL:
      data->SetBool(MAT_USE_ALPHA, TRUE);
      data->SetBool(MAT_USE_ALBEDO, FALSE);
      data->SetBool(MAT_SHOW_PHONG, FALSE);
      data->SetBool(MAT_SHOW_MEDIUM, FALSE);
      data->SetBool(MAT_USE_EXPONENT, FALSE);
      data->SetBool(MAT_USE_SIGMA, FALSE);
      data->SetBool(MAT_USE_BUMP, FALSE);
      data->SetBool(MAT_USE_DISPLACEMENT, FALSE);
      data->SetBool(MAT_USE_EMISSION, FALSE);
      data->SetBool(MAT_SHOW_SPECULAR, FALSE);
      break;
    default:
      break;
  }
}
