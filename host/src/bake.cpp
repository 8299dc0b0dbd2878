// Texture baking.
#include "c4d_bake.h"

#include <algorithm>
#include <cmath>
#include <new>
#include <vector>

#include "c4d_basedocument.h"
#include "c4d_multipassbitmap.h"
#include "c4d_nodedata.h"
#include "c4d_shader.h"
#include "c4d_texturetag.h"
#include "c4d_thread.h"

namespace {

// What a bake document holds in its own container: links to its copies.
enum { kBakeTextureTag = 1, kBakeTexUvw = 2, kBakeDestUvw = 3 };

constexpr LONG kMaxSide = 16384;
constexpr LONG kMaxSupersampling = 15;
constexpr Real kMaxSamples = 1 << 28;  // samples of one bake, supersampling included

LONG Fail(LONG* err, LONG code) {
  if (err) *err = code;
  return code;
}

LONG TagIndex(const BaseObject* op, const BaseTag* tag) {
  LONG i = 0;
  for (BaseTag* t = op->GetFirstTag(); t; t = t->GetNext(), ++i)
    if (t == tag) return i;
  return NOTOK;
}

BaseTag* TagAt(const BaseObject* op, LONG index) {
  BaseTag* t = op->GetFirstTag();
  for (LONG i = 0; t && i < index; ++i) t = t->GetNext();
  return t;
}

LONG CheckSize(const BaseContainer& bc) {
  const LONG w = bc.GetLong(BAKE_TEX_WIDTH), h = bc.GetLong(BAKE_TEX_HEIGHT);
  if (w < 1 || h < 1 || w > kMaxSide || h > kMaxSide) return BAKE_TEX_ERR_WRONG_SIZE;
  if (!(bc.GetReal(BAKE_TEX_U_MAX, 1.0) != bc.GetReal(BAKE_TEX_U_MIN, 0.0)) ||
      !(bc.GetReal(BAKE_TEX_V_MAX, 1.0) != bc.GetReal(BAKE_TEX_V_MIN, 0.0)))
    return BAKE_TEX_ERR_WRONG_SIZE;
  return BAKE_TEX_ERR_NONE;
}

// The colour channel of a standard material: its shader, else its colour.
class ColorChannel {
 public:
  ColorChannel(BaseMaterial* mat, BaseDocument* doc)
      : shader_(static_cast<BaseShader*>(mat->GetDataInstance()->GetLink(MATERIAL_COLOR_SHADER, doc, Xbase))),
        color_(mat->GetDataInstance()->GetVector(MATERIAL_COLOR_COLOR, LVector(0.8))) {
    cd_.t = doc->GetTime().Get();
  }
  ~ColorChannel() {
    if (ready_) shader_->FreeRender();
  }
  ColorChannel(const ColorChannel&) = delete;
  ColorChannel& operator=(const ColorChannel&) = delete;

  bool Init(BaseDocument* doc) {
    if (!shader_) return true;
    InitRenderStruct irs;
    irs.doc = doc;
    irs.time = doc->GetTime().Get();
    ready_ = shader_->InitRender(&irs) == INITRENDERRESULT_OK;
    data_ = dynamic_cast<ShaderData*>(shader_->GetNodeData());  // found once, not per sample
    return ready_;
  }
  LVector At(const LVector& uvw, const LVector& normal) {
    if (!shader_) return color_;
    cd_.p = uvw;
    cd_.n = normal;
    return data_ ? data_->Output(shader_, &cd_) : shader_->Sample(&cd_);
  }

 private:
  BaseShader* shader_;
  LVector color_;
  ChannelData cd_;
  ShaderData* data_ = nullptr;
  bool ready_ = false;
};

// Edge function: twice the signed area of (a, b, p).
Real Edge(Real ax, Real ay, Real bx, Real by, Real px, Real py) {
  return (bx - ax) * (py - ay) - (by - ay) * (px - ax);
}

LONG Rasterize(PolygonObject* op, UVWTag* texuvw, UVWTag* destuvw, ColorChannel& channel,
               const BaseContainer& bc, MultipassBitmap* bmp, BaseThread* th, BakeProgressHook* hook,
               void* userdata);

LONG ToByte(Real c) {
  if (!(c > 0.0)) return 0;
  if (c >= 1.0) return 255;
  return static_cast<LONG>(c * 255.0 + 0.5);  // c is positive: rounds half away from zero
}

}  // namespace

