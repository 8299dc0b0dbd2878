// Tests of the readers below the material level: child checks, values,
// spectra, tabulated data, parameters, media, textures and rotations. Exact
// messages, with their location suffixes, are the oracles.

#include <cmath>
#include <functional>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <tinyxml.h>

#include "orvane_utils/OrvaneElementModel.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "parse_test_support.h"

using namespace Orvane;
using parse_test::at;
using parse_test::errorOf;
using parse_test::Snippet;
typedef OrvaneSceneParseUtils PU;

namespace {

const char* const kParamForms[] = {"constant", "texture", "shader", nullptr};

// A reader's result seen as its concrete class; holds the object while used.
template <class T, class Base>
struct Held {
  Reference<Base> ref;
  const T* p;
  const T* operator->() const {
    EXPECT_NE(p, nullptr) << "wrong class";
    return p;
  }
  const T* get() const { return p; }
};

template <class T, class Base>
Held<T, Base> as(const Reference<Base>& ref) {
  return Held<T, Base>{ref, dynamic_cast<const T*>(ref.getPointer())};
}

PU::TextureList textures(size_t n) { return PU::TextureList(n); }

// ---------------------------------------------------------------------------
// Child checks and the location suffix

struct CheckCase {
  const char* xml;
  const char* expected;  // "" when the check passes
};

TEST(ParseUtilsChecks, ExactlyOneChildOfConstantTextureShader) {
  const CheckCase cases[] = {
      {"<albedo><constant/></albedo>", ""},
      {"<albedo><!-- note --><constant/>text</albedo>", ""},
      {"<albedo></albedo>",
       "Failed to find child for element 'albedo' - Child should be one of 'constant', 'shader', "
       "'texture'."},
      {"<albedo>only text</albedo>",
       "Failed to find child for element 'albedo' - Child should be one of 'constant', "
       "'shader', 'texture'."},
      {"<albedo><texture/><constant/></albedo>",
       "Found unexpected element 'constant,  already parsed mutually exclusive element 'texture'."},
      {"<albedo><shader/><shader/></albedo>",
       "Found unexpected element 'shader,  already parsed mutually exclusive element 'shader'."},
      {"<albedo><constant/><colour/></albedo>", "Found unexpected element 'colour'."},
      {"<albedo><Constant/></albedo>", "Found unexpected element 'Constant'."},
  };
  for (const CheckCase& c : cases) {
    Snippet s(c.xml);
    const std::string error = errorOf([&] { PU::checkExactlyOneChild(s.root(), kParamForms); });
    EXPECT_EQ(error, *c.expected ? std::string(c.expected) + at("albedo", 1, 1) : "<no error>") << c.xml;
  }
}

TEST(ParseUtilsChecks, OnlyElements) {
  const char* const allowed[] = {"a", "b", nullptr};
  const char* const none[] = {nullptr};
  Snippet ok("<p><a/><b/><a/>text<!-- c --></p>");
  EXPECT_EQ(errorOf([&] { PU::checkOnlyElements(ok.root(), allowed); }), "<no error>");
  Snippet bad("<p><a/><x/><y/></p>");
  EXPECT_EQ(errorOf([&] { PU::checkOnlyElements(bad.root(), allowed); }),
            "Found unexpected element 'x'." + at("p", 1, 1));
  Snippet text("<p>just text</p>");
  EXPECT_EQ(errorOf([&] { PU::checkOnlyElements(text.root(), none); }), "<no error>");
  Snippet child("<p>text<a/></p>");
  EXPECT_EQ(errorOf([&] { PU::checkOnlyElements(child.root(), none); }),
            "Found unexpected element 'a'." + at("p", 1, 1));
}

TEST(ParseUtilsChecks, SuffixNamesTheParentWithItsRowAndColumn) {
  // The parent's start tag is on line 3, column 3 (TinyXML counts a tab as
  // reaching the next multiple of four, so two spaces are used here).
  Snippet s("<root>\n <x/>\n  <albedo>\n    <bad/>\n  </albedo>\n</root>");
  const TiXmlElement& albedo = *s.root().FirstChildElement("albedo");
  EXPECT_EQ(PU::elemContext(albedo), "  (In element 'albedo', around line 3, column 3)");
  EXPECT_EQ(errorOf([&] { PU::checkExactlyOneChild(albedo, kParamForms); }),
            "Found unexpected element 'bad'." + at("albedo", 3, 3));
  EXPECT_EQ(errorOf([&] { PU::getChildElement(albedo, "missing"); }),
            "Failed to find expected element 'missing'." + at("albedo", 3, 3));
  EXPECT_EQ(&PU::getChildElement(albedo, "bad"), albedo.FirstChildElement("bad"));
}

// ---------------------------------------------------------------------------
// Values

struct ValueCase {
  const char* text;                                      // the child's content
  std::function<std::string(const TiXmlElement&)> read;  // the value as text
  const char* expected;  // the value as text, or the message before the suffix
};

// Fifteen digits: the number reader's last bit may differ from the nearest
// double to the decimal text.
std::string num(double d) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.15g", d);
  return buf;
}

