// The plug-in material in the host's own renderer and viewport: a diffuse surface of its albedo
// lit by the host's lights plus its emission; transmitting types refract, reflecting types add a
// fraction of a traced mirror reflection; the viewport image shows the albedo with the blend
// factor as alpha.
#include <cmath>

#include "material/customorvanematerial.h"

namespace {

// The share of the traced mirror reflection in the colour of reflecting types.
constexpr double kReflectionShare = 0.15;
// The deepest ray that still traces a reflection.
constexpr LONG kMaxReflectionDepth = 3;
// How far a reflection ray is traced.
constexpr double kReflectionDistance = 1e8;

LVector MapComponents(const LVector& s, double a, double b, double c) {
  return LVector(a * s.x * s.x + b * s.x + c, a * s.y * s.y + b * s.y + c, a * s.z * s.z + b * s.z + c);
}

}  // namespace

LVector GetColor(const BaseContainer* data, int channel, int idOffset) {
  if (!data) return LVector();
  if (channel == MAT_USE_ALBEDO + idOffset) {
    return data->GetVector(MAT_ALBEDO_COLOR + idOffset) * data->GetReal(MAT_ALBEDO_BRIGHTNESS + idOffset);
  }
  if (channel == MAT_USE_EMISSION + idOffset) {
    return data->GetVector(MAT_EMISSION_COLOR + idOffset) * data->GetReal(MAT_EMISSION_BRIGHTNESS + idOffset);
  }
  return LVector();
}

LONG ColorTo8Bit(double value) {
  if (!(value > 0.0)) return 0;
  const double scaled = value * 255.0;
  if (scaled >= 256.0) return 255;
  const LONG v = static_cast<LONG>(scaled);
  return v > 255 ? 255 : v;
}

LVector CustomOrvaneMaterial::ShaderSampler::Sample(ChannelData* cd) const {
  return MapComponents(shader->Sample(cd), a, b, c);
}

LONG CustomOrvaneMaterial::InitRender(BaseMaterial* mat, const InitRenderStruct& irs) {
  // A render that was not ended releases its records before new ones are made.
  FreeRender(mat);
  if (!mat) return INITRENDERRESULT_OK;
  const BaseContainer* data = mat->GetDataInstance();
  BaseDocument* doc = irs.doc;
  auto sampler = [&](int linkId, int aId) -> std::unique_ptr<ShaderSampler> {
    auto* shader = static_cast<BaseShader*>(data->GetLink(Id(linkId), doc, Xbase));
    if (!shader) return nullptr;
    std::unique_ptr<ShaderSampler> s(new ShaderSampler);
    s->shader = shader;
    s->a = data->GetReal(Id(aId));
    s->b = data->GetReal(Id(aId) + 1);
    s->c = data->GetReal(Id(aId) + 2);
    return s;
  };

  renderType = data->GetLong(Id(MAT_TYPE));
  albedoColor = GetColor(data, Id(MAT_USE_ALBEDO), idOffset);
  albedoSampler = sampler(MAT_ALBEDO_SHADER, MAT_ALBEDO_TEX_A);
  emissionColor = LVector();
  if (data->GetBool(Id(MAT_USE_EMISSION))) {
    emissionColor = GetColor(data, Id(MAT_USE_EMISSION), idOffset);
    emissionSampler = sampler(MAT_EMISSION_SHADER, MAT_EMISSION_TEX_A);
  }
  transmits = (renderType == Id(MAT_TYPE_SPECULAR) && data->GetBool(Id(MAT_TRANSPARENT))) ||
              renderType == Id(MAT_TYPE_GLOSSY_TRANSPARENT);
  reflects = renderType == Id(MAT_TYPE_PHONG) || renderType == Id(MAT_TYPE_SPECULAR) ||
             renderType == Id(MAT_TYPE_GLOSSY_TRANSPARENT);
  refractiveIndex =
      data->GetReal(renderType == Id(MAT_TYPE_PHONG) ? Id(MAT_PHONG_IOR) : Id(MAT_MEDIUM_IOR), 1.0);

  InitRenderStruct shaderIrs = irs;
  LONG result = INITRENDERRESULT_OK;
  if (albedoSampler) result = albedoSampler->shader->InitRender(&shaderIrs);
  // An emission shader that cannot render is not sampled: the emission colour stands in for it.
  if (emissionSampler && emissionSampler->shader->InitRender(&shaderIrs) != INITRENDERRESULT_OK) {
    emissionSampler.reset();
  }
  return result;
}

void CustomOrvaneMaterial::FreeRender(BaseMaterial*) {
  if (albedoSampler) albedoSampler->shader->FreeRender();
  if (emissionSampler) emissionSampler->shader->FreeRender();
  albedoSampler.reset();
  emissionSampler.reset();
}

ChannelData SurfaceChannelData(VolumeData* vd) {
  vd->InitSurfacePointProperties(nullptr);
  LVector uvw;
  vd->ProjectPoint(vd->tex, vd->lhit, vd->p, vd->bumpn, &uvw);
  ChannelData cd;
  cd.p = uvw;
  cd.n = vd->bumpn;
  cd.t = 0.0;
  cd.texflag = 1;
  cd.vd = vd;
  return cd;
}

