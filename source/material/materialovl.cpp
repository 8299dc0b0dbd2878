// OVL programs in material channels: a generated shader's expression behind the prelude and the
// channel's evaluation header, or the code shader's own program with its images as textures.
#include <tinyxml.h>

#include <string>

#include "export/orvanescenedata.h"
#include "export/xmlbuilders.h"
#include "main/helpers.h"
#include "material/customorvanematerial.h"
#include "material/ovlprelude.h"
#include "shader/ovlshader.h"

namespace {

// Texture values of a code shader's images.
constexpr double kCodeTextureExponent = 2.2;
constexpr double kCodeTextureA = 0.0;
constexpr double kCodeTextureB = 1.0;
constexpr double kCodeTextureC = 0.0;

// The program of a code shader: its OVL_CODE with each image written as a texture of `material`
// and its placeholder replaced by that texture's index.
std::string CodeShaderProgram(CustomOrvaneMaterial* self, TiXmlElement* material, BaseShader* shader,
                              int& textureIndex, const Filename& sceneDir) {
  const BaseContainer* data = shader->GetDataInstance();
  std::string program = Helpers::ToUTF8String(data->GetString(OVL_CODE, String("no shader")));
  const Filename images[3] = {data->GetFilename(OVL_TEXTURE1), data->GetFilename(OVL_TEXTURE2),
                              data->GetFilename(OVL_TEXTURE3)};
  static const char* const kPlaceholders[3] = {"$tex01$", "$tex02$", "$tex03$"};
  for (int k = 0; k < 3; ++k) {
    if (!images[k].Content()) continue;
    ExportTexture(material, Helpers::ToUTF8String(images[k].GetString()), kCodeTextureExponent, kCodeTextureA,
                  kCodeTextureB, kCodeTextureC, sceneDir, 0);
    program = self->ReplaceShaderString(program, kPlaceholders[k], std::to_string(textureIndex));
    ++textureIndex;
  }
  return program;
}

// The expression of a generated shader; the family's fall-back for a shader without one.
std::string GeneratedExpression(BaseShader* shader, OVLReturnType type) {
  OVLShaderData* data = dynamic_cast<OVLShaderData*>(shader->GetNodeData());
  return data ? data->GetShaderCode(type) : OVLShaderData::FallbackCode(type);
}

}  // namespace

int CustomOrvaneMaterial::ExportShader(TiXmlElement* material, TiXmlElement* channel, BaseShader* shader,
                                       int& textureIndex, std::string evalHeader, OVLReturnType returnType) {
  if (!shader || !channel || !material) return 0;
  TiXmlElement* outer = new TiXmlElement("shader");
  channel->LinkEndChild(outer);
  TiXmlElement* inner = new TiXmlElement("shader");
  outer->LinkEndChild(inner);

  std::string program;
  if (shader->IsInstanceOf(ID_OVLSHADER)) {
    program =
        CodeShaderProgram(this, material, shader, textureIndex, sceneData ? sceneData->sceneDir : Filename());
  } else {
    program =
        std::string(OVLPrelude, kOVLPreludeLength) + evalHeader + GeneratedExpression(shader, returnType);
  }
  // A program that would end its own CDATA section goes as ordinary, escaped text.
  TiXmlText* text = new TiXmlText(program);
  text->SetCDATA(program.find("]]>") == std::string::npos);
  inner->LinkEndChild(text);
  return 1;
}

std::string CustomOrvaneMaterial::ReplaceShaderString(std::string text, std::string pattern,
                                                      std::string replacement) {
  if (pattern.empty()) return text;
  if (replacement.find(pattern) != std::string::npos) {
    // Searching again from the start would find the replacement itself without end: replace the
    // occurrences of the text as it is, left to right.
    std::string out;
    size_t from = 0;
    for (size_t p; (p = text.find(pattern, from)) != std::string::npos; from = p + pattern.size())
      out.append(text, from, p - from).append(replacement);
    return out.append(text, from, std::string::npos);
  }
  // Always the first occurrence, searching again after each replacement, since a replacement may
  // complete a new occurrence with what stands around it. Before the last match there was none,
  // and the text there is unchanged, so a new one starts at most a pattern's length before it.
  for (size_t from = 0, p; (p = text.find(pattern, from)) != std::string::npos;) {
    text.replace(p, pattern.size(), replacement);
    from = p >= pattern.size() - 1 ? p - (pattern.size() - 1) : 0;
  }
  return text;
}
