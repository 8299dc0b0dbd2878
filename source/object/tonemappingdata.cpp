#include "object/tonemappingdata.h"

#include <charconv>

namespace {

// A real with eight decimals, independent of the locale.
std::string Fixed8(Real v) {
  char buf[400];
  std::to_chars_result res = std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, 8);
  return std::string(buf, res.ptr);
}

// Text for an XML element's content: markup characters escaped.
std::string EscapeXml(const std::string& s) {
  std::string out;
  out.reserve(s.size());
  for (char c : s) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&apos;"; break;
      default: out += c; break;
    }
  }
  return out;
}

}  // namespace

std::string TonemappingText(const TonemappingData& tm) {
  std::string s = "<tonemapping>";
  switch (tm.tonemapper) {
    case TonemappingData::REINHARD:
      s += "<reinhard><pre_scale>" + Fixed8(tm.reinhardPreScale) + "</pre_scale><post_scale>" +
           Fixed8(tm.reinhardPostScale) + "</post_scale><burn>" + Fixed8(tm.reinhardBurn) +
           "</burn></reinhard>";
      break;
    case TonemappingData::CAMERA:
      s += "<camera><response_function_path>data/camera_response_functions/" +
           EscapeXml(tm.cameraResponseFile) + "</response_function_path><film_iso>" + Fixed8(tm.filmIso) +
           "</film_iso><ev_adjust>" + Fixed8(tm.evAdjust) + "</ev_adjust></camera>";
      break;
    default: s += "<linear><scale>" + Fixed8(tm.linearScale) + "</scale></linear>"; break;
  }
  return s + "</tonemapping>";
}

std::string WhitePointText(const TonemappingData& tm) {
  return "<white_point><chromaticity_coordinates><x>" + Fixed8(tm.whitePointX) + "</x><y>" +
         Fixed8(tm.whitePointY) + "</y></chromaticity_coordinates></white_point>";
}

std::string LayerControlsText(const TonemappingData& tm) {
  std::string s = "<layer_controls>";
  for (int i = 0; i < kTonemappingLayers; ++i) {
    const Real gain = tm.layerGain[i];
    s += "<layer_control><scale>" + Fixed8(tm.layerColor[i][0] * gain) + " " +
         Fixed8(tm.layerColor[i][1] * gain) + " " + Fixed8(tm.layerColor[i][2] * gain) +
         "</scale></layer_control>";
  }
  return s + "</layer_controls>";
}
