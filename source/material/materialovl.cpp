// OVL programs in material channels: a generated shader's expression behind the prelude and the
// channel's evaluation header, or the code shader's own program with its images as textures.
#include <tinyxml.h>

#include <cstdint>
#include <string>
#include <algorithm>
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

// `text` with the occurrences of `pattern` that it holds replaced by `replacement`, left to right.
std::string ReplaceInOnePass(const std::string& text, const std::string& pattern,
                             const std::string& replacement) {
  std::string out;
  size_t from = 0;
  for (size_t p; (p = text.find(pattern, from)) != std::string::npos; from = p + pattern.size())
    out.append(text, from, p - from).append(replacement);
  return out.append(text, from, std::string::npos);
}

// Replaces the first occurrence of `pattern` (not empty) by `replacement` until none is left, as
// searching again from the start after each replacement does, and puts the result in `*out`.
// False, with `*out` unspecified, when more than `budget` replacements would be needed.
//
// The text is read once from left to right into `done`, which never holds an occurrence: the
// first time `done` ends with the pattern, that occurrence is the first one of the whole text
// (one that began earlier would have ended earlier). It is taken off `done`, and the replacement
// is put in front of what is still to be read, so that an occurrence it completes with what
// stands around it is found in turn. `matched[i]` is how much of the pattern the first i
// characters of `done` end with (Knuth-Morris-Pratt), so taking characters off costs nothing.
bool ReplaceRepeatedly(const std::string& text, const std::string& pattern, const std::string& replacement,
                       size_t budget, std::string* out) {
  const size_t m = pattern.size();
  std::vector<size_t> border(m, 0);  // border[k]: longest proper border of the first k + 1 characters
  for (size_t k = 1, b = 0; k < m; ++k) {
    while (b > 0 && pattern[k] != pattern[b]) b = border[b - 1];
    if (pattern[k] == pattern[b]) ++b;
    border[k] = b;
  }
  std::string& done = *out;
  done.clear();
  std::vector<size_t> matched{0};
  std::string pending(text.rbegin(), text.rend());  // read from its end
  size_t replacements = 0;
  while (!pending.empty()) {
    const char c = pending.back();
    pending.pop_back();
    size_t k = matched.back();
    while (k > 0 && pattern[k] != c) k = border[k - 1];
    if (pattern[k] == c) ++k;
    done.push_back(c);
    matched.push_back(k);
    if (k < m) continue;
    if (replacements++ == budget) return false;
    done.resize(done.size() - m);
    matched.resize(matched.size() - m);
    pending.append(replacement.rbegin(), replacement.rend());
  }
  return true;
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
  // A replacement that holds the pattern leaves an occurrence behind every time: the repetition
  // would not end.
  if (replacement.find(pattern) != std::string::npos) return ReplaceInOnePass(text, pattern, replacement);
  // When some character occurs more often in the pattern than in the replacement, every
  // replacement lowers its count in the text, so the repetition ends after at most as many
  // replacements as the text has characters. This is the case of every placeholder ("$tex01$"
  // holds two "$", a decimal number none).
  size_t inPattern[256] = {}, inReplacement[256] = {};
  for (unsigned char c : pattern) ++inPattern[c];
  for (unsigned char c : replacement) ++inReplacement[c];
  bool shrinks = false;
  for (int c = 0; c < 256 && !shrinks; ++c) shrinks = inPattern[c] > inReplacement[c];
  std::string result;
  if (shrinks) {
    ReplaceRepeatedly(text, pattern, replacement, SIZE_MAX, &result);
    return result;
  }
  // Otherwise the replacement holds every character of the pattern as often or more often, and
  // whether the repetition ends cannot be told from the three texts by a simple rule: "ab" ->
  // "ba" moves every "b" before every "a" and ends after at most n * n / 4 replacements on a text
  // of n characters; "ab" -> "bbaa" makes "aab" grow for ever; "ab" -> "bba" ends on "a...ab"
  // only after 2^k - 1 replacements for k "a". The repetition is given (n + 1)^2 replacements, as
  // many as it takes for every character of the text to pass every other one, and never fewer
  // than 65536, which a short text's slow but ending repetition takes; one that has not ended by
  // then is taken as one that does not end, in time and memory that a shader program can take,
  // and the text gets one left-to-right pass instead.
  constexpr size_t kLeastBudget = size_t(1) << 16;
  const size_t n = text.size();
  const size_t budget = n < (size_t(1) << 31) ? std::max((n + 1) * (n + 1), kLeastBudget) : SIZE_MAX;
  if (ReplaceRepeatedly(text, pattern, replacement, budget, &result)) return result;
  return ReplaceInOnePass(text, pattern, replacement);
}
