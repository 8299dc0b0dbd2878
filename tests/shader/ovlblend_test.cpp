// The blend shader: texts and host values per mode, children that count as none (empty links,
// the code shader, host shaders, links into other documents, links removed), blends of blends, and
// link cycles that end in every operation.
#include <gtest/gtest.h>

#include <string>

#include "shader_scene.h"

namespace {

class OVLBlendTest : public ShaderSceneTest {
 protected:
  BaseShader* Blend(LONG mode, double amount) {
    BaseShader* sh = Make(ID_OVLBLEND);
    sh->GetDataInstance()->SetLong(OVLBLEND_MODE, mode);
    sh->GetDataInstance()->SetReal(OVLBLEND_AMOUNT, amount);
    return sh;
  }
  BaseShader* Gradient(LONG direction) {
    BaseShader* sh = Make(ID_OVLGRADIENT);
    sh->GetDataInstance()->SetLong(OVLGRADIENT_DIRECTION, direction);
    return sh;
  }
  // Prepares, samples once and ends a render of `sh`.
  static LVector RenderOnce(BaseShader* sh, const LVector& uvw) {
    InitRenderStruct irs;
    EXPECT_EQ(sh->InitRender(&irs), INITRENDERRESULT_OK);
    const LVector v = Sample(sh, uvw);
    sh->FreeRender();
    return v;
  }
};

const char kU[] =
    "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
    "doti(getTexCoords(0))) * 1.00000";
const char kV[] =
    "lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
    "dotj(getTexCoords(0))) * 1.00000";
const char kUReal[] =
    "Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, "
    "0.00000), doti(getTexCoords(0)))) * 1.00000";
const char kVReal[] =
    "Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, "
    "0.00000), dotj(getTexCoords(0)))) * 1.00000";

TEST_F(OVLBlendTest, DefaultsWithoutChildren) {
  BaseShader* sh = Make(ID_OVLBLEND);
  EXPECT_EQ(sh->GetDataInstance()->GetLong(OVLBLEND_MODE), OVLBLEND_MODE_MULTIPLY);
  EXPECT_EQ(sh->GetDataInstance()->GetReal(OVLBLEND_AMOUNT), 1.0);
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3), "mulCompVec3(Vector(1.0), Vector(1.0)) * 1.00000");
  EXPECT_EQ(Code(sh, OVL_RETURN_REAL), "(1.0 * 1.0) * 1.00000");
  EXPECT_EQ(RenderOnce(sh, LVector(0.3, 0.3, 0)), LVector(1, 1, 1));
}

TEST_F(OVLBlendTest, TextsAndValuesPerMode) {
  // Child A: gradient along u, child B: along v; sampled at u = 0.25, v = 0.5 (a = 0.75, b = 0.5).
  struct Case {
    LONG mode;
    OVLReturnType type;
    std::string text;
    double value;
  } cases[] = {
      {OVLBLEND_MODE_ADD, OVL_RETURN_VEC3, std::string("(") + kU + " + " + kV + ") * 2.00000", 2.5},
      {OVLBLEND_MODE_SUBTRACT, OVL_RETURN_VEC3, std::string("(") + kU + " - " + kV + ") * 2.00000", 0.5},
      {OVLBLEND_MODE_MULTIPLY, OVL_RETURN_VEC3, std::string("mulCompVec3(") + kU + ", " + kV + ") * 2.00000",
       0.75},
      {OVLBLEND_MODE_MULTIPLY, OVL_RETURN_REAL, std::string("(") + kUReal + " * " + kVReal + ") * 2.00000",
       0.75},
      {9999, OVL_RETURN_VEC3, std::string("(") + kU + " + " + kV + ") * 2.00000", 0.0},
  };
  for (const Case& c : cases) {
    BaseShader* sh = Blend(c.mode, 2.0);
    Link(sh, OVLBLEND_SHADER_A, Gradient(OVLGRADIENT_DIRECTION_U));
    Link(sh, OVLBLEND_SHADER_B, Gradient(OVLGRADIENT_DIRECTION_V));
    EXPECT_EQ(Code(sh, c.type), c.text) << c.mode;
    EXPECT_EQ(RenderOnce(sh, LVector(0.25, 0.5, 0)), LVector(c.value, c.value, c.value)) << c.mode;
  }
}

