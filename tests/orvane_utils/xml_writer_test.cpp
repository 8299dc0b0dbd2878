// Tests of the XML writer of the element model: the exact text of
// each writer, the escaping that keeps the output well-formed, and that
// TinyXML parses what it writes.

#include <iomanip>
#include <locale>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "orvane_utils/OrvaneElementModel.h"
#include "orvane_utils/OrvaneXMLWriteUtils.h"

using namespace Orvane;

namespace {

// One line: depth tabs, the text, a newline.
std::string L(unsigned int depth, const std::string& text) { return std::string(depth, '\t') + text + "\n"; }

std::string materialXML(const OrvaneMaterial& m, unsigned int depth = 0) {
  std::ostringstream os;
  m.writeXMLToStream(os, depth);
  return os.str();
}

std::string mediumXML(const OrvaneMedium& m, unsigned int depth = 0) {
  std::ostringstream os;
  m.writeXMLToStream(os, depth);
  return os.str();
}

template <class T>
std::string objectXML(const T& ob, unsigned int depth = 0) {
  std::ostringstream os;
  ob.writeXML(os, depth);
  return os.str();
}

// The text of the element at the given path below the document's root
// (TinyXML concatenation of the text children), or "<missing>".
std::string textAt(const TiXmlDocument& doc, const std::vector<std::string>& path) {
  const TiXmlElement* e = doc.RootElement();
  for (const std::string& name : path) {
    if (!e) return "<missing>";
    e = e->FirstChildElement(name);
  }
  if (!e) return "<missing>";
  std::string text;
  for (const TiXmlNode* n = e->FirstChild(); n; n = n->NextSibling())
    if (n->ToText()) text += n->Value();
  return text;
}

::testing::AssertionResult parsesWithTinyXML(const std::string& xml, TiXmlDocument& doc) {
  doc.Parse(xml.c_str());
  if (doc.Error())
    return ::testing::AssertionFailure() << "TinyXML: " << doc.ErrorDesc() << " at row " << doc.ErrorRow()
                                         << ", column " << doc.ErrorCol() << " in\n"
                                         << xml;
  if (!doc.RootElement()) return ::testing::AssertionFailure() << "no root element in\n" << xml;
  return ::testing::AssertionSuccess();
}

Reference<OrvaneTexCoordGenerator> identityUV() {
  return new OrvaneUVTexCoordGenerator(new Matrix2(1, 0, 0, 1), new Vec2(0, 0));
}

OrvaneTexture makeTexture(const std::string& path) {
  OrvaneTexture t;
  t.path = path;
  t.a = 0;
  t.b = 1;
  t.c = 0;
  t.uv_set = "default";
  t.exponent = 2.2;
  return t;
}

// ---- Materials

TEST(XMLWriterTest, DefaultPhongMaterial) {
  OrvanePhongMaterial m;
  m.name = "M";
  const std::string expected = L(0, "<material>") + L(1, "<name>M</name>") + L(1, "<phong>") +
                               L(2, "<exponent>") + L(3, "<constant>") + L(4, "5000") + L(3, "</constant>") +
                               L(2, "</exponent>") + L(2, "<layer>0</layer>") +
                               L(2, "<fresnel_scale>1</fresnel_scale>") + L(2, "<ior>1.4</ior>") +
                               L(2, "<nk_data></nk_data>") + L(1, "</phong>") + L(0, "</material>") + "\n";
  EXPECT_EQ(materialXML(m), expected);
}

TEST(XMLWriterTest, DefaultOrenNayarAlbedo) {
  OrvaneOrenNayarMaterial m;
  m.name = "on";
  const std::string expected = L(0, "<material>") + L(1, "<name>on</name>") + L(1, "<oren_nayar>") +
                               L(2, "<albedo>") + L(3, "<constant>") + L(4, "<rgb>") + L(5, "<rgb>") +
                               L(6, "0.5 0.5 0.5") + L(5, "</rgb>") + L(5, "<gamma>2.2</gamma>") +
                               L(4, "</rgb>") + L(3, "</constant>") + L(2, "</albedo>") + L(2, "<sigma>") +
                               L(3, "<constant>") + L(4, "0") + L(3, "</constant>") + L(2, "</sigma>") +
                               L(2, "<layer>0</layer>") + L(1, "</oren_nayar>") + L(0, "</material>") + "\n";
  EXPECT_EQ(materialXML(m), expected);
}

TEST(XMLWriterTest, TextureWithUVGenerator) {
  OrvaneTexture t = makeTexture("t.png");
  t.tex_coord_generation = new OrvaneUVTexCoordGenerator(new Matrix2(1, 2, 3, 4), new Vec2(0.5, -0.25));
  const std::string expected = L(0, "<texture>") + L(1, "<path>t.png</path>") + L(1, "<a>0</a>") +
                               L(1, "<b>1</b>") + L(1, "<c>0</c>") + L(1, "<uv_set>default</uv_set>") +
                               L(1, "<exponent>2.2</exponent>") + L(1, "<tex_coord_generation>") +
                               L(2, "<uv>") + L(3, "<matrix>") + L(4, "1 2 3 4") + L(3, "</matrix>") +
                               L(3, "<translation>") + L(4, "0.5 -0.25") + L(3, "</translation>") +
                               L(2, "</uv>") + L(1, "</tex_coord_generation>") + L(0, "</texture>");
  EXPECT_EQ(objectXML(t), expected);
}

TEST(XMLWriterTest, MaterialTexturesComeFirstInTheTypeElement) {
  OrvaneDiffuse m;
  m.name = "d";
  m.textures.push_back(makeTexture("first.png"));
  m.textures.push_back(makeTexture("second.png"));
  m.albedo = new OrvaneTextureWavelengthDependentParam(1);
  m.random_triangle_colours = true;
  m.layer = 3;
  const std::string expected =
      L(0, "<material>") + L(1, "<name>d</name>") + L(1, "<diffuse>") + L(2, "<texture>") +
      L(3, "<path>first.png</path>") + L(3, "<a>0</a>") + L(3, "<b>1</b>") + L(3, "<c>0</c>") +
      L(3, "<uv_set>default</uv_set>") + L(3, "<exponent>2.2</exponent>") + L(2, "</texture>") +
      L(2, "<texture>") + L(3, "<path>second.png</path>") + L(3, "<a>0</a>") + L(3, "<b>1</b>") +
      L(3, "<c>0</c>") + L(3, "<uv_set>default</uv_set>") + L(3, "<exponent>2.2</exponent>") +
      L(2, "</texture>") + L(2, "<albedo>") + L(3, "<texture>") + L(4, "<texture_index>1</texture_index>") +
      L(3, "</texture>") + L(2, "</albedo>") +
      L(2, "<random_triangle_colours>true</random_triangle_colours>") + L(2, "<layer>3</layer>") +
      L(1, "</diffuse>") + L(0, "</material>") + "\n";
  EXPECT_EQ(materialXML(m), expected);
}

TEST(XMLWriterTest, DepthOffsetsEveryLineAndMaterialsAreSeparatedByAnEmptyLine) {
  OrvaneNullMaterial a;
  a.name = "a";
  OrvaneNullMaterial b;
  b.name = "b";
  std::ostringstream os;
  a.writeXMLToStream(os, 1);
  b.writeXMLToStream(os, 1);
  const std::string one = L(1, "<material>") + L(2, "<name>a</name>") + L(2, "<null_material>") +
                          L(2, "</null_material>") + L(1, "</material>") + "\n";
  const std::string two = L(1, "<material>") + L(2, "<name>b</name>") + L(2, "<null_material>") +
                          L(2, "</null_material>") + L(1, "</material>") + "\n";
  EXPECT_EQ(os.str(), one + two);
  EXPECT_EQ(objectXML(a), "");  // the null model has no parameter elements
}

TEST(XMLWriterTest, EveryParameterElementOfEachModelInItsOrder) {
  const Reference<OrvaneDisplacementParam> bump(new OrvaneConstantDisplacementParam(0.01));
  const Reference<OrvaneDisplacementParam> disp(new OrvaneTextureDisplacementParam(0));
  const Reference<OrvaneWavelengthDependentParam> base(new OrvaneShaderWavelengthDependentParam("B"));
  const Reference<OrvaneWavelengthDependentParam> emis(
      new OrvaneConstantWavelengthDependentParam(new OrvaneUniformSpectrum(2)));
  const std::string bumpXML =
      L(2, "<bump>") + L(3, "<constant>") + L(4, "0.01") + L(3, "</constant>") + L(2, "</bump>");
  const std::string dispXML = L(2, "<displacement>") + L(3, "<texture>") +
                              L(4, "<texture_index>0</texture_index>") + L(3, "</texture>") +
                              L(2, "</displacement>");
  const std::string baseXML = L(2, "<base_emission>") + L(3, "<shader>") +
                              L(4, "<shader><![CDATA[B]]></shader>") + L(3, "</shader>") +
                              L(2, "</base_emission>");
  const std::string emisXML = L(2, "<emission>") + L(3, "<constant>") + L(4, "<uniform>") +
                              L(5, "<value>2</value>") + L(4, "</uniform>") + L(3, "</constant>") +
                              L(2, "</emission>");
  const std::string surface = bumpXML + dispXML + baseXML + emisXML;

  {
    OrvaneSpecularMaterial m;
    m.name = "s";
    m.internal_medium_name = "glass";
    m.transparent = false;
    m.absorption_layer_transmittance = new OrvaneTextureWavelengthDependentParam(0);
    m.bump = bump;
    m.displacement = disp;
    m.base_emission = base;
    m.emission = emis;
    m.layer = 1;
    m.arch_glass = true;
    m.tabulated_transmission_coefficient = new OrvaneTabulatedSpectralData(4e-7, 7e-7, 2, 2, {1, 2, 3, 4});
    const std::string expected = L(0, "<material>") + L(1, "<name>s</name>") + L(1, "<specular>") +
                                 L(2, "<internal_medium_name>glass</internal_medium_name>") +
                                 L(2, "<transparent>false</transparent>") +
                                 L(2, "<absorption_layer_transmittance>") + L(3, "<texture>") +
                                 L(4, "<texture_index>0</texture_index>") + L(3, "</texture>") +
                                 L(2, "</absorption_layer_transmittance>") + surface +
                                 L(2, "<layer>1</layer>") + L(1, "</specular>") + L(0, "</material>") + "\n";
    EXPECT_EQ(materialXML(m), expected);  // no arch_glass, no tables
  }
  {
    OrvaneGlossyTransparent m;
    m.name = "g";
    m.internal_medium_name = "water";
    m.bump = bump;
    m.displacement = disp;
    m.base_emission = base;
    m.emission = emis;
    const std::string expected =
        L(0, "<material>") + L(1, "<name>g</name>") + L(1, "<glossy_transparent>") + L(2, "<exponent>") +
        L(3, "<constant>") + L(4, "5000") + L(3, "</constant>") + L(2, "</exponent>") +
        L(2, "<internal_medium_name>water</internal_medium_name>") + surface + L(2, "<layer>0</layer>") +
        L(1, "</glossy_transparent>") + L(0, "</material>") + "\n";
    EXPECT_EQ(materialXML(m), expected);
  }
  {
    OrvaneDiffuseTransmitter m;
    m.name = "dt";
    m.albedo = Reference<OrvaneWavelengthDependentParam>();
    m.bump = bump;
    m.displacement = disp;
    m.base_emission = base;
    m.emission = emis;
    const std::string expected = L(0, "<material>") + L(1, "<name>dt</name>") +
                                 L(1, "<diffuse_transmitter>") + surface + L(2, "<layer>0</layer>") +
                                 L(1, "</diffuse_transmitter>") + L(0, "</material>") + "\n";
    EXPECT_EQ(materialXML(m), expected);
  }
  {
    OrvanePhongMaterial m;
    m.name = "p";
    m.diffuse_albedo = new OrvaneTextureWavelengthDependentParam(0);
    m.specular_reflectivity = new OrvaneShaderWavelengthDependentParam("S");
    m.exponent = new OrvaneShaderWavelengthIndependentParam("E");
    m.bump = bump;
    m.displacement = disp;
    m.base_emission = base;
    m.emission = emis;
    m.fresnel_scale = 0.5;
    m.ior = 1.5;
    m.nk_data = "nk/au.nk";
    const std::string expected =
        L(0, "<material>") + L(1, "<name>p</name>") + L(1, "<phong>") + L(2, "<diffuse_albedo>") +
        L(3, "<texture>") + L(4, "<texture_index>0</texture_index>") + L(3, "</texture>") +
        L(2, "</diffuse_albedo>") + L(2, "<specular_reflectivity>") + L(3, "<shader>") +
        L(4, "<shader><![CDATA[S]]></shader>") + L(3, "</shader>") + L(2, "</specular_reflectivity>") +
        L(2, "<exponent>") + L(3, "<shader>") + L(4, "<shader><![CDATA[E]]></shader>") + L(3, "</shader>") +
        L(2, "</exponent>") + surface + L(2, "<layer>0</layer>") +
        L(2, "<fresnel_scale>0.5</fresnel_scale>") + L(2, "<ior>1.5</ior>") +
        L(2, "<nk_data>nk/au.nk</nk_data>") + L(1, "</phong>") + L(0, "</material>") + "\n";
    EXPECT_EQ(materialXML(m), expected);
  }
  {
    OrvaneBlendMaterial m;
    m.name = "bl";
    m.a_name = "one";
    m.b_name = "two";
    m.step_blend = true;
    const std::string expected = L(0, "<material>") + L(1, "<name>bl</name>") + L(1, "<blend>") +
                                 L(2, "<a_name>one</a_name>") + L(2, "<b_name>two</b_name>") +
                                 L(2, "<blend>") + L(3, "<constant>") + L(4, "0.5") + L(3, "</constant>") +
                                 L(2, "</blend>") + L(2, "<step_blend>true</step_blend>") + L(1, "</blend>") +
                                 L(0, "</material>") + "\n";
    EXPECT_EQ(materialXML(m), expected);
  }
}

// ---- Spectra and tabulated data

TEST(XMLWriterTest, RegularSpectrumWritesItsWavelengthsInMetres) {
  const OrvaneRegularSpectrum s(380, 780, 3, {0.1, 0.2, 0.3});
  const std::string expected =
      L(0, "<regular_tabulated>") + L(1, "<start_wavelength>3.8e-07</start_wavelength>") +
      L(1, "<end_wavelength>7.8e-07</end_wavelength>") + L(1, "<num_values>3</num_values>") +
      L(1, "<values>0.1 0.2 0.3 </values>") + L(0, "</regular_tabulated>");
  EXPECT_EQ(objectXML(s), expected);
}

TEST(XMLWriterTest, OtherSpectra) {
  EXPECT_EQ(objectXML(OrvaneUniformSpectrum(0.7), 1),
            L(1, "<uniform>") + L(2, "<value>0.7</value>") + L(1, "</uniform>"));
  EXPECT_EQ(objectXML(OrvaneBlackBodySpectrum(6500, 2)), L(0, "<blackbody>") +
                                                             L(1, "<temperature>6500</temperature>") +
                                                             L(1, "<gain>2</gain>") + L(0, "</blackbody>"));
  EXPECT_EQ(objectXML(OrvanePeakSpectrum(500, 20, 1.5, 0)),
            L(0, "<peak>") + L(1, "<peak_min>500</peak_min>") + L(1, "<peak_width>20</peak_width>") +
                L(1, "<peak_value>1.5</peak_value>") + L(1, "<base_value>0</base_value>") + L(0, "</peak>"));
  EXPECT_EQ(objectXML(OrvaneRGBSpectrum(new Vec3(1, 0.5, 0.25), 1)),
            L(0, "<rgb>") + L(1, "<rgb>") + L(2, "1 0.5 0.25") + L(1, "</rgb>") + L(1, "<gamma>1</gamma>") +
                L(0, "</rgb>"));
  // Without its vector, the inner "rgb" is left out.
  EXPECT_EQ(objectXML(OrvaneRGBSpectrum(nullptr, 2.2)),
            L(0, "<rgb>") + L(1, "<gamma>2.2</gamma>") + L(0, "</rgb>"));
}

TEST(XMLWriterTest, TabulatedSpectralDataHasNoElementOfItsOwn) {
  const OrvaneTabulatedSpectralData t(3.8e-7, 7.2e-7, 2, 3, {1, 2, 3, 4, 5, 6});
  EXPECT_EQ(objectXML(t, 1), L(2, "<start_wavelength>3.8e-07</start_wavelength>") +
                                 L(2, "<end_wavelength>7.2e-07</end_wavelength>") +
                                 L(2, "<num_rows>2</num_rows>") + L(2, "<num_columns>3</num_columns>") +
                                 L(2, "<values>1 2 3 4 5 6 </values>"));
}

// ---- Parameters

TEST(XMLWriterTest, ParameterForms) {
  EXPECT_EQ(objectXML(OrvaneConstantWavelengthIndependentParam(20), 1),
            L(1, "<constant>") + L(2, "20") + L(1, "</constant>"));
  EXPECT_EQ(objectXML(OrvaneConstantDisplacementParam(-0.5)),
            L(0, "<constant>") + L(1, "-0.5") + L(0, "</constant>"));
  EXPECT_EQ(objectXML(OrvaneTextureWavelengthIndependentParam(7)),
            L(0, "<texture>") + L(1, "<texture_index>7</texture_index>") + L(0, "</texture>"));
  EXPECT_EQ(objectXML(OrvaneTextureDisplacementParam(4294967295u)),
            L(0, "<texture>") + L(1, "<texture_index>4294967295</texture_index>") + L(0, "</texture>"));
  EXPECT_EQ(objectXML(OrvaneShaderDisplacementParam("def eval(vec3 pos) real: 0.5")),
            L(0, "<shader>") + L(1, "<shader><![CDATA[def eval(vec3 pos) real: 0.5]]></shader>") +
                L(0, "</shader>"));
  // A constant spectral parameter without its spectrum writes an empty "constant".
  EXPECT_EQ(objectXML(OrvaneConstantWavelengthDependentParam(nullptr)),
            L(0, "<constant>") + L(0, "</constant>"));
}

// ---- Generators and rotations

TEST(XMLWriterTest, SphericalGeneratorWithMatrixRotation) {
  const OrvaneSphericalTexCoordGenerator g(new OrvaneMatrixRotation({1, 0, 0, 0, 1, 0, 0, 0, 1}));
  // The rotation's line has no newline: the closing tag follows on it.
  EXPECT_EQ(objectXML(g, 1), L(1, "<spherical>") + L(2, "<world_to_texture_matrix>") +
                                 "\t\t\t1 0 0 0 1 0 0 0 1 \t\t</world_to_texture_matrix>\n" +
                                 L(1, "</spherical>"));
}

TEST(XMLWriterTest, EnvironmentSphericalGeneratorWithAxisRotation) {
  const OrvaneSphericalEnvTexCoordGenerator g(new OrvaneAxisRotation(new Vec3(0, 0, 1), 1.5));
  EXPECT_EQ(objectXML(g), L(0, "<spherical_environment>") + L(1, "<world_to_texture_matrix>") +
                              L(3, "<axis>") + L(4, "0 0 1") + L(3, "</axis>") + L(3, "<angle>1.5</angle>") +
                              L(1, "</world_to_texture_matrix>") + L(0, "</spherical_environment>"));
}

// ---- Media

TEST(XMLWriterTest, BasicMediumWithScatteringAndHenyeyGreenstein) {
  const OrvaneBasicMedium m("skin", 10, 1.4, 0.01, new OrvaneUniformSpectrum(3),
                            new OrvaneSubsurfaceScattering(
                                new OrvaneUniformSpectrum(50),
                                new OrvaneHenyeyGreensteinPhaseFunction(new OrvaneUniformSpectrum(0.8))));
  const std::string expected =
      L(0, "<medium>") + L(1, "<name>skin</name>") + L(1, "<precedence>10</precedence>") + L(1, "<basic>") +
      L(2, "<ior>1.4</ior>") + L(2, "<cauchy_b_coeff>0.01</cauchy_b_coeff>") +
      L(2, "<absorption_coefficient_spectrum>") + L(3, "<uniform>") + L(4, "<value>3</value>") +
      L(3, "</uniform>") + L(2, "</absorption_coefficient_spectrum>") + L(2, "<subsurface_scattering>") +
      L(4, "<scattering_coefficient_spectrum>") + L(5, "<uniform>") + L(6, "<value>50</value>") +
      L(5, "</uniform>") + L(4, "</scattering_coefficient_spectrum>") + L(4, "<phase_function>") +
      L(5, "<henyey_greenstein>") + L(6, "<g_spectrum>") + L(7, "<uniform>") + L(8, "<value>0.8</value>") +
      L(7, "</uniform>") + L(6, "</g_spectrum>") + L(5, "</henyey_greenstein>") + L(4, "</phase_function>") +
      L(2, "</subsurface_scattering>") + L(1, "</basic>") + L(0, "</medium>");
  EXPECT_EQ(mediumXML(m), expected);

  TiXmlDocument doc;
  ASSERT_TRUE(parsesWithTinyXML(expected, doc));
}

TEST(XMLWriterTest, BasicMediumWithoutScatteringAndUniformPhaseFunction) {
  const OrvaneBasicMedium m("water", 2, 1.33, 0, new OrvaneUniformSpectrum(0), nullptr);
  EXPECT_EQ(mediumXML(m, 1),
            L(1, "<medium>") + L(2, "<name>water</name>") + L(2, "<precedence>2</precedence>") +
                L(2, "<basic>") + L(3, "<ior>1.33</ior>") + L(3, "<cauchy_b_coeff>0</cauchy_b_coeff>") +
                L(3, "<absorption_coefficient_spectrum>") + L(4, "<uniform>") + L(5, "<value>0</value>") +
                L(4, "</uniform>") + L(3, "</absorption_coefficient_spectrum>") + L(2, "</basic>") +
                L(1, "</medium>"));
  EXPECT_EQ(objectXML(OrvaneUniformPhaseFunction(), 2), L(2, "<uniform>") + L(2, "</uniform>"));
  EXPECT_EQ(objectXML(OrvaneSubsurfaceScattering(nullptr, new OrvaneUniformPhaseFunction)),
            L(1, "<phase_function>") + L(2, "<uniform>") + L(2, "</uniform>") + L(1, "</phase_function>"));
}

// ---- Stream formatting

TEST(XMLWriterTest, NumbersFollowTheStreamFormattingTheCallerLeft) {
  OrvanePhongMaterial m;
  m.name = "M";
  std::ostringstream os;
  os << std::fixed << std::setprecision(2);
  m.writeXMLToStream(os, 0);
  const std::string out = os.str();
  EXPECT_NE(out.find(L(4, "5000.00")), std::string::npos) << out;
  EXPECT_NE(out.find("<ior>1.40</ior>"), std::string::npos) << out;
  EXPECT_NE(out.find("<layer>0</layer>"), std::string::npos) << out;
}

// A locale with a decimal comma and digit grouping, as a host may imbue.
struct CommaNumbers : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(XMLWriterTest, NumbersIgnoreTheStreamLocale) {
  OrvaneOrenNayarMaterial m;
  m.name = "M";
  m.layer = 1234567;
  m.textures.push_back(makeTexture("t.png"));
  m.textures[0].tex_coord_generation =
      new OrvaneSphericalTexCoordGenerator(new OrvaneMatrixRotation({1.5, 0, 0, 0, 1, 0, 0, 0, 1}));
  m.sigma = new OrvaneConstantWavelengthIndependentParam(12345.5);
  m.emission =
      new OrvaneConstantWavelengthDependentParam(new OrvaneRegularSpectrum(380, 780, 2, {1000.5, 2}));