TEST(ParseUtilsValues, NumbersVectorsAndBooleans) {
  const auto dbl = [](const TiXmlElement& e) { return num(PU::parseDouble(e, "v")); };
  const auto integer = [](const TiXmlElement& e) { return std::to_string(PU::parseInt(e, "v")); };
  const auto vec2 = [](const TiXmlElement& e) {
    const Reference<Vec2> v = PU::parseVec2(e, "v");
    return num(v->x) + " " + num(v->y);
  };
  const auto vec3 = [](const TiXmlElement& e) {
    const Reference<Vec3> v = PU::parseVec3(e, "v");
    return num(v->x) + " " + num(v->y) + " " + num(v->z);
  };
  const auto boolean = [](const TiXmlElement& e) {
    return std::string(PU::parseBool(e, "v") ? "true" : "false");
  };
  const auto string = [](const TiXmlElement& e) { return "[" + PU::parseString(e, "v") + "]"; };
  const ValueCase cases[] = {
      {"0.5", dbl, "0.5"},
      {"  -2.5e3 ", dbl, "-2500"},
      {"0.5<!-- c -->7", dbl, "0.57"},
      {"1.5x", dbl, "Parse error while parsing double from '1.5x'."},
      {"x1.5", dbl, "Failed to parse double from 'x1.5'."},
      {"", dbl, "Failed to parse double from ''."},
      {"1 2", dbl, "Parse error while parsing double from '1 2'."},
      // Numbers beyond the double range are errors, never infinities.
      {"1e309", dbl, "Failed to parse double from '1e309'."},
      {"-1e400", dbl, "Failed to parse double from '-1e400'."},
      {"1e-400", dbl, "0"},
      {"1 1e309", vec2, "Failed to parse Vec2 from '1 1e309'."},
      {"42", integer, "42"},
      {"-2147483648", integer, "-2147483648"},
      {"2147483647", integer, "2147483647"},
      // Integers that do not fit are errors, never wrapped values.
      {"2147483648", integer, "Failed to parse integer from '2147483648'."},
      {"4294967298", integer, "Failed to parse integer from '4294967298'."},
      {"-2147483649", integer, "Failed to parse integer from '-2147483649'."},
      {"99999999999999999999999", integer, "Failed to parse integer from '99999999999999999999999'."},
      {"12.5", integer, "Parse error while parsing integer from '12.5'."},
      {"ten", integer, "Failed to parse integer from 'ten'."},
      {"0.25 0.5", vec2, "0.25 0.5"},
      {"0.25", vec2, "Failed to parse Vec2 from '0.25'."},
      {"1 2 3", vec2, "Parse error while parsing Vec2 from '1 2 3'."},
      {"0.2 0.3 0.4", vec3, "0.2 0.3 0.4"},
      {"1-2-3", vec3, "1 -2 -3"},
      {"0.2 0.3", vec3, "Failed to parse Vec3 from '0.2 0.3'."},
      {"0.2 0.3 0.4 0.5", vec3, "Parse error while parsing Vec3 from '0.2 0.3 0.4 0.5'."},
      {"0.2,0.3,0.4", vec3, "Failed to parse Vec3 from '0.2,0.3,0.4'."},
      {"true", boolean, "true"},
      {"false", boolean, "false"},
      {"True", boolean, "Invalid boolean value (Should be 'true' or 'false')."},
      {"1", boolean, "Invalid boolean value (Should be 'true' or 'false')."},
      {"yes", boolean, "Invalid boolean value (Should be 'true' or 'false')."},
      {"", boolean, "Invalid boolean value (Should be 'true' or 'false')."},
      {"Hel<!-- c -->lo", string, "[Hello]"},
      {"  a \n\t b  ", string, "[a b]"},
      {"<![CDATA[ x < y ]]>", string, "[ x < y ]"},
      {"<inner>skipped</inner>kept", string, "[kept]"},
  };
  for (const ValueCase& c : cases) {
    Snippet s(std::string("<e><v>") + c.text + "</v><v>9</v></e>");
    std::string got;
    const std::string error = errorOf([&] { got = c.read(s.root()); });
    if (error == "<no error>")
      EXPECT_EQ(got, c.expected) << c.text;
    else
      EXPECT_EQ(error, c.expected + at("e", 1, 1)) << c.text;
  }
}

TEST(ParseUtilsValues, MissingChildAndDefaults) {
  Snippet s("<e><present>2</present><bad>x</bad></e>");
  const TiXmlElement& e = s.root();
  const std::string missing = "could not find element 'v'." + at("e", 1, 1);
  EXPECT_EQ(errorOf([&] { PU::parseString(e, "v"); }), missing);
  EXPECT_EQ(errorOf([&] { PU::parseBool(e, "v"); }), missing);
  EXPECT_EQ(errorOf([&] { PU::parseDouble(e, "v"); }), missing);
  EXPECT_EQ(errorOf([&] { PU::parseInt(e, "v"); }), missing);
  EXPECT_EQ(errorOf([&] { PU::parseVec2(e, "v"); }), missing);
  EXPECT_EQ(errorOf([&] { PU::parseVec3(e, "v"); }), missing);
  EXPECT_EQ(errorOf([&] { PU::parseMatrix2(e, "matrix"); }),
            "could not find element 'matrix'." + at("e", 1, 1));

  EXPECT_EQ(PU::parseStringWithDefault(e, "v", "def"), "def");
  EXPECT_EQ(PU::parseBoolWithDefault(e, "v", true), true);
  EXPECT_DOUBLE_EQ(PU::parseDoubleWithDefault(e, "v", 1.25), 1.25);
  EXPECT_EQ(PU::parseIntWithDefault(e, "v", -7), -7);
  EXPECT_EQ(PU::parseIntWithDefault(e, "present", -7), 2);
  EXPECT_EQ(PU::parseStringWithDefault(e, "present", "def"), "2");
  // A present but malformed child still fails.
  EXPECT_EQ(errorOf([&] { PU::parseDoubleWithDefault(e, "bad", 1.0); }),
            "Failed to parse double from 'x'." + at("e", 1, 1));
  EXPECT_EQ(errorOf([&] { PU::parseBoolWithDefault(e, "bad", true); }),
            "Invalid boolean value (Should be 'true' or 'false')." + at("e", 1, 1));
}