TEST_F(OVLBlendTest, SubtractingNothingFromANoise) {
  BaseShader* sh = Blend(OVLBLEND_MODE_SUBTRACT, 0.5);
  BaseShader* noise = Make(ID_OVLNOISE);
  Link(sh, OVLBLEND_SHADER_A, noise);
  EXPECT_EQ(Code(sh, OVL_RETURN_REAL),
            "((Vec3ToReal(lerp(vec3(1.00000, 1.00000, 1.00000), vec3(0.00000, 0.00000, 0.00000), "
            "noise01(mulCompVec2(getTexCoords(0) * 10.0, vec2(1.00000, 1.00000))))) * 1.00000) - "
            "1.0) * 0.50000");
  const LVector uvw(0.13, 0.42, 0);
  noise->InitRender(nullptr);
  const LVector a = Sample(noise, uvw);
  noise->FreeRender();
  EXPECT_EQ(RenderOnce(sh, uvw), LVector((a.x - 1) * 0.5, (a.y - 1) * 0.5, (a.z - 1) * 0.5));
}

TEST_F(OVLBlendTest, LinksThatCountAsNoChild) {
  BaseShader* code = Make(ID_OVLSHADER);
  BaseShader* bitmap = Make(Xbitmap);
  BaseDocument* other = BaseDocument::Alloc();
  BaseMaterial* otherHolder = BaseMaterial::Alloc(Mmaterial);
  other->InsertMaterial(otherHolder);
  BaseShader* elsewhere = BaseShader::Alloc(ID_OVLGRADIENT);
  otherHolder->InsertShader(elsewhere);
  BaseShader* loose = BaseShader::Alloc(ID_OVLGRADIENT);  // in no document
  for (BaseShader* child : {code, bitmap, elsewhere, loose}) {
    BaseShader* sh = Blend(OVLBLEND_MODE_ADD, 1.0);
    Link(sh, OVLBLEND_SHADER_A, child);
    EXPECT_EQ(Code(sh, OVL_RETURN_VEC3), "(Vector(1.0) + Vector(1.0)) * 1.00000");
    EXPECT_EQ(Code(sh, OVL_RETURN_REAL), "(1.0 + 1.0) * 1.00000");
    EXPECT_EQ(RenderOnce(sh, LVector(0.9, 0.9, 0)), LVector(2, 2, 2));
  }
  BaseShader::Free(loose);
  BaseDocument::Free(other);
}

TEST_F(OVLBlendTest, ARemovedLinkFallsBackAtOnce) {
  BaseShader* sh = Blend(OVLBLEND_MODE_ADD, 1.0);
  BaseShader* grad = Gradient(OVLGRADIENT_DIRECTION_U);
  Link(sh, OVLBLEND_SHADER_B, grad);
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3), std::string("(Vector(1.0) + ") + kU + ") * 1.00000");
  sh->GetDataInstance()->SetLink(OVLBLEND_SHADER_B, nullptr);
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3), "(Vector(1.0) + Vector(1.0)) * 1.00000");
  Link(sh, OVLBLEND_SHADER_B, grad);
  BaseShader::Free(grad);  // a freed shader's link reads back as empty
  EXPECT_EQ(Code(sh, OVL_RETURN_VEC3), "(Vector(1.0) + Vector(1.0)) * 1.00000");
}

