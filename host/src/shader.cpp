// Sampling shaders.
#include "c4d_basematerial.h"
#include "c4d_nodedata.h"
#include "c4d_shader.h"

LONG ShaderData::InitRender(BaseShader*, InitRenderStruct*) { return INITRENDERRESULT_OK; }
void ShaderData::FreeRender(BaseShader*) {}
LVector ShaderData::Output(BaseShader*, ChannelData*) { return LVector(); }
LONG ShaderData::GetRenderInfo(BaseShader*) { return 0; }

namespace {
// The plug-in data of a plug-in shader; null for the host's own shaders.
ShaderData* PluginData(BaseShader* sh) { return dynamic_cast<ShaderData*>(sh->GetNodeData()); }
}  // namespace

LONG BaseShader::InitRender(InitRenderStruct* irs) {
  ShaderData* d = PluginData(this);
  return d ? d->InitRender(this, irs) : INITRENDERRESULT_OK;
}

LVector BaseShader::Sample(ChannelData* cd) {
  ShaderData* d = PluginData(this);
  return d && cd ? d->Output(this, cd) : LVector();
}

void BaseShader::FreeRender() {
  if (ShaderData* d = PluginData(this)) d->FreeRender(this);
}

Bool HandleInitialChannel(GeListNode* node, LONG, LONG type, void*) {
  return node && type == MSG_INITIAL_CHANNEL;
}

void HandleShaderMessage(GeListNode*, BaseShader* shader, LONG type, void* data) {
  if (shader) shader->Message(type, data);
}