TEST(ParseUtilsValues, Matrix2IgnoresWhatFollowsTheFourthNumber) {
  Snippet ok("<uv><matrix>1 0 0 1 2</matrix></uv>");
  const Reference<Matrix2> m = PU::parseMatrix2(ok.root(), "matrix");
  EXPECT_EQ(std::vector<double>(m->e, m->e + 4), (std::vector<double>{1, 0, 0, 1}));
  Snippet bad("<uv><matrix>1 0 0</matrix></uv>");
  EXPECT_EQ(errorOf([&] { PU::parseMatrix2(bad.root(), "matrix"); }),
            "syntax error while parsing Matrix2." + at("uv", 1, 1));
}

TEST(ParseUtilsValues, SelfTestPasses) { PU::test(); }

// ---------------------------------------------------------------------------
// Spectra

TEST(ParseUtilsSpectra, EveryKind) {
  {
    Snippet s("<c><uniform><value>0.7</value></uniform></c>");
    const Reference<OrvaneSpectrum> sp = PU::parseSpectrum(s.root());
    EXPECT_EQ(sp->GetType(), OrvaneUniformSpectrum::TYPE);
    EXPECT_DOUBLE_EQ(as<OrvaneUniformSpectrum>(sp)->value, 0.7);
  }
  {
    Snippet s("<c><rgb><rgb>0.1 0.2 0.3</rgb><gamma>2.2</gamma></rgb></c>");
    const Reference<OrvaneSpectrum> sp = PU::parseSpectrum(s.root());
    const auto rgb = as<OrvaneRGBSpectrum>(sp);
    EXPECT_DOUBLE_EQ(rgb->rgb->x, 0.1);
    EXPECT_DOUBLE_EQ(rgb->rgb->y, 0.2);
    EXPECT_DOUBLE_EQ(rgb->rgb->z, 0.3);
    EXPECT_DOUBLE_EQ(rgb->gamma, 2.2);
  }
  {
    Snippet s(
        "<c><peak><peak_min>5e-7</peak_min><peak_width>1e-7</peak_width><peak_value>2</peak_value>"
        "<base_value>0.5</base_value></peak></c>");
    const auto p = as<OrvanePeakSpectrum>(PU::parseSpectrum(s.root()));
    EXPECT_DOUBLE_EQ(p->peak_min, 5e-7);
    EXPECT_DOUBLE_EQ(p->peak_width, 1e-7);
    EXPECT_EQ(p->peak_value, 2);
    EXPECT_DOUBLE_EQ(p->base_value, 0.5);
  }
  {
    Snippet s("<c><blackbody><temperature>6500</temperature><gain>3</gain></blackbody></c>");
    const auto b = as<OrvaneBlackBodySpectrum>(PU::parseSpectrum(s.root()));
    EXPECT_EQ(b->temperature, 6500);
    EXPECT_EQ(b->gain, 3);
  }
  {
    // Metres in the file, nanometres in the model; the fourth value is ignored.
    Snippet s(
        "<c><regular_tabulated><start_wavelength>3.8e-7</start_wavelength>"
        "<end_wavelength>7.2e-7</end_wavelength><num_values>3</num_values>"
        "<values>0.1 0.2 0.3 0.4</values></regular_tabulated></c>");
    const auto r = as<OrvaneRegularSpectrum>(PU::parseSpectrum(s.root()));
    EXPECT_NEAR(r->start_wavelength, 380, 1e-9);
    EXPECT_NEAR(r->end_wavelength, 720, 1e-9);
    EXPECT_EQ(r->num_values, 3);
    EXPECT_THAT(r->values, testing::Pointwise(testing::DoubleEq(), std::vector<double>{0.1, 0.2, 0.3}));
  }
}