BaseDocument* InitBakeTexture(BaseDocument* doc, TextureTag* textag, UVWTag* texuvw, UVWTag* destuvw,
                              const BaseContainer& bc, LONG* err, BaseThread*) {
  Fail(err, BAKE_TEX_ERR_NONE);
  if (!doc) return Fail(err, BAKE_TEX_ERR_NO_DOC), nullptr;
  if (!textag || textag->GetDocument() != doc) return Fail(err, BAKE_TEX_ERR_NO_TEXTURE_TAG), nullptr;
  BaseObject* op = textag->GetObject();
  if (!op || op->GetType() != Opolygon) return Fail(err, BAKE_TEX_ERR_NO_OBJECT), nullptr;
  if (!destuvw) destuvw = texuvw;
  if (!texuvw || texuvw->GetObject() != op || destuvw->GetObject() != op)
    return Fail(err, BAKE_TEX_ERR_NO_UVW_TAG), nullptr;
  BaseMaterial* mat = textag->GetMaterial();
  if (!mat || mat->GetType() != Mmaterial) return Fail(err, BAKE_TEX_ERR_NO_MATERIAL), nullptr;
  if (!bc.GetBool(BAKE_TEX_COLOR)) return Fail(err, BAKE_TEX_ERR_NO_CHANNEL), nullptr;
  if (LONG e = CheckSize(bc)) return Fail(err, e), nullptr;

  BaseObject* opCopy = static_cast<BaseObject*>(op->GetClone(COPYFLAGS_NO_HIERARCHY));
  BaseMaterial* matCopy = static_cast<BaseMaterial*>(mat->GetClone());
  BaseDocument* bake = BaseDocument::Alloc();
  if (!opCopy || !matCopy || !bake) {
    BaseObject::Free(opCopy);
    BaseMaterial::Free(matCopy);
    BaseDocument::Free(bake);
    return Fail(err, BAKE_TEX_ERR_NO_MEM), nullptr;
  }
  bake->SetTime(doc->GetTime());
  bake->SetFps(doc->GetFps());
  // The copies' shaders look for their files where the document's own do.
  bake->SetDocumentPath(doc->GetDocumentPath());
  bake->SetDocumentName(doc->GetDocumentName());
  bake->InsertObject(opCopy, nullptr, nullptr);
  bake->InsertMaterial(matCopy);
  TextureTag* tagCopy = static_cast<TextureTag*>(TagAt(opCopy, TagIndex(op, textag)));
  tagCopy->SetMaterial(matCopy);
  BaseContainer* state = bake->GetDataInstance();
  state->SetLink(kBakeTextureTag, tagCopy);
  state->SetLink(kBakeTexUvw, TagAt(opCopy, TagIndex(op, texuvw)));
  state->SetLink(kBakeDestUvw, TagAt(opCopy, TagIndex(op, destuvw)));
  return bake;
}

LONG BakeTexture(BaseDocument* bakedoc, const BaseContainer& bc, MultipassBitmap* bmp, BaseThread* th,
                 BakeProgressHook* hook, void* userdata) {
  if (!bakedoc) return BAKE_TEX_ERR_NO_DOC;
  const BaseContainer* state = bakedoc->GetDataInstance();
  auto* tag = static_cast<TextureTag*>(state->GetLink(kBakeTextureTag, bakedoc, Ttexture));
  auto* texuvw = static_cast<UVWTag*>(state->GetLink(kBakeTexUvw, bakedoc, Tuvw));
  auto* destuvw = static_cast<UVWTag*>(state->GetLink(kBakeDestUvw, bakedoc, Tuvw));
  if (!tag) return BAKE_TEX_ERR_NO_DOC;
  if (!texuvw || !destuvw) return BAKE_TEX_ERR_NO_UVW_TAG;
  BaseObject* obj = tag->GetObject();
  if (!obj || obj->GetType() != Opolygon) return BAKE_TEX_ERR_NO_OBJECT;
  auto* op = static_cast<PolygonObject*>(obj);
  BaseMaterial* mat = tag->GetMaterial();
  if (!mat) return BAKE_TEX_ERR_NO_MATERIAL;
  if (LONG e = CheckSize(bc)) return e;
  const LONG width = bc.GetLong(BAKE_TEX_WIDTH), height = bc.GetLong(BAKE_TEX_HEIGHT);
  if (!bmp || bmp->GetBw() != width || bmp->GetBh() != height) return BAKE_TEX_ERR_WRONG_BITMAP;

  ColorChannel channel(mat, bakedoc);
  if (!channel.Init(bakedoc)) return BAKE_TEX_ERR_SHADER;
  try {
    return Rasterize(op, texuvw, destuvw, channel, bc, bmp, th, hook, userdata);
  } catch (const std::bad_alloc&) {
    return BAKE_TEX_ERR_NO_MEM;
  }
}