  std::ostringstream plain;
  m.writeXMLToStream(plain, 0);
  std::ostringstream localised;
  localised.imbue(std::locale(std::locale::classic(), new CommaNumbers));
  m.writeXMLToStream(localised, 0);

  EXPECT_EQ(localised.str(), plain.str());
  EXPECT_NE(plain.str().find(L(4, "12345.5")), std::string::npos);
  EXPECT_NE(plain.str().find("<layer>1234567</layer>"), std::string::npos);
  EXPECT_NE(plain.str().find("<values>1000.5 2 </values>"), std::string::npos);
  EXPECT_NE(plain.str().find("\t1.5 0 0 0 1 0 0 0 1 \t"), std::string::npos);
}

// ---- Escaping: the output is always well-formed XML

TEST(XMLWriterTest, EscapeHelpers) {
  EXPECT_EQ(XMLWriteUtils::escapeText("plain"), "plain");
  EXPECT_EQ(XMLWriteUtils::escapeText("a&b<c>d"), "a&amp;b&lt;c&gt;d");
  EXPECT_EQ(XMLWriteUtils::escapeText("&amp;"), "&amp;amp;");
  EXPECT_EQ(XMLWriteUtils::escapeText("'\""), "'\"");
  EXPECT_EQ(XMLWriteUtils::cdataSection(""), "<![CDATA[]]>");
  EXPECT_EQ(XMLWriteUtils::cdataSection("x < y && z"), "<![CDATA[x < y && z]]>");
  EXPECT_EQ(XMLWriteUtils::cdataSection("a]]>b"), "<![CDATA[a]]]]><![CDATA[>b]]>");
  EXPECT_EQ(XMLWriteUtils::cdataSection("]]>]]>"), "<![CDATA[]]]]><![CDATA[>]]]]><![CDATA[>]]>");
  EXPECT_EQ(XMLWriteUtils::cdataSection("]]]>"), "<![CDATA[]]]]]><![CDATA[>]]>");
  EXPECT_EQ(XMLWriteUtils::cdataSection("]] >"), "<![CDATA[]] >]]>");
}

TEST(XMLWriterTest, NameWithAmpersandIsEscapedAndReadsBack) {
  OrvaneDiffuse m;
  m.name = "Salt & <Pepper>";
  const std::string out = materialXML(m);
  EXPECT_NE(out.find(L(1, "<name>Salt &amp; &lt;Pepper&gt;</name>")), std::string::npos) << out;

  TiXmlDocument doc;
  ASSERT_TRUE(parsesWithTinyXML(out, doc));
  EXPECT_EQ(std::string(doc.RootElement()->Value()), "material");
  EXPECT_EQ(textAt(doc, {"name"}), "Salt & <Pepper>");
}

TEST(XMLWriterTest, EveryTextFieldIsEscaped) {
  const std::string nasty = "a&b</x>]]>";
  const std::string escaped = "a&amp;b&lt;/x&gt;]]&gt;";
  {
    OrvaneSpecularMaterial m;
    m.name = nasty;
    m.internal_medium_name = nasty;
    OrvaneTexture t = makeTexture(nasty);
    t.uv_set = nasty;
    m.textures.push_back(t);
    const std::string out = materialXML(m);
    EXPECT_NE(out.find("<internal_medium_name>" + escaped + "</internal_medium_name>"), std::string::npos);
    EXPECT_NE(out.find("<path>" + escaped + "</path>"), std::string::npos);
    EXPECT_NE(out.find("<uv_set>" + escaped + "</uv_set>"), std::string::npos);
    TiXmlDocument doc;
    ASSERT_TRUE(parsesWithTinyXML(out, doc));
    EXPECT_EQ(textAt(doc, {"name"}), nasty);
    EXPECT_EQ(textAt(doc, {"specular", "internal_medium_name"}), nasty);
    EXPECT_EQ(textAt(doc, {"specular", "texture", "path"}), nasty);
    EXPECT_EQ(textAt(doc, {"specular", "texture", "uv_set"}), nasty);
  }
  {
    OrvaneBlendMaterial m;
    m.a_name = nasty;
    m.b_name = "<b>";
    const std::string out = materialXML(m);
    TiXmlDocument doc;
    ASSERT_TRUE(parsesWithTinyXML(out, doc));
    EXPECT_EQ(textAt(doc, {"blend", "a_name"}), nasty);
    EXPECT_EQ(textAt(doc, {"blend", "b_name"}), "<b>");
  }
  {
    OrvanePhongMaterial m;
    m.nk_data = nasty;
    TiXmlDocument doc;
    ASSERT_TRUE(parsesWithTinyXML(materialXML(m), doc));
    EXPECT_EQ(textAt(doc, {"phong", "nk_data"}), nasty);
  }
  {
    OrvaneBasicMedium med(nasty, 1, 1.5, 0, nullptr, nullptr);
    const std::string out = mediumXML(med);
    EXPECT_NE(out.find("<name>" + escaped + "</name>"), std::string::npos);
    TiXmlDocument doc;
    ASSERT_TRUE(parsesWithTinyXML(out, doc));
    EXPECT_EQ(textAt(doc, {"name"}), nasty);
  }
}

TEST(XMLWriterTest, ShaderTextHoldingTheCDATAEndIsSplitAndReadsBack) {
  const std::string program = "def eval() real: if a[b[0]]>1 then 1.0 else 0.0 # x < y && z";
  OrvanePhongMaterial m;
  m.exponent = new OrvaneShaderWavelengthIndependentParam(program);
  const std::string out = materialXML(m);
  EXPECT_NE(out.find(L(4,
                       "<shader><![CDATA[def eval() real: if a[b[0]]]]><![CDATA[>1 then 1.0 else 0.0 # x < y "
                       "&& z]]></shader>")),
            std::string::npos)
      << out;

  TiXmlDocument doc;
  ASSERT_TRUE(parsesWithTinyXML(out, doc));
  EXPECT_EQ(textAt(doc, {"phong", "exponent", "shader", "shader"}), program);
}

// Every writer's output, for a material of each model with every field set,
// parses as one XML element.
TEST(XMLWriterTest, EveryModelWithEveryFieldSetParsesWithTinyXML) {
  const Reference<OrvaneTexCoordGenerator> generators[] = {
      identityUV(),
      new OrvaneSphericalTexCoordGenerator(new OrvaneMatrixRotation({1, 0, 0, 0, 1, 0, 0, 0, 1})),
      new OrvaneSphericalEnvTexCoordGenerator(new OrvaneAxisRotation(new Vec3(0, 1, 0), 3.14)),
  };
  std::vector<OrvaneTexture> textures;
  for (const auto& g : generators) {
    OrvaneTexture t = makeTexture("t&.png");
    t.tex_coord_generation = g;
    textures.push_back(t);
  }
  const Reference<OrvaneWavelengthDependentParam> spectral[] = {
      new OrvaneConstantWavelengthDependentParam(new OrvaneRGBSpectrum(new Vec3(1, 0, 0), 2.2)),
      new OrvaneConstantWavelengthDependentParam(new OrvaneBlackBodySpectrum(6500, 1)),
      new OrvaneConstantWavelengthDependentParam(new OrvanePeakSpectrum(500, 10, 1, 0)),
      new OrvaneConstantWavelengthDependentParam(new OrvaneRegularSpectrum(400, 700, 2, {0, 1})),
      new OrvaneShaderWavelengthDependentParam("]]>"),
      new OrvaneTextureWavelengthDependentParam(2),
  };
  const Reference<OrvaneDisplacementParam> disp(new OrvaneShaderDisplacementParam("<&>"));

  std::vector<Reference<OrvaneMaterial>> materials;
  for (const auto& albedo : spectral) {
    OrvaneDiffuse* d = new OrvaneDiffuse;
    materials.push_back(d);
    d->albedo = albedo;
    d->bump = disp;
    d->displacement = disp;
    d->base_emission = albedo;
    d->emission = albedo;

    OrvaneOrenNayarMaterial* o = new OrvaneOrenNayarMaterial;
    materials.push_back(o);
    o->albedo = albedo;
    o->sigma = new OrvaneTextureWavelengthIndependentParam(1);
    o->emission = albedo;

    OrvanePhongMaterial* p = new OrvanePhongMaterial;
    materials.push_back(p);
    p->diffuse_albedo = albedo;
    p->specular_reflectivity = albedo;
    p->bump = disp;

    OrvaneSpecularMaterial* s = new OrvaneSpecularMaterial;
    materials.push_back(s);
    s->absorption_layer_transmittance = albedo;

    OrvaneGlossyTransparent* g = new OrvaneGlossyTransparent;
    materials.push_back(g);
    g->absorption_layer_transmittance = albedo;
    g->exponent = new OrvaneShaderWavelengthIndependentParam("a]]>b");

    OrvaneDiffuseTransmitter* dt = new OrvaneDiffuseTransmitter;
    materials.push_back(dt);
    dt->albedo = albedo;
  }
  OrvaneBlendMaterial* b = new OrvaneBlendMaterial;
  materials.push_back(b);
  b->blend = disp;
  materials.push_back(new OrvaneNullMaterial);

  for (auto& m : materials) {
    m->name = "name & <" + m->XMLType() + ">";
    m->textures = textures;
    const std::string out = materialXML(*m.getPointer());
    TiXmlDocument doc;
    ASSERT_TRUE(parsesWithTinyXML(out, doc)) << m->XMLType();
    EXPECT_EQ(textAt(doc, {"name"}), m->name);
    const TiXmlElement* type = doc.RootElement()->FirstChildElement(m->XMLType());
    ASSERT_NE(type, nullptr) << out;
    int n = 0;
    for (const TiXmlElement* t = type->FirstChildElement("texture"); t; t = t->NextSiblingElement("texture"))
      ++n;
    // A texture-form parameter also writes a "texture" element; only count those with a path.
    int with_path = 0;
    for (const TiXmlElement* t = type->FirstChildElement("texture"); t; t = t->NextSiblingElement("texture"))
      with_path += t->FirstChildElement("path") ? 1 : 0;
    EXPECT_EQ(with_path, 3) << out;
    EXPECT_GE(n, 3);
  }
}

}  // namespace
