// The type importers: copy one element-model material onto the plug-in material's parameters.
#include <algorithm>
#include <tinyxml.h>

#include "command/importovm.h"
#include "command/importtext.h"
#include "main/helpers.h"
#include "material/materialparams.h"
#include "orvane_utils/OrvaneBlendMaterial.h"
#include "orvane_utils/OrvaneDiffuse.h"
#include "orvane_utils/OrvaneDiffuseTransmitter.h"
#include "orvane_utils/OrvaneGlossyTransparent.h"
#include "orvane_utils/OrvaneOrenNayarMaterial.h"
#include "orvane_utils/OrvanePhongMaterial.h"
#include "orvane_utils/OrvaneSpecularMaterial.h"

using namespace Orvane;

namespace {

// The channels every emitting model has, after its own ones.
template <typename Model>
void ImportCommon(ImportOVM* import, BaseContainer* data, Model* m, BaseMaterial* mat) {
  if (m->bump.getPointer()) import->ImportBump(data, m->bump.getPointer(), m->textures, mat);
  if (m->displacement.getPointer())
    import->ImportDisplacement(data, m->displacement.getPointer(), m->textures, mat);
  data->SetLong(MAT_LIGHT_LAYER, static_cast<LONG>(m->layer));
  if (m->base_emission.getPointer()) import->ImportBaseEmission(data, m->base_emission.getPointer(), mat);
  if (m->emission.getPointer()) import->ImportEmission(data, m->emission.getPointer(), m->textures, mat);
}

}  // namespace

Bool ImportOVM::ImportDiffuse(BaseContainer* data, OrvaneMaterial* model, BaseMaterial* mat) {
  data->SetLong(MAT_TYPE, MAT_TYPE_DIFFUSE);
  OrvaneDiffuse* m = dynamic_cast<OrvaneDiffuse*>(model);
  if (!m) return false;
  if (m->albedo.getPointer()) ImportAlbedo(data, m->albedo.getPointer(), m->textures, mat);
  ImportCommon(this, data, m, mat);
  return true;
}

Bool ImportOVM::ImportOrenNayar(BaseContainer* data, OrvaneMaterial* model, BaseMaterial* mat) {
  data->SetLong(MAT_TYPE, MAT_TYPE_OREN_NAYAR);
  OrvaneOrenNayarMaterial* m = dynamic_cast<OrvaneOrenNayarMaterial*>(model);
  if (!m) return false;
  if (m->albedo.getPointer()) ImportAlbedo(data, m->albedo.getPointer(), m->textures, mat);
  if (m->sigma.getPointer()) ImportSigma(data, m->sigma.getPointer(), m->textures, mat);
  ImportCommon(this, data, m, mat);
  return true;
}

Bool ImportOVM::ImportDiffuseTrans(BaseContainer* data, OrvaneMaterial* model, BaseMaterial* mat) {
  data->SetLong(MAT_TYPE, MAT_TYPE_DIFFUSE_TRANSMITTER);
  OrvaneDiffuseTransmitter* m = dynamic_cast<OrvaneDiffuseTransmitter*>(model);
  if (!m) return false;
  if (m->albedo.getPointer()) ImportAlbedo(data, m->albedo.getPointer(), m->textures, mat);
  ImportCommon(this, data, m, mat);
  return true;
}

Bool ImportOVM::ImportPhong(BaseContainer* data, OrvaneMaterial* model, BaseMaterial* mat) {
  data->SetLong(MAT_TYPE, MAT_TYPE_PHONG);
  OrvanePhongMaterial* m = dynamic_cast<OrvanePhongMaterial*>(model);
  if (!m) return false;
  if (m->diffuse_albedo.getPointer()) ImportAlbedo(data, m->diffuse_albedo.getPointer(), m->textures, mat);
  if (m->specular_reflectivity.getPointer()) {
    data->SetBool(MAT_ALBEDO_IS_SPECULAR, TRUE);
    ImportAlbedo(data, m->specular_reflectivity.getPointer(), m->textures, mat);
  }
  if (m->exponent.getPointer()) ImportExponent(data, m->exponent.getPointer(), m->textures, mat);
  if (!m->nk_data.empty()) {
    data->SetBool(MAT_USE_NK, TRUE);
    data->SetString(MAT_NK_FILE, ImportText(m->nk_data));
  }
  data->SetReal(MAT_PHONG_IOR, m->ior);
  ImportCommon(this, data, m, mat);
  return true;
}

