// OVL programs in material channels: a generated shader's expression behind the prelude and the
// channel's evaluation header, or the code shader's own program with its images as textures.
#include <tinyxml.h>

#include <string>
#include <vector>

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
// (the material `name`, as the console names it) and its placeholder replaced by that texture's index.
std::string CodeShaderProgram(CustomOrvaneMaterial* self, TiXmlElement* material, BaseShader* shader,
                              int& textureIndex, const Filename& sceneDir, const String& name) {
  const BaseContainer* data = shader->GetDataInstance();
  std::string program = Helpers::ToUTF8String(data->GetString(OVL_CODE, String("no shader")));
  const Filename images[3] = {data->GetFilename(OVL_TEXTURE1), data->GetFilename(OVL_TEXTURE2),
                              data->GetFilename(OVL_TEXTURE3)};
  static const char* const kPlaceholders[3] = {"$tex01$", "$tex02$", "$tex03$"};
  for (int k = 0; k < 3; ++k) {
    if (!images[k].Content()) continue;
    const std::string path = Helpers::ToUTF8String(images[k].GetString());
    // An image at a path no program could open: said, and no scene names it.
    if (self->sceneData) self->sceneData->TextureFits(path, name);
    ExportTexture(material, path, kCodeTextureExponent, kCodeTextureA, kCodeTextureB, kCodeTextureC, sceneDir,
                  0);
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

// `text` with the occurrences of `pattern` (not empty) replaced by `replacement`, read once from
// left to right with the Knuth-Morris-Pratt automaton. Without `again` every occurrence of the
// text as given is replaced, and a replacement is not read again. With `again` the first
// occurrence is replaced until none is left, as searching again from the start after each
// replacement does: the first time the text read so far (`done`) ends with the pattern, that
// occurrence is the first one of the whole text (one that began earlier would have ended
// earlier); it is taken off `done`, and the replacement is read next, so that an occurrence it
// completes with what stands around it is found in turn. `matched[i]` is how much of the pattern
// the first i characters of `done` end with, so taking characters off costs nothing.
std::string ReplaceLeftToRight(const std::string& text, const std::string& pattern,
                               const std::string& replacement, bool again) {
  const size_t m = pattern.size();
  std::vector<size_t> border(m, 0);  // border[k]: longest proper border of the first k + 1 characters
  for (size_t k = 1, b = 0; k < m; ++k) {
    while (b > 0 && pattern[k] != pattern[b]) b = border[b - 1];
    if (pattern[k] == pattern[b]) ++b;
    border[k] = b;
  }
  std::string done;
  done.reserve(text.size());
  std::vector<size_t> matched;
  if (again) matched.push_back(0);
  std::string pending;  // replacements still to be read, their last character first
  size_t k = 0;
  for (size_t next = 0; next < text.size() || !pending.empty();) {
    char c;
    if (pending.empty()) {
      c = text[next++];
    } else {
      c = pending.back();
      pending.pop_back();
    }
    while (k > 0 && pattern[k] != c) k = border[k - 1];
    if (pattern[k] == c) ++k;
    done.push_back(c);
    if (again) matched.push_back(k);
    if (k < m) continue;
    done.resize(done.size() - m);
    if (again) {
      matched.resize(matched.size() - m);
      k = matched.back();
      pending.append(replacement.rbegin(), replacement.rend());
    } else {
      done += replacement;
      k = 0;
    }
  }
  return done;
}

}  // namespace

int CustomOrvaneMaterial::ExportShader(TiXmlElement* material, TiXmlElement* channel, BaseShader* shader,
                                       int& textureIndex, std::string evalHeader, OVLReturnType returnType,
                                       const String& name) {
  if (!shader || !channel || !material) return 0;
  TiXmlElement* outer = new TiXmlElement("shader");
  channel->LinkEndChild(outer);
  TiXmlElement* inner = new TiXmlElement("shader");
  outer->LinkEndChild(inner);

  std::string program;
  if (shader->IsInstanceOf(ID_OVLSHADER)) {
    program = CodeShaderProgram(this, material, shader, textureIndex,
                                sceneData ? sceneData->sceneDir : Filename(), name);
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
  // When some character occurs more often in the pattern than in the replacement, every
  // replacement lowers its count in the text, so repeating ends after at most as many
  // replacements as the text has characters. This is the case of every placeholder ("$tex01$"
  // holds two "$", a decimal number none). Otherwise (a replacement that holds the pattern, or
  // "ab" -> "bba", which ends on "a...ab" only after 2^k - 1 replacements for k "a") the text
  // gets one pass.
  size_t inPattern[256] = {}, inReplacement[256] = {};
  for (unsigned char c : pattern) ++inPattern[c];
  for (unsigned char c : replacement) ++inReplacement[c];
  bool shrinks = false;
  for (int c = 0; c < 256 && !shrinks; ++c) shrinks = inPattern[c] > inReplacement[c];
  return ReplaceLeftToRight(text, pattern, replacement, shrinks);
}