TEST(ParseUtilsSpectra, Failures) {
  const std::string regular =
      "<c><regular_tabulated><start_wavelength>%S</start_wavelength><end_wavelength>%E"
      "</end_wavelength><num_values>%N</num_values><values>%V</values></regular_tabulated></c>";
  const auto reg = [&](const char* start, const char* end, const char* n, const char* values) {
    std::string x = regular;
    x.replace(x.find("%S"), 2, start);
    x.replace(x.find("%E"), 2, end);
    x.replace(x.find("%N"), 2, n);
    x.replace(x.find("%V"), 2, values);
    return x;
  };
  const std::string c = at("c", 1, 1);
  const std::string rt = at("regular_tabulated", 1, 4);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<c/>",
       "Failed to find child for element 'c' - Child should be one of 'blackbody', 'peak', "
       "'regular_tabulated', 'rgb', 'uniform'." +
           c},
      {"<c><rgb/><uniform/></c>",
       "Found unexpected element 'uniform,  already parsed mutually exclusive element 'rgb'." + c},
      {"<c><grey/></c>", "Found unexpected element 'grey'." + c},
      {"<c><uniform><value>0.8</value><gain>1</gain></uniform></c>",
       "Found unexpected element 'gain'." + at("uniform", 1, 4)},
      {"<c><rgb><rgb>1 1 1</rgb></rgb></c>", "could not find element 'gamma'." + at("rgb", 1, 4)},
      {"<c><rgb><rgb>1 1</rgb><gamma>1</gamma></rgb></c>",
       "Failed to parse Vec3 from '1 1'." + at("rgb", 1, 4)},
      {"<c><blackbody><temperature>hot</temperature><gain>1</gain></blackbody></c>",
       "Failed to parse double from 'hot'." + at("blackbody", 1, 4)},
      {"<c><peak><peak_min>1</peak_min></peak></c>",
       "could not find element 'peak_width'." + at("peak", 1, 4)},
      {reg("4e-7", "7e-7", "3", "0.1 0.2 0.3"), ""},
      {reg("4e-7", "7e-7", "3", "0.1 0.2"), "Syntax error while parsing data." + rt},
      {reg("4e-7", "7e-7", "3", "0.1 x 0.3"), "Syntax error while parsing data." + rt},
      {reg("9", "0", "1", "0.1"), "num_values must be >= 2." + rt},
      {reg("4e-7", "7e-7", "1000001", "0.1"), "num_values must be <= 1e6." + rt},
      {reg("4e-7", "7e-7", "4294967298", "0.1 0.2"), "Failed to parse integer from '4294967298'." + rt},
      {reg("4.0001e-7", "7e-7", "2", "0.1 0.2"), "start_wavelength must be <= 0.4e-6 m (400 nm)." + rt},
      {reg("4e-7", "6.9999e-7", "2", "0.1 0.2"), "end_wavelength must be >= 0.7e-6 m (700 nm)." + rt},
      // A million values claimed but two given: fails without building a million.
      {reg("4e-7", "7e-7", "1000000", "0.1 0.2"), "Syntax error while parsing data." + rt},
  };
  for (const auto& kase : cases) {
    Snippet s(kase.first);
    EXPECT_EQ(errorOf([&] { PU::parseSpectrum(s.root()); }), kase.second.empty() ? "<no error>" : kase.second)
        << kase.first;
  }
}

// ---------------------------------------------------------------------------
// Tabulated spectral data

std::string tableXML(const std::string& rows, const std::string& columns, const std::string& values,
                     const std::string& start = "4e-7", const std::string& end = "7e-7") {
  return "<t><start_wavelength>" + start + "</start_wavelength><end_wavelength>" + end +
         "</end_wavelength><num_rows>" + rows + "</num_rows><num_columns>" + columns +
         "</num_columns><values>" + values + "</values></t>";
}

TEST(ParseUtilsTabulated, ReadsRowsTimesColumnsValuesInMetres) {
  Snippet s(tableXML("2", "3", "1 2 3 4 5 6 7", "3.5e-7", "8e-7"));
  const Reference<OrvaneTabulatedSpectralData> t = PU::parseTabulatedSpectralData(s.root());
  EXPECT_DOUBLE_EQ(t->start_wavelength, 3.5e-7);
  EXPECT_DOUBLE_EQ(t->end_wavelength, 8e-7);
  EXPECT_EQ(t->num_rows, 2);
  EXPECT_EQ(t->num_columns, 3);
  EXPECT_EQ(t->values, (std::vector<double>{1, 2, 3, 4, 5, 6}));
}

TEST(ParseUtilsTabulated, LimitsAndOverflow) {
  const std::string t = at("t", 1, 1);
  const std::vector<std::pair<std::string, std::string>> cases = {
      {tableXML("1", "3", "1"), "num_rows must be >= 2." + t},
      {tableXML("1000001", "3", "1"), "num_rows must be <= 1e6." + t},
      {tableXML("2", "1", "1"), "num_columns must be >= 2." + t},
      {tableXML("2", "1000001", "1"), "num_columns must be <= 1e6." + t},
      {tableXML("2", "-5", "1"), "num_columns must be >= 2." + t},
      // A wrapped 4294967298 would read as 2 and pass "at least 2".
      {tableXML("4294967298", "2", "1 2 3 4"), "Failed to parse integer from '4294967298'." + t},
      {tableXML("2", "4294967298", "1 2 3 4"), "Failed to parse integer from '4294967298'." + t},
      {tableXML("2", "2", "1 2 3 4", "5e-7"), "start_wavelength must be <= 0.4e-6 m (400 nm)." + t},
      {tableXML("2", "2", "1 2 3 4", "4e-7", "6e-7"), "end_wavelength must be >= 0.7e-6 m (700 nm)." + t},
      {tableXML("2", "2", "1 2 3"), "Syntax error while parsing data." + t},
      // A billion values (and the largest product, 10^12) are refused before
      // any storage is taken.
      {tableXML("1000000", "1000", "1 2 3"), "num_rows * num_columns must be <= 1e7." + t},
      {tableXML("1000000", "1000000", "1 2 3"), "num_rows * num_columns must be <= 1e7." + t},
      // Within the cap, a claim the text cannot hold fails at once.
      {tableXML("1000", "10000", "1 2 3"), "Syntax error while parsing data." + t},
  };
  for (const auto& kase : cases) {
    Snippet s(kase.first);
    EXPECT_EQ(errorOf([&] { PU::parseTabulatedSpectralData(s.root()); }), kase.second) << kase.first;
  }
}

// ---------------------------------------------------------------------------
// Material parameters