Bool ImportOVM::ImportSpecular(BaseContainer* data, OrvaneMaterial* model, BaseMaterial* mat,
                               TiXmlElement* sceneData) {
  data->SetLong(MAT_TYPE, MAT_TYPE_SPECULAR);
  OrvaneSpecularMaterial* m = dynamic_cast<OrvaneSpecularMaterial*>(model);
  if (!m) return false;
  data->SetBool(MAT_TRANSPARENT, m->transparent ? TRUE : FALSE);
  ImportMedium(data, sceneData, ImportText(m->internal_medium_name));
  ImportCommon(this, data, m, mat);
  if (m->absorption_layer_transmittance.getPointer())
    ImportAbsorptionLayer(data, m->absorption_layer_transmittance.getPointer(), m->textures, mat);
  return true;
}

Bool ImportOVM::ImportGlossyTrans(BaseContainer* data, OrvaneMaterial* model, BaseMaterial* mat,
                                  TiXmlElement* sceneData) {
  data->SetLong(MAT_TYPE, MAT_TYPE_GLOSSY_TRANSPARENT);
  OrvaneGlossyTransparent* m = dynamic_cast<OrvaneGlossyTransparent*>(model);
  if (!m) return false;
  if (m->exponent.getPointer()) ImportExponent(data, m->exponent.getPointer(), m->textures, mat);
  ImportMedium(data, sceneData, ImportText(m->internal_medium_name));
  ImportCommon(this, data, m, mat);
  if (m->absorption_layer_transmittance.getPointer())
    ImportAbsorptionLayer(data, m->absorption_layer_transmittance.getPointer(), m->textures, mat);
  return true;
}

bool ImportOVM::StartBlend(BaseContainer* data, OrvaneMaterial* model, BaseMaterial* mat,
                           TiXmlElement* sceneData, std::vector<PendingBlend>& blends) {
  data->SetLong(MAT_TYPE, MAT_TYPE_BLEND);
  OrvaneBlendMaterial* m = dynamic_cast<OrvaneBlendMaterial*>(model);
  if (!m) return false;
  PendingBlend blend;
  blend.mat = mat;
  blend.data = data;
  blend.model = m;
  blend.sceneData = sceneData;
  blends.push_back(std::move(blend));
  return true;
}

void ImportOVM::RunBlends(std::vector<PendingBlend>& blends) {
  while (!blends.empty()) {
    if (TiXmlElement* partner = NextPartner(blends.back())) {
      // May add the partner on top; the blend below goes on when the partner is done.
      BeginMaterial(partner, blends.back().sceneData, blends);
      continue;
    }
    PendingBlend& blend = blends.back();
    OrvaneBlendMaterial* m = blend.model;
    // A partner still being imported was left out: say so, in the words of the material check.
    for (const std::string* partner : {&m->a_name, &m->b_name}) {
      const String name = ImportText(*partner);
      const std::vector<TiXmlElement*>& named = MaterialElementsNamed(blend.sceneData, name);
      if (FindImportedMat(name) || std::none_of(named.begin(), named.end(),
                                                [this](TiXmlElement* e) { return inProgress_.count(e) > 0; }))
        continue;
      GePrint(String("Blend partners form a loop: the chain that starts at blend material '") +
              blends.front().mat->GetName() + "' leads back to '" + name + "'; '" + blend.mat->GetName() +
              "' is imported without it.");
    }
    if (m->blend.getPointer()) ImportBlend(blend.data, m->blend.getPointer(), m->textures, blend.mat);
    blend.data->SetBool(MAT_STEP_BLEND, m->step_blend ? TRUE : FALSE);
    FinishMaterial(blend.element, blend.mat);
    blends.pop_back();
  }
}

TiXmlElement* ImportOVM::NextPartner(PendingBlend& blend) {
  const std::string* const names[] = {&blend.model->a_name, &blend.model->b_name};
  const int links[] = {MAT_BLEND_A, MAT_BLEND_B};
  for (; blend.partner < 2; ++blend.partner) {
    const String name = ImportText(*names[blend.partner]);
    if (!blend.listed) {
      // A copy: the list of a name does not change while the file is imported, but the copy
      // keeps that obvious.
      blend.matches = MaterialElementsNamed(blend.sceneData, name);
      blend.match = 0;
      blend.listed = true;
    }
    for (; blend.match < blend.matches.size(); ++blend.match) {
      TiXmlElement* e = blend.matches[blend.match];
      if (blend.importing) {
        blend.importing = false;  // back from importing this partner
      } else {
        // A partner still being imported (the blend itself, or a blend that names this one)
        // counts as not found: following it would never end.
        if (inProgress_.count(e)) continue;
        if (!FindImportedMat(name)) {
          blend.importing = true;
          return e;
        }
      }
      blend.data->SetLink(links[blend.partner], FindImportedMat(name));
    }
    blend.listed = false;
  }
  return nullptr;
}
