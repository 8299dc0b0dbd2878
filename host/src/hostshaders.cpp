// The host's own shaders: an image file, one colour, a two-colour gradient.
#include "hostshaders.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "c4d_basedocument.h"
#include "c4d_basematerial.h"
#include "c4d_bitmap.h"
#include "c4d_shader.h"
#include "c4d_tools.h"

namespace {

Real Wrap(Real t) {
  if (!std::isfinite(t)) return 0.0;
  return t - std::floor(t);
}

// The image of parameter `BITMAPSHADER_FILENAME`, resolved against the rendered document's folder
// and decoded at `InitRender`; sampled at the nearest pixel, repeating in u and v.
class BitmapShaderData : public ShaderData {
 public:
  LONG InitRender(BaseShader* sh, InitRenderStruct* irs) override {
    image_.reset();
    const Filename name = sh->GetDataInstance()->GetFilename(BITMAPSHADER_FILENAME);
    if (!name.Content()) return INITRENDERRESULT_ASSETMISSING;
    Filename file = name;
    Filename found;
    const Filename docPath = irs && irs->doc ? irs->doc->GetDocumentPath() : Filename();
    if (GenerateTexturePath(docPath, name, Filename(), &found) && found.Content()) file = found;
    auto image = std::make_unique<BaseBitmap>();
    const LONG result = image->Init(file);
    if (result == IMAGERESULT_OUTOFMEMORY) return INITRENDERRESULT_OUTOFMEMORY;
    if (result != IMAGERESULT_OK) return INITRENDERRESULT_ASSETMISSING;
    image_ = std::move(image);
    return INITRENDERRESULT_OK;
  }
  void FreeRender(BaseShader*) override { image_.reset(); }
  LVector Output(BaseShader*, ChannelData* cd) override {
    if (!image_ || !cd) return LVector();
    const LONG w = image_->GetBw(), h = image_->GetBh();
    const LONG x = std::min<LONG>(static_cast<LONG>(Wrap(cd->p.x) * w), w - 1);
    const LONG y = std::min<LONG>(static_cast<LONG>(Wrap(cd->p.y) * h), h - 1);
    const unsigned char* p = image_->GetRgb() + (static_cast<size_t>(y) * w + x) * 3;
    return LVector(p[0] / 255.0, p[1] / 255.0, p[2] / 255.0);
  }

 private:
  std::unique_ptr<BaseBitmap> image_;
};

class ColorShaderData : public ShaderData {
 public:
  Bool Init(GeListNode* node) override {
    BaseContainer* data = static_cast<BaseShader*>(node)->GetDataInstance();
    data->SetVector(COLORSHADER_COLOR, LVector(1.0));
    data->SetReal(COLORSHADER_BRIGHTNESS, 1.0);
    return true;
  }
  LONG InitRender(BaseShader* sh, InitRenderStruct*) override {
    const BaseContainer* data = sh->GetDataInstance();
    color_ = data->GetVector(COLORSHADER_COLOR, LVector(1.0)) * data->GetReal(COLORSHADER_BRIGHTNESS, 1.0);
    return INITRENDERRESULT_OK;
  }
  LVector Output(BaseShader*, ChannelData*) override { return color_; }

 private:
  LVector color_;
};

class GradientShaderData : public ShaderData {
 public:
  Bool Init(GeListNode* node) override {
    BaseContainer* data = static_cast<BaseShader*>(node)->GetDataInstance();
    data->SetVector(GRADIENTSHADER_START, LVector(0.0));
    data->SetVector(GRADIENTSHADER_END, LVector(1.0));
    data->SetLong(GRADIENTSHADER_TYPE, GRADIENTSHADER_TYPE_U);
    return true;
  }
  LONG InitRender(BaseShader* sh, InitRenderStruct*) override {
    const BaseContainer* data = sh->GetDataInstance();
    start_ = data->GetVector(GRADIENTSHADER_START, LVector(0.0));
    end_ = data->GetVector(GRADIENTSHADER_END, LVector(1.0));
    alongV_ = data->GetLong(GRADIENTSHADER_TYPE, GRADIENTSHADER_TYPE_U) == GRADIENTSHADER_TYPE_V;
    return INITRENDERRESULT_OK;
  }
  LVector Output(BaseShader*, ChannelData* cd) override {
    if (!cd) return start_;
    const Real raw = alongV_ ? cd->p.y : cd->p.x;
    const Real t = std::isfinite(raw) ? std::clamp(raw, 0.0, 1.0) : 0.0;
    return start_ + (end_ - start_) * t;
  }

 private:
  LVector start_, end_;
  bool alongV_ = false;
};

}  // namespace

namespace host {

bool IsHostShaderType(LONG type) { return type == Xbitmap || type == Xcolor || type == Xgradient; }

NodeData* NewHostShaderData(LONG type) {
  switch (type) {
    case Xbitmap: return new BitmapShaderData;
    case Xcolor: return new ColorShaderData;
    case Xgradient: return new GradientShaderData;
    default: return nullptr;
  }
}

}  // namespace host