TEST(ParseUtilsParameters, FormsOfTheThreeFamilies) {
  const PU::TextureList two = textures(2);
  {
    Snippet s("<albedo><constant><uniform><value>0.7</value></uniform></constant></albedo>");
    const Reference<OrvaneWavelengthDependentParam> p = PU::parseSpectrumMatParameterDirectly(s.root(), two);
    EXPECT_EQ(p->GetType(), OrvaneConstantWavelengthDependentParam::TYPE);
    EXPECT_DOUBLE_EQ(
        as<OrvaneUniformSpectrum>(as<OrvaneConstantWavelengthDependentParam>(p)->spectrum)->value, 0.7);
  }
  {
    Snippet s("<exponent><constant>20</constant></exponent>");
    EXPECT_EQ(as<OrvaneConstantWavelengthIndependentParam>(PU::parseScalarMatParameterDirectly(s.root(), two))
                  ->value,
              20.0);
  }
  {
    Snippet s("<bump><constant> -0.5 </constant></bump>");
    EXPECT_DOUBLE_EQ(
        as<OrvaneConstantDisplacementParam>(PU::parseDisplaceMatParameterDirectly(s.root(), two))->value,
        -0.5);
  }
  {
    Snippet s("<albedo><texture><texture_index>1</texture_index><extra/></texture></albedo>");
    EXPECT_EQ(as<OrvaneTextureWavelengthDependentParam>(PU::parseSpectrumMatParameterDirectly(s.root(), two))
                  ->texture_index,
              1u);
    EXPECT_EQ(as<OrvaneTextureWavelengthIndependentParam>(PU::parseScalarMatParameterDirectly(s.root(), two))
                  ->texture_index,
              1u);
    EXPECT_EQ(as<OrvaneTextureDisplacementParam>(PU::parseDisplaceMatParameterDirectly(s.root(), two))
                  ->texture_index,
              1u);
  }
  {
    Snippet s("<p><shader><shader><![CDATA[def eval() real : a < b]]></shader></shader></p>");
    EXPECT_EQ(as<OrvaneShaderWavelengthDependentParam>(PU::parseSpectrumMatParameterDirectly(s.root(), two))
                  ->shader,
              "def eval() real : a < b");
    EXPECT_EQ(as<OrvaneShaderWavelengthIndependentParam>(PU::parseScalarMatParameterDirectly(s.root(), two))
                  ->shader,
              "def eval() real : a < b");
    EXPECT_EQ(as<OrvaneShaderDisplacementParam>(PU::parseDisplaceMatParameterDirectly(s.root(), two))->shader,
              "def eval() real : a < b");
  }
}

TEST(ParseUtilsParameters, TextureIndicesAtAndPastTheLimit) {
  struct Case {
    size_t count;
    const char* index;
    const char* expected;
  };
  const Case cases[] = {
      {2, "0", ""},
      {2, "1", ""},
      {2, "2", "Texture index '2' is out of bounds."},
      {2, "-1", "Texture index '-1' is out of bounds."},
      {0, "0", "Texture index '0' is out of bounds."},
      {2, "2147483647", "Texture index '2147483647' is out of bounds."},
      {2, "4294967296", "Failed to parse integer from '4294967296'."},
      {2, "one", "Failed to parse integer from 'one'."},
  };
  for (const Case& c : cases) {
    Snippet s(std::string("<bump><texture><texture_index>") + c.index + "</texture_index></texture></bump>");
    const PU::TextureList list = textures(c.count);
    const std::string expected = *c.expected ? c.expected + at("texture", 1, 7) : "<no error>";
    EXPECT_EQ(errorOf([&] { PU::parseDisplaceMatParameterDirectly(s.root(), list); }), expected) << c.index;
    EXPECT_EQ(errorOf([&] { PU::parseSpectrumMatParameterDirectly(s.root(), list); }), expected) << c.index;
    EXPECT_EQ(errorOf([&] { PU::parseScalarMatParameterDirectly(s.root(), list); }), expected) << c.index;
  }
}

TEST(ParseUtilsParameters, Failures) {
  const PU::TextureList none;
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"<p/>",
       "Failed to find child for element 'p' - Child should be one of 'constant', 'shader', 'texture'." +
           at("p", 1, 1)},
      {"<p><constant>20</constant><shader/></p>",
       "Found unexpected element 'shader,  already parsed mutually exclusive element 'constant'." +
           at("p", 1, 1)},
      {"<p><shader>text only</shader></p>", "could not find element 'shader'." + at("shader", 1, 4)},
      {"<p><texture/></p>", "could not find element 'texture_index'." + at("texture", 1, 4)},
      {"<p><constant>big</constant></p>", "Failed to parse double from 'big'." + at("p", 1, 1)},
  };
  for (const auto& kase : cases) {
    Snippet s(kase.first);
    EXPECT_EQ(errorOf([&] { PU::parseScalarMatParameterDirectly(s.root(), none); }), kase.second)
        << kase.first;
  }
  Snippet spectral("<p><constant><value>1</value></constant></p>");
  EXPECT_EQ(errorOf([&] { PU::parseSpectrumMatParameterDirectly(spectral.root(), none); }),
            "Found unexpected element 'value'." + at("constant", 1, 4));
}