TEST_F(OVLBlendTest, ABlendOfBlendsEmbedsTheInnerTextVerbatim) {
  BaseShader* inner = Blend(OVLBLEND_MODE_SUBTRACT, 0.5);
  Link(inner, OVLBLEND_SHADER_A, Gradient(OVLGRADIENT_DIRECTION_U));
  BaseShader* outer = Blend(OVLBLEND_MODE_MULTIPLY, 3.0);
  Link(outer, OVLBLEND_SHADER_A, inner);
  Link(outer, OVLBLEND_SHADER_B, Gradient(OVLGRADIENT_DIRECTION_V));
  for (OVLReturnType type : {OVL_RETURN_VEC3, OVL_RETURN_REAL}) {
    const std::string in = Code(inner, type);
    const std::string b = Code(Gradient(OVLGRADIENT_DIRECTION_V), type);
    EXPECT_EQ(Code(outer, type),
              (type == OVL_RETURN_VEC3 ? "mulCompVec3(" + in + ", " + b + ")" : "(" + in + " * " + b + ")") +
                  " * 3.00000");
  }
  EXPECT_EQ(Code(inner, OVL_RETURN_VEC3), std::string("(") + kU + " - Vector(1.0)) * 0.50000");
  // Host: ((0.75 - 1) * 0.5) * 0.5 * 3 at u = 0.25, v = 0.5.
  EXPECT_EQ(RenderOnce(outer, LVector(0.25, 0.5, 0)), LVector(-0.1875, -0.1875, -0.1875));
}

TEST_F(OVLBlendTest, LinkCyclesCountAsNoChild) {
  // A cycle of two blends: each is the other's child A.
  BaseShader* a = Blend(OVLBLEND_MODE_ADD, 1.0);
  BaseShader* b = Blend(OVLBLEND_MODE_MULTIPLY, 2.0);
  Link(a, OVLBLEND_SHADER_A, b);
  Link(b, OVLBLEND_SHADER_A, a);
  Link(b, OVLBLEND_SHADER_B, Gradient(OVLGRADIENT_DIRECTION_U));
  EXPECT_EQ(Code(a, OVL_RETURN_VEC3),
            std::string("(mulCompVec3(Vector(1.0), ") + kU + ") * 2.00000 + Vector(1.0)) * 1.00000");
  EXPECT_EQ(Code(b, OVL_RETURN_REAL), std::string("((1.0 + 1.0) * 1.00000 * ") + kUReal + ") * 2.00000");
  // Host values at u = 0.25 (gradient 0.75): each render cuts the cycle where it closes.
  EXPECT_EQ(RenderOnce(a, LVector(0.25, 0.5, 0)), LVector(2.5, 2.5, 2.5));
  EXPECT_EQ(RenderOnce(b, LVector(0.25, 0.5, 0)), LVector(3.0, 3.0, 3.0));
  // Two renders prepared one over the other still sample and end.
  a->InitRender(nullptr);
  b->InitRender(nullptr);
  EXPECT_EQ(Sample(b, LVector(0.25, 0.5, 0)), LVector(3.0, 3.0, 3.0));
  // b's render cut a's link back to b: a now blends two missing children.
  EXPECT_EQ(Sample(a, LVector(0.25, 0.5, 0)), LVector(2.0, 2.0, 2.0));
  b->FreeRender();
  a->FreeRender();

  // A blend that is its own child, and a cycle of three.
  BaseShader* self = Blend(OVLBLEND_MODE_ADD, 1.0);
  Link(self, OVLBLEND_SHADER_A, self);
  Link(self, OVLBLEND_SHADER_B, self);
  EXPECT_EQ(Code(self, OVL_RETURN_VEC3), "(Vector(1.0) + Vector(1.0)) * 1.00000");
  EXPECT_EQ(RenderOnce(self, LVector()), LVector(2, 2, 2));
  BaseShader* x = Blend(OVLBLEND_MODE_ADD, 1.0);
  BaseShader* y = Blend(OVLBLEND_MODE_ADD, 1.0);
  BaseShader* z = Blend(OVLBLEND_MODE_ADD, 1.0);
  Link(x, OVLBLEND_SHADER_A, y);
  Link(y, OVLBLEND_SHADER_B, z);
  Link(z, OVLBLEND_SHADER_A, x);
  EXPECT_EQ(Code(x, OVL_RETURN_REAL), "((1.0 + (1.0 + 1.0) * 1.00000) * 1.00000 + 1.0) * 1.00000");
  EXPECT_EQ(RenderOnce(x, LVector()), LVector(4, 4, 4));
  EXPECT_EQ(RenderOnce(z, LVector()), LVector(4, 4, 4));
}

}  // namespace
