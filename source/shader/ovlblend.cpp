#include "shader/ovlblend.h"

#include "shader/ovlformat.h"

bool OVLblend::Chain::Holds(const BaseShader* sh) const {
  for (const Chain* c = this; c; c = c->up)
    if (c->shader == sh) return true;
  return false;
}

Bool OVLblend::Init(GeListNode* node) {
  OVLShaderData::Init(node);
  BaseContainer* bc = static_cast<BaseList2D*>(node)->GetDataInstance();
  bc->SetLong(OVLBLEND_MODE, OVLBLEND_MODE_MULTIPLY);
  bc->SetReal(OVLBLEND_AMOUNT, 1.0);
  return true;
}

OVLblend::Child OVLblend::LinkedChild(BaseShader* sh, LONG id) {
  auto* linked = static_cast<BaseShader*>(sh->GetDataInstance()->GetLink(id, sh->GetDocument(), Xbase));
  if (!IsOVLShader(linked)) return Child();
  auto* data = dynamic_cast<OVLShaderData*>(linked->GetNodeData());
  return data ? Child{data, linked} : Child();
}

Bool OVLblend::Initialize(BaseShader* sh) {
  if (!sh) return false;
  const BaseContainer* bc = sh->GetDataInstance();
  amount_ = bc->GetReal(OVLBLEND_AMOUNT);
  mode_ = bc->GetLong(OVLBLEND_MODE);
  childA_ = LinkedChild(sh, OVLBLEND_SHADER_A);
  childB_ = LinkedChild(sh, OVLBLEND_SHADER_B);
  return true;
}

LONG OVLblend::InitRender(BaseShader* sh, InitRenderStruct* irs) {
  const Chain root{sh, nullptr};
  return InitRenderOn(sh, irs, &root);
}

LONG OVLblend::InitRenderOn(BaseShader* sh, InitRenderStruct* irs, const Chain* chain) {
  Initialize(sh);
  for (Child* child : {&childA_, &childB_}) {
    if (!child->data) continue;
    if (chain->Holds(child->node)) {
      *child = Child();  // a link cycle: no child
      continue;
    }
    if (auto* blend = dynamic_cast<OVLblend*>(child->data)) {
      const Chain link{child->node, chain};
      blend->InitRenderOn(child->node, irs, &link);
    } else {
      child->data->InitRender(child->node, irs);
    }
  }
  return INITRENDERRESULT_OK;
}

void OVLblend::FreeRender(BaseShader* sh) {
  const Chain root{sh, nullptr};
  FreeRenderOn(sh, &root);
}

void OVLblend::FreeRenderOn(BaseShader*, const Chain* chain) {
  for (Child* child : {&childA_, &childB_}) {
    if (!child->data || chain->Holds(child->node)) continue;
    if (auto* blend = dynamic_cast<OVLblend*>(child->data)) {
      const Chain link{child->node, chain};
      blend->FreeRenderOn(child->node, &link);
    } else {
      child->data->FreeRender(child->node);
    }
  }
  childA_ = Child();
  childB_ = Child();
}

LVector OVLblend::Output(BaseShader* sh, ChannelData* cd) {
  const Chain root{sh, nullptr};
  return OutputOn(sh, cd, &root);
}

LVector OVLblend::OutputOn(BaseShader*, ChannelData* cd, const Chain* chain) {
  LVector value[2];
  const Child* children[2] = {&childA_, &childB_};
  for (int k = 0; k < 2; ++k) {
    const Child& child = *children[k];
    if (!child.data || chain->Holds(child.node)) {
      value[k] = LVector(1.0, 1.0, 1.0);
    } else if (auto* blend = dynamic_cast<OVLblend*>(child.data)) {
      const Chain link{child.node, chain};
      value[k] = blend->OutputOn(child.node, cd, &link);
    } else {
      value[k] = child.data->Output(child.node, cd);
    }
  }
  const LVector& a = value[0];
  const LVector& b = value[1];
  const double m = amount_;
  switch (mode_) {
    case OVLBLEND_MODE_ADD: return LVector((a.x + b.x) * m, (a.y + b.y) * m, (a.z + b.z) * m);
    case OVLBLEND_MODE_SUBTRACT: return LVector((a.x - b.x) * m, (a.y - b.y) * m, (a.z - b.z) * m);
    case OVLBLEND_MODE_MULTIPLY: return LVector(a.x * b.x * m, a.y * b.y * m, a.z * b.z * m);
    default: return LVector();
  }
}

std::string OVLblend::GetShaderCode(OVLReturnType type) {
  BaseShader* sh = GetShader();
  if (!sh) return FallbackCode(type);
  const Chain root{sh, nullptr};
  return CodeOn(sh, type, &root);
}

std::string OVLblend::CodeOn(BaseShader* sh, OVLReturnType type, const Chain* chain) {
  // Everything is read into locals: render threads may be sampling the members right now.
  const BaseContainer* bc = sh->GetDataInstance();
  const std::string m = OVLNumber(bc->GetReal(OVLBLEND_AMOUNT));
  const LONG mode = bc->GetLong(OVLBLEND_MODE);
  std::string text[2];
  const LONG links[2] = {OVLBLEND_SHADER_A, OVLBLEND_SHADER_B};
  for (int k = 0; k < 2; ++k) {
    const Child child = LinkedChild(sh, links[k]);
    if (!child.data || chain->Holds(child.node)) {
      text[k] = FallbackCode(type);
    } else if (dynamic_cast<OVLblend*>(child.data)) {
      const Chain link{child.node, chain};
      text[k] = CodeOn(child.node, type, &link);
    } else {
      text[k] = child.data->GetShaderCode(type);
    }
  }
  const std::string& ta = text[0];
  const std::string& tb = text[1];
  if (mode == OVLBLEND_MODE_SUBTRACT) return "(" + ta + " - " + tb + ") * " + m;
  if (mode == OVLBLEND_MODE_MULTIPLY)
    return type == OVL_RETURN_VEC3 ? "mulCompVec3(" + ta + ", " + tb + ") * " + m
                                   : "(" + ta + " * " + tb + ") * " + m;
  return "(" + ta + " + " + tb + ") * " + m;
}

Bool RegisterOVLblend() {
  return RegisterShaderPlugin(ID_OVLBLEND, "OVL Blend", 0, OVLblend::Alloc, "xovlblend", 0);
}