TEST(ParseUtilsParameters, ByNameWrappers) {
  const PU::TextureList none;
  Snippet s("<m><exponent><constant>3</constant></exponent></m>");
  EXPECT_EQ(
      as<OrvaneConstantWavelengthIndependentParam>(PU::parseScalarMatParameter(s.root(), "exponent", none))
          ->value,
      3.0);
  EXPECT_EQ(errorOf([&] { PU::parseDisplaceMatParameter(s.root(), "bump", none); }),
            "Failed to find expected element 'bump'." + at("m", 1, 1));
  EXPECT_EQ(errorOf([&] { PU::parseSpectrumMatParameter(s.root(), "albedo", none); }),
            "Failed to find expected element 'albedo'." + at("m", 1, 1));
  EXPECT_EQ(PU::parseOptionalDisplaceMatParameter(s.root(), "bump", none).getPointer(), nullptr);
  EXPECT_EQ(PU::parseOptionalSpectrumMatParameter(s.root(), "albedo", none).getPointer(), nullptr);
  EXPECT_NE(PU::parseOptionalScalarMatParameter(s.root(), "exponent", none).getPointer(), nullptr);
}

TEST(ParseUtilsParameters, OldAlbedoForms) {
  const PU::TextureList none;
  const auto rgbOf = [](const Reference<OrvaneWavelengthDependentParam>& p) {
    return as<OrvaneRGBSpectrum>(as<OrvaneConstantWavelengthDependentParam>(p)->spectrum);
  };
  // "colour" wins and a malformed "albedo" is never read.
  Snippet colour("<diffuse><albedo><bad/></albedo><colour>0.1 0.2 0.3</colour></diffuse>");
  const Reference<OrvaneWavelengthDependentParam> a = PU::backwardsCompatibleAlbedoParse(colour.root(), none);
  EXPECT_DOUBLE_EQ(rgbOf(a)->rgb->y, 0.2);
  EXPECT_DOUBLE_EQ(rgbOf(a)->gamma, 2.2);
  Snippet spectrum(
      "<diffuse><albedo><bad/></albedo><albedo_spectrum><uniform><value>0.3</value></uniform>"
      "</albedo_spectrum></diffuse>");
  EXPECT_DOUBLE_EQ(as<OrvaneUniformSpectrum>(as<OrvaneConstantWavelengthDependentParam>(
                                                 PU::backwardsCompatibleAlbedoParse(spectrum.root(), none))
                                                 ->spectrum)
                       ->value,
                   0.3);
  Snippet empty("<diffuse/>");
  EXPECT_EQ(PU::backwardsCompatibleAlbedoParse(empty.root(), none).getPointer(), nullptr);
  Snippet badColour("<diffuse><colour>0.1 0.2</colour></diffuse>");
  EXPECT_EQ(errorOf([&] { PU::backwardsCompatibleAlbedoParse(badColour.root(), none); }),
            "Failed to parse Vec3 from '0.1 0.2'." + at("diffuse", 1, 1));
}

TEST(ParseUtilsParameters, OldTextureElementsAppendInTheirOrder) {
  Snippet s(
      "<diffuse><displacement_map><path>d.png</path><uv_set>u</uv_set></displacement_map>"
      "<albedo_texture><path>a.png</path><uv_set>u</uv_set></albedo_texture></diffuse>");
  PU::TextureList list = textures(1);
  Reference<OrvaneWavelengthDependentParam> albedo;
  Reference<OrvaneDisplacementParam> bump(new OrvaneConstantDisplacementParam(0.5));
  Reference<OrvaneDisplacementParam> displacement;
  PU::backwardsCompatibleTextureParse(s.root(), list, albedo, bump, displacement);
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[1].path, "a.png");
  EXPECT_EQ(list[2].path, "d.png");
  EXPECT_EQ(as<OrvaneTextureWavelengthDependentParam>(albedo)->texture_index, 1u);
  EXPECT_DOUBLE_EQ(as<OrvaneConstantDisplacementParam>(bump)->value, 0.5);  // no "bump_map": kept
  EXPECT_EQ(as<OrvaneTextureDisplacementParam>(displacement)->texture_index, 2u);
  EXPECT_EQ(PU::addPossibleTextureToList(s.root(), "bump_map", list), 0xFFFFFFFFu);
  EXPECT_EQ(list.size(), 3u);
}

// ---------------------------------------------------------------------------
// Media