namespace {

LONG Rasterize(PolygonObject* op, UVWTag* texuvw, UVWTag* destuvw, ColorChannel& channel,
               const BaseContainer& bc, MultipassBitmap* bmp, BaseThread* th, BakeProgressHook* hook,
               void* userdata) {
  const LONG width = bmp->GetBw(), height = bmp->GetBh();

  LONG n = std::clamp<LONG>(bc.GetLong(BAKE_TEX_SUPERSAMPLING, 0), 0, kMaxSupersampling) + 1;
  while (n > 1 && static_cast<Real>(width) * n * height * n > kMaxSamples) --n;
  const Real u0 = bc.GetReal(BAKE_TEX_U_MIN, 0.0), u1 = bc.GetReal(BAKE_TEX_U_MAX, 1.0);
  const Real v0 = bc.GetReal(BAKE_TEX_V_MIN, 0.0), v1 = bc.GetReal(BAKE_TEX_V_MAX, 1.0);
  const LONG sw = width * n, sh = height * n;  // the sample grid
  const size_t pixels = static_cast<size_t>(width) * static_cast<size_t>(height);
  const LONG border = std::clamp<LONG>(bc.GetLong(BAKE_TEX_PIXELBORDER, 0), 0, kMaxSide);
  // One sample per pixel and no border: each sample is its pixel's colour, written at once.
  const bool direct = n == 1 && border == 0;
  std::vector<LVector> sum(direct ? 0 : pixels);
  std::vector<LONG> count(direct ? 0 : pixels, 0);
  std::vector<unsigned char> taken(static_cast<size_t>(sw) * static_cast<size_t>(sh), 0);

  const LVector* points = op->GetPointR();
  const LONG pointCount = op->GetPointCount();
  const CPolygon* polygons = op->GetPolygonR();
  const LONG polygonCount =
      std::min({op->GetPolygonCount(), texuvw->GetDataCount(), destuvw->GetDataCount()});
  auto point = [&](LONG i) { return i >= 0 && i < pointCount ? points[i] : LVector(); };

  for (LONG i = 0; i < polygonCount; ++i) {
    if (th && th->TestBreak()) return BAKE_TEX_ERR_USERBREAK;
    if (hook) hook(static_cast<LONG>(100LL * i / polygonCount), userdata);
    const CPolygon& poly = polygons[i];
    const UVWStruct s = texuvw->GetSlow(i), d = destuvw->GetSlow(i);
    const LVector src[4] = {s.a, s.b, s.c, s.d};
    LVector dst[4] = {d.a, d.b, d.c, d.d};
    for (LVector& q : dst) q = LVector((q.x - u0) / (u1 - u0) * sw, (q.y - v0) / (v1 - v0) * sh, 0.0);
    const LVector normal = Normalize((point(poly.c) - point(poly.a)) % (point(poly.d) - point(poly.b)));
    const int triangles[2][3] = {{0, 1, 2}, {0, 2, 3}};
    for (int t = 0; t < (poly.c == poly.d ? 1 : 2); ++t) {
      const int* k = triangles[t];
      const LVector &p0 = dst[k[0]], &p1 = dst[k[1]], &p2 = dst[k[2]];
      if (!std::isfinite(p0.x + p0.y + p1.x + p1.y + p2.x + p2.y)) continue;
      const Real area = Edge(p0.x, p0.y, p1.x, p1.y, p2.x, p2.y);
      if (!(std::fabs(area) > 1e-12)) continue;
      // Edge values signed alike whatever the triangle's winding; a sample on an edge is inside.
      const Real sign = area > 0.0 ? 1.0 : -1.0, size = std::fabs(area), eps = -1e-9 * size;
      // The texture coordinates at the corners, each weighted by 1 / size once for all samples.
      const LVector s0 = src[k[0]] * (1.0 / size), s1 = src[k[1]] * (1.0 / size),
                    s2 = src[k[2]] * (1.0 / size);
      auto clampTo = [](Real v, LONG hi) {
        return static_cast<LONG>(std::clamp(v, 0.0, static_cast<Real>(hi)));
      };
      const LONG x0 = clampTo(std::floor(std::min({p0.x, p1.x, p2.x})), sw - 1);
      const LONG x1 = clampTo(std::ceil(std::max({p0.x, p1.x, p2.x})), sw - 1);
      const LONG y0 = clampTo(std::floor(std::min({p0.y, p1.y, p2.y})), sh - 1);
      const LONG y1 = clampTo(std::ceil(std::max({p0.y, p1.y, p2.y})), sh - 1);
      // Along a row each edge value grows by a constant step; a triangle is convex, so the row's
      // samples inside it are one run.
      const Real step0 = -sign * (p2.y - p1.y), step1 = -sign * (p0.y - p2.y), step2 = -sign * (p1.y - p0.y);
      for (LONG y = y0; y <= y1; ++y) {
        const Real py = y + 0.5, px0 = x0 + 0.5;
        Real e0 = sign * Edge(p1.x, p1.y, p2.x, p2.y, px0, py) - step0;
        Real e1 = sign * Edge(p2.x, p2.y, p0.x, p0.y, px0, py) - step1;
        Real e2 = sign * Edge(p0.x, p0.y, p1.x, p1.y, px0, py) - step2;
        bool entered = false;
        for (LONG x = x0; x <= x1; ++x) {
          e0 += step0;
          e1 += step1;
          e2 += step2;
          if (e0 < eps || e1 < eps || e2 < eps) {
            if (entered) break;
            continue;
          }
          entered = true;
          unsigned char& done = taken[static_cast<size_t>(y) * sw + x];
          if (done) continue;
          done = 1;
          const LVector uvw = s0 * e0 + s1 * e1 + s2 * e2;
          if (direct) {
            const LVector c = channel.At(uvw, normal);
            bmp->SetPixel(x, y, ToByte(c.x), ToByte(c.y), ToByte(c.z));
            continue;
          }
          const size_t pixel = static_cast<size_t>(y / n) * width + x / n;
          sum[pixel] += channel.At(uvw, normal);
          ++count[pixel];
        }
      }
    }
  }

  if (direct) {
    if (hook) hook(100, userdata);
    return BAKE_TEX_ERR_NONE;
  }

  // The border: uncovered pixels next to baked ones take their neighbours' mean, ring by ring.
  std::vector<LVector> color(pixels);
  std::vector<unsigned char> has(pixels, 0);
  for (size_t p = 0; p < pixels; ++p) {
    if (count[p] > 0) {
      color[p] = sum[p] / static_cast<Real>(count[p]);
      has[p] = 1;
    }
  }
  for (LONG ring = 0; ring < border; ++ring) {
    std::vector<unsigned char> next = has;
    bool grown = false;
    for (LONG y = 0; y < height; ++y) {
      for (LONG x = 0; x < width; ++x) {
        const size_t p = static_cast<size_t>(y) * width + x;
        if (has[p]) continue;
        LVector total;
        int found = 0;
        const LONG nx[4] = {x - 1, x + 1, x, x}, ny[4] = {y, y, y - 1, y + 1};
        for (int k = 0; k < 4; ++k) {
          if (nx[k] < 0 || ny[k] < 0 || nx[k] >= width || ny[k] >= height) continue;
          const size_t q = static_cast<size_t>(ny[k]) * width + nx[k];
          if (!has[q]) continue;
          total += color[q];
          ++found;
        }
        if (found == 0) continue;
        color[p] = total / static_cast<Real>(found);
        next[p] = 1;
        grown = true;
      }
    }
    has.swap(next);
    if (!grown) break;
  }

  for (LONG y = 0; y < height; ++y) {
    for (LONG x = 0; x < width; ++x) {
      const size_t p = static_cast<size_t>(y) * width + x;
      if (has[p]) bmp->SetPixel(x, y, ToByte(color[p].x), ToByte(color[p].y), ToByte(color[p].z));
    }
  }
  if (hook) hook(100, userdata);
  return BAKE_TEX_ERR_NONE;
}

}  // namespace
