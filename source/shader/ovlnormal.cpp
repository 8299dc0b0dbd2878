#include "shader/ovlnormal.h"

#include <cmath>

#include "c4d_basedocument.h"
#include "c4d_basedraw.h"
#include "shader/ovlformat.h"

namespace {

// Decimal places of the matrix in OVL text.
constexpr int kMatrixDecimals = 8;

}  // namespace

Bool OVLnormal::Init(GeListNode* node) { return OVLShaderData::Init(node); }

Bool OVLnormal::Initialize(BaseShader* sh) { return sh != nullptr; }

LMatrix OVLnormal::CameraMatrix(BaseShader* sh) {
  BaseDocument* doc = sh ? sh->GetDocument() : nullptr;
  BaseDraw* view = doc ? doc->GetActiveBaseDraw() : nullptr;
  return view ? view->GetMg() : LMatrix();
}

LONG OVLnormal::InitRender(BaseShader* sh, InitRenderStruct*) {
  Initialize(sh);
  camera_ = CameraMatrix(sh);
  return INITRENDERRESULT_OK;
}

LVector OVLnormal::Evaluate(const LMatrix& m, const LVector& n) {
  const double length = std::sqrt(n.x * n.x + n.y * n.y + n.z * n.z);
  if (!(length > 0.0)) return LVector();
  const double a = n.x / length, b = n.z / length, c = -n.y / length;
  return m.v1 * a + m.v2 * b + m.v3 * c;
}

LVector OVLnormal::Output(BaseShader*, ChannelData* cd) { return cd ? Evaluate(camera_, cd->n) : LVector(); }

std::string OVLnormal::Code(const LMatrix& m, OVLReturnType type) {
  // The rows of the transposed 3x3 part, each in the axis order X, Z, Y, rows in x, z, y order.
  const LVector& x = m.v1;
  const LVector& y = m.v2;
  const LVector& z = m.v3;
  const double cells[9] = {x.x, z.x, y.x, x.z, z.z, y.z, x.y, z.y, y.y};
  std::string numbers;
  for (int i = 0; i < 9; ++i) numbers += (i ? ", " : "") + OVLNumber(cells[i], kMatrixDecimals);
  const std::string vec = "(mat3x3(" + numbers + ") * normalise(normalWS()))";
  return type == OVL_RETURN_VEC3 ? vec : "Vec3ToReal(" + vec + ")";
}

std::string OVLnormal::GetShaderCode(OVLReturnType type) {
  BaseShader* sh = GetShader();
  if (!Initialize(sh)) return type == OVL_RETURN_VEC3 ? "Vector(1.0)" : "(1.0)";
  return Code(CameraMatrix(sh), type);
}

Bool RegisterOVLnormal() {
  return RegisterShaderPlugin(ID_OVLNORMAL, "OVL Normal", 0, OVLnormal::Alloc, "xovlnormal", 0);
}