TEST(ParseUtilsMedia, Forms) {
  Snippet glass(
      "<medium><name>glass</name><basic><ior>1.5</ior><cauchy_b_coeff>0</cauchy_b_coeff>"
      "<absorption_coefficient_spectrum><uniform><value>0</value></uniform>"
      "</absorption_coefficient_spectrum></basic><dermis/></medium>");
  const Reference<OrvaneMedium> m = PU::parseMedium(glass.root());
  EXPECT_EQ(m->name, "glass");
  EXPECT_EQ(m->precedence, 2);
  const auto basic = as<OrvaneBasicMedium>(m);
  EXPECT_DOUBLE_EQ(basic->ior, 1.5);
  EXPECT_EQ(basic->subsurface_scattering.getPointer(), nullptr);

  Snippet skin(
      "<medium><precedence>7</precedence><name>skin</name><epidermis><melanin_fraction>0.1"
      "</melanin_fraction><melanin_type_blend>0.2</melanin_type_blend></epidermis></medium>");
  const Reference<OrvaneMedium> e = PU::parseMedium(skin.root());
  EXPECT_EQ(e->precedence, 7);
  EXPECT_DOUBLE_EQ(as<OrvaneEpidermis>(e)->melanin_type_blend, 0.2);

  Snippet sss(
      "<basic><ior>1.3</ior><cauchy_b_coeff>0</cauchy_b_coeff><absorption_coefficient_spectrum><uniform>"
      "<value>0</value></uniform></absorption_coefficient_spectrum><subsurface_scattering><extra/>"
      "<scattering_coefficient_spectrum><uniform><value>2</value></uniform></scattering_coefficient_spectrum>"
      "<phase_function><henyey_greenstein><g_spectrum><uniform><value>0.8</value></uniform></g_spectrum>"
      "</henyey_greenstein></phase_function></subsurface_scattering></basic>");
  const Reference<OrvaneMedium> b = PU::parseBasicMedium(sss.root());
  const auto scattering = as<OrvaneBasicMedium>(b)->subsurface_scattering.getPointer();
  ASSERT_NE(scattering, nullptr);
  EXPECT_NE(dynamic_cast<const OrvaneHenyeyGreensteinPhaseFunction*>(scattering->phase_function.getPointer()),
            nullptr);

  Snippet uniform("<phase_function><uniform/></phase_function>");
  EXPECT_NE(
      dynamic_cast<const OrvaneUniformPhaseFunction*>(PU::parsePhaseFunction(uniform.root()).getPointer()),
      nullptr);
  Snippet null("<null_material/>");
  EXPECT_NE(dynamic_cast<const OrvaneNullMaterial*>(PU::parseNullMaterial(null.root()).getPointer()),
            nullptr);
}

TEST(ParseUtilsMedia, Failures) {
  const std::vector<std::tuple<std::string, std::function<void(const TiXmlElement&)>, std::string>> cases = {
      {"<medium><name>x</name></medium>", [](const TiXmlElement& e) { PU::parseMedium(e); },
       "Medium type not found. " + at("medium", 1, 1)},
      {"<medium><atmosphere/></medium>", [](const TiXmlElement& e) { PU::parseMedium(e); },
       "Atmosphere loading not supported."},
      {"<medium><dermis><hemoglobin_fraction>0.1</hemoglobin_fraction></dermis></medium>",
       [](const TiXmlElement& e) { PU::parseMedium(e); },
       "could not find element 'name'." + at("medium", 1, 1)},
      {"<medium><fog/></medium>", [](const TiXmlElement& e) { PU::parseMedium(e); },
       "Found unexpected element 'fog'." + at("medium", 1, 1)},
      {"<phase_function><uniform><x/></uniform></phase_function>",
       [](const TiXmlElement& e) { PU::parsePhaseFunction(e); },
       "Found unexpected element 'x'." + at("uniform", 1, 17)},
      {"<phase_function/>", [](const TiXmlElement& e) { PU::parsePhaseFunction(e); },
       "Failed to find child for element 'phase_function' - Child should be one of 'henyey_greenstein', "
       "'uniform'." +
           at("phase_function", 1, 1)},
      {"<subsurface_scattering><phase_function><uniform/></phase_function></subsurface_scattering>",
       [](const TiXmlElement& e) { PU::parseSubsurfaceScattering(e); },
       "Failed to find expected element 'scattering_coefficient_spectrum'." +
           at("subsurface_scattering", 1, 1)},
      {"<null_material><x/></null_material>", [](const TiXmlElement& e) { PU::parseNullMaterial(e); },
       "Found unexpected element 'x'." + at("null_material", 1, 1)},
  };
  for (const auto& kase : cases) {
    Snippet s(std::get<0>(kase));
    EXPECT_EQ(errorOf([&] { std::get<1>(kase)(s.root()); }), std::get<2>(kase)) << std::get<0>(kase);
  }
}

// ---------------------------------------------------------------------------
// Textures, generators and rotations

TEST(ParseUtilsTextures, DefaultsAndGenerators) {
  Snippet plain("<texture><name>ignored</name><path>a.png</path><uv_set>uv</uv_set></texture>");
  const OrvaneTexture t = PU::parseTexture(plain.root());
  EXPECT_EQ(t.path, "a.png");
  EXPECT_EQ(t.uv_set, "uv");
  EXPECT_DOUBLE_EQ(t.a, 0.0);
  EXPECT_DOUBLE_EQ(t.b, 1.0);
  EXPECT_DOUBLE_EQ(t.c, 0.0);
  EXPECT_DOUBLE_EQ(t.exponent, 1.0);
  const auto uv = as<OrvaneUVTexCoordGenerator>(t.tex_coord_generation);
  EXPECT_EQ(std::vector<double>(uv->matrix->e, uv->matrix->e + 4), (std::vector<double>{1, 0, 0, 1}));
  EXPECT_DOUBLE_EQ(uv->translation->x, 0.0);

  Snippet translated(
      "<tex_coord_generation><uv><translation>0.5 0.25</translation></uv></tex_coord_generation>");
  const auto tr = as<OrvaneUVTexCoordGenerator>(PU::parseTexCoordGenerator(translated.root()));
  EXPECT_DOUBLE_EQ(tr->matrix->e[0], 1.0);
  EXPECT_DOUBLE_EQ(tr->translation->y, 0.25);

  Snippet spherical("<tex_coord_generation><spherical/></tex_coord_generation>");
  const auto sph = as<OrvaneSphericalTexCoordGenerator>(PU::parseTexCoordGenerator(spherical.root()));
  EXPECT_EQ(as<OrvaneMatrixRotation>(sph->rotation)->matrix,
            (std::array<double, 9>{1, 0, 0, 0, 1, 0, 0, 0, 1}));
}