void CustomOrvaneMaterial::CalcSurface(BaseMaterial* mat, VolumeData* vd) {
  if (!vd) return;
  ChannelData cd = SurfaceChannelData(vd);

  LVector base;
  if (transmits) {
    if (vd->tray && vd->ray) {
      if (vd->calc_trans == CALC_REFRACT) {
        const LVector v = vd->ray->v;
        const LVector n = vd->bumpn;
        const double d = v * n;
        const double e = d >= 0.0 ? vd->ray->ior : vd->ray->ior / refractiveIndex;
        const double k = (d * d - 1.0) * e * e + 1.0;
        LVector dir;
        if (k < 0.0) {  // total internal reflection: the mirror direction
          dir = v - n * (2.0 * d);
          vd->tray->ior = refractiveIndex;
        } else if (d >= 0.0) {
          dir = n * (std::sqrt(k) - e * d) + v * e;
          vd->tray->ior = 1.0;
        } else {
          dir = n * (-std::sqrt(k) - e * d) + v * e;
          vd->tray->ior = refractiveIndex;
        }
        const double len = Len(dir);
        if (len != 0.0) dir = dir / len;
        vd->tray->v = dir;
      } else if (vd->calc_trans == CALC_PLAIN) {
        vd->tray->v = vd->ray->v;
      }
    }
  } else if (renderType == Id(MAT_TYPE_SPECULAR)) {
    base = LVector();
  } else if (albedoSampler) {
    base = albedoSampler->Sample(&cd);
  } else {
    base = albedoColor;
  }

  if (vd->calc_refl == CALC_REFRACT && !(vd->raybits & RAYBIT_GI) && vd->raydepth <= kMaxReflectionDepth &&
      reflects && vd->rray && vd->ray) {
    vd->rray->v = ReflectRay(vd->ray->v, vd->bumpn);
    SurfaceIntersection si;
    vd->refl = vd->TraceColor(vd->rray, kReflectionDistance, vd->lhit, &si) * kReflectionShare;
  }

  LVector diffuse, specular;
  vd->IlluminanceSimple(&diffuse, &specular, 0.0);
  LVector color = base ^ diffuse;
  color += emissionSampler ? emissionSampler->Sample(&cd) : emissionColor;

  vd->col = color;
  CalcTransparency(mat, vd);
  if (vd->multipass && vd->multipass->vp_mat_color) *vd->multipass->vp_mat_color = color;
}

void CustomOrvaneMaterial::CalcTransparency(BaseMaterial*, VolumeData* vd) {
  if (!vd) return;
  vd->trans = transmits ? LVector(1.0, 1.0, 1.0) : LVector();
}

Bool CustomOrvaneMaterial::InitGLImage(BaseMaterial* mat, BaseDocument* doc, BaseThread* th, BaseBitmap* bmp,
                                       LONG, Bool linearworkflow) {
  if (!mat || !doc || !th || !bmp) return false;
  const BaseContainer* data = mat->GetDataInstance();
  InitRenderStruct irs(doc);
  irs.linear_workflow = linearworkflow;
  ChannelData cd;
  cd.n = LVector(0.0, 1.0, 0.0);
  cd.t = doc->GetTime().Get();

  const LONG w = bmp->GetBw(), h = bmp->GetBh();
  if (bmp->Init(w, h, 24) != IMAGERESULT_OK) return false;

  // Samples `shader` over the whole image, handing each pixel's mapped colour to `put`.
  auto eachPixel = [&](BaseShader* shader, int aId, auto put) -> bool {
    if (shader->InitRender(&irs) != INITRENDERRESULT_OK) return false;
    const double a = data->GetReal(Id(aId)), b = data->GetReal(Id(aId) + 1), c = data->GetReal(Id(aId) + 2);
    for (LONG x = 0; x < w; ++x) {
      for (LONG y = 0; y < h; ++y) {
        cd.p = LVector(static_cast<double>(x) / w, static_cast<double>(y) / h, 0.0);
        put(x, y, MapComponents(shader->Sample(&cd), a, b, c));
      }
    }
    shader->FreeRender();
    return true;
  };

  if (auto* albedo = static_cast<BaseShader*>(data->GetLink(Id(MAT_ALBEDO_SHADER), doc, Xbase))) {
    const bool drawn = eachPixel(albedo, MAT_ALBEDO_TEX_A, [&](LONG x, LONG y, const LVector& c) {
      bmp->SetPixel(x, y, ColorTo8Bit(c.x), ColorTo8Bit(c.y), ColorTo8Bit(c.z));
    });
    if (!drawn) return false;
  } else {
    const LVector c = GetColor(data, Id(MAT_USE_ALBEDO), idOffset);
    bmp->Clear(ColorTo8Bit(c.x), ColorTo8Bit(c.y), ColorTo8Bit(c.z));
  }

  if (!data->GetBool(Id(MAT_USE_ALPHA))) return true;
  BaseBitmap* alpha = bmp->GetInternalChannel();
  if (!alpha) alpha = bmp->AddChannel(TRUE, TRUE);
  if (!alpha) return false;
  const bool step = data->GetBool(Id(MAT_STEP_BLEND));
  auto* blend = static_cast<BaseShader*>(data->GetLink(Id(MAT_ALPHA_SHADER), doc, Xbase));
  if (!blend) {
    const LONG value = ColorTo8Bit(data->GetReal(Id(MAT_ALPHA_VALUE)));
    for (LONG x = 0; x < w; ++x) {
      for (LONG y = 0; y < h; ++y) bmp->SetAlphaPixel(alpha, x, y, value);
    }
    return true;
  }
  return eachPixel(blend, MAT_ALPHA_TEX_A, [&](LONG x, LONG y, const LVector& c) {
    double mean = (c.x + c.y + c.z) / 3.0;
    if (step) mean = mean >= 0.5 && mean <= 1.0 ? 1.0 : 0.0;
    bmp->SetAlphaPixel(alpha, x, y, ColorTo8Bit(mean));
  });
}