TEST(ParseUtilsTextures, RotationsOfBothForms) {
  Snippet matrix("<g><rotation><matrix>1 2 3 4 5 6 7 8 9 trailing</matrix></rotation></g>");
  EXPECT_EQ(as<OrvaneMatrixRotation>(PU::parseRotationWithDefault(matrix.root(), "rotation"))->matrix,
            (std::array<double, 9>{1, 2, 3, 4, 5, 6, 7, 8, 9}));
  Snippet axis("<rotation><axis_rotation><axis>0 0 1</axis><angle>1.5</angle></axis_rotation></rotation>");
  const auto ar = as<OrvaneAxisRotation>(PU::parseRotation(axis.root()));
  EXPECT_DOUBLE_EQ(ar->axis->z, 1.0);
  EXPECT_DOUBLE_EQ(ar->angle, 1.5);
  Snippet env(
      "<tex_coord_generation><spherical_environment><rotation><axis_rotation><axis>1 0 0</axis>"
      "<angle>2</angle></axis_rotation></rotation></spherical_environment></tex_coord_generation>");
  const auto e = as<OrvaneSphericalEnvTexCoordGenerator>(PU::parseTexCoordGenerator(env.root()));
  EXPECT_DOUBLE_EQ(as<OrvaneAxisRotation>(e->rotation)->angle, 2.0);
}

TEST(ParseUtilsTextures, Failures) {
  const std::vector<std::tuple<std::string, std::function<void(const TiXmlElement&)>, std::string>> cases = {
      {"<texture><uv_set>u</uv_set></texture>", [](const TiXmlElement& e) { PU::parseTexture(e); },
       "could not find element 'path'." + at("texture", 1, 1)},
      {"<texture/>", [](const TiXmlElement& e) { PU::parseTexture(e); },
       "could not find element 'path'." + at("texture", 1, 1)},
      {"<texture><path>p</path></texture>", [](const TiXmlElement& e) { PU::parseTexture(e); },
       "could not find element 'uv_set'." + at("texture", 1, 1)},
      {"<texture><path>p</path><a>x</a><uv_set>u</uv_set></texture>",
       [](const TiXmlElement& e) { PU::parseTexture(e); },
       "Failed to parse double from 'x'." + at("texture", 1, 1)},
      {"<tex_coord_generation/>", [](const TiXmlElement& e) { PU::parseTexCoordGenerator(e); },
       "Failed to find child for element 'tex_coord_generation' - Child should be one of 'spherical', "
       "'spherical_environment', 'uv'." +
           at("tex_coord_generation", 1, 1)},
      {"<tex_coord_generation><uv/><spherical/></tex_coord_generation>",
       [](const TiXmlElement& e) { PU::parseTexCoordGenerator(e); },
       "Found unexpected element 'spherical,  already parsed mutually exclusive element 'uv'." +
           at("tex_coord_generation", 1, 1)},
      {"<uv><matrix>1 0 0</matrix></uv>", [](const TiXmlElement& e) { PU::parseUVTexCoordGenerator(e); },
       "syntax error while parsing Matrix2." + at("uv", 1, 1)},
      {"<uv><translation>1</translation></uv>",
       [](const TiXmlElement& e) { PU::parseUVTexCoordGenerator(e); },
       "Failed to parse Vec2 from '1'." + at("uv", 1, 1)},
      {"<uv><scale/></uv>", [](const TiXmlElement& e) { PU::parseUVTexCoordGenerator(e); },
       "Found unexpected element 'scale'." + at("uv", 1, 1)},
      {"<spherical><world_to_texture_matrix/></spherical>",
       [](const TiXmlElement& e) { PU::parseSphericalTexCoordGenerator(e); },
       "Found unexpected element 'world_to_texture_matrix'." + at("spherical", 1, 1)},
      {"<rotation><matrix>1 2 3 4 5 6 7 8</matrix></rotation>",
       [](const TiXmlElement& e) { PU::parseRotation(e); },
       "syntax error while parsing Matrix." + at("rotation", 1, 1)},
      {"<rotation><matrix/><axis_rotation/></rotation>", [](const TiXmlElement& e) { PU::parseRotation(e); },
       "Found unexpected element 'axis_rotation,  already parsed mutually exclusive element 'matrix'." +
           at("rotation", 1, 1)},
      {"<rotation/>", [](const TiXmlElement& e) { PU::parseRotation(e); },
       "Failed to find child for element 'rotation' - Child should be one of 'axis_rotation', 'matrix'." +
           at("rotation", 1, 1)},
      {"<rotation><axis_rotation><angle>1</angle></axis_rotation></rotation>",
       [](const TiXmlElement& e) { PU::parseRotation(e); },
       "could not find element 'axis'." + at("axis_rotation", 1, 11)},
      {"<rotation><axis_rotation><axis>0 0 1</axis><angle>1</angle><spin/></axis_rotation></rotation>",
       [](const TiXmlElement& e) { PU::parseRotation(e); },
       "Found unexpected element 'spin'." + at("axis_rotation", 1, 11)},
  };
  for (const auto& kase : cases) {
    Snippet s(std::get<0>(kase));
    EXPECT_EQ(errorOf([&] { std::get<1>(kase)(s.root()); }), std::get<2>(kase)) << std::get<0>(kase);
  }
}

}  // namespace
