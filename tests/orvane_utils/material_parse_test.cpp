// Tests of the seven material entry points: default forms, older forms, the
// children each rejects and the exact message of each failure, and a
// write -> read -> write round trip through the element model's writer.

#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <tinyxml.h>

#include "orvane_utils/OrvaneElementModel.h"
#include "orvane_utils/OrvaneMaterialCheck.h"
#include "orvane_utils/OrvaneSceneParseUtils.h"
#include "orvane_utils/OrvaneXMLLoader.h"
#include "parse_test_support.h"

using namespace Orvane;
using parse_test::at;
using parse_test::errorOf;
using parse_test::Snippet;
typedef OrvaneSceneParseUtils PU;

namespace {

const char kTex[] = "<texture><path>t.png</path><uv_set>uv</uv_set></texture>";

// A type element read by the entry point its name selects.
Reference<OrvaneMaterial> read(const std::string& xml) {
  Snippet s(xml);
  return OrvaneMaterialCheck::parseTypeElement(s.root());
}

template <class T>
const T& as(const Reference<OrvaneMaterial>& m) {
  const T* p = dynamic_cast<const T*>(m.getPointer());
  EXPECT_NE(p, nullptr);
  return *p;
}

template <class P>
uint32_t textureIndexOf(const Reference<P>& p) {
  if (const auto* t = dynamic_cast<const OrvaneTextureWavelengthDependentParam*>(p.getPointer()))
    return t->texture_index;
  if (const auto* t = dynamic_cast<const OrvaneTextureWavelengthIndependentParam*>(p.getPointer()))
    return t->texture_index;
  if (const auto* t = dynamic_cast<const OrvaneTextureDisplacementParam*>(p.getPointer()))
    return t->texture_index;
  ADD_FAILURE() << "not a texture-form parameter";
  return 0xFFFFFFFFu;
}

// ---------------------------------------------------------------------------
// Failures of every entry point, with their exact messages

struct FailureCase {
  std::string xml;       // one line, the type element first
  std::string expected;  // the whole message
};

std::string typeAt(const std::string& xml) {
  const std::string name = xml.substr(1, xml.find_first_of(">/ ") - 1);
  return at(name, 1, 1);
}

TEST(MaterialParsers, Failures) {
  const std::string idx0 = "<texture><texture_index>0</texture_index></texture>";
  const std::string bumpTex = "<bump>" + idx0 + "</bump>";
  const std::vector<FailureCase> cases = {
      // Whitelists: the first child outside the list, in document order.
      {"<diffuse><name>x</name></diffuse>", "Found unexpected element 'name'."},
      {"<diffuse><albedo/><bump/><sigma/><other/></diffuse>", "Found unexpected element 'sigma'."},
      {"<oren_nayar><sigma>0.3</sigma><random_triangle_colours>true</random_triangle_colours></oren_nayar>",
       "Found unexpected element 'random_triangle_colours'."},
      {"<diffuse_transmitter><bump_map/></diffuse_transmitter>", "Found unexpected element 'bump_map'."},
      {"<glossy_transparent><albedo/></glossy_transparent>", "Found unexpected element 'albedo'."},
      {"<specular><albedo_texture/></specular>", "Found unexpected element 'albedo_texture'."},
      {"<phong><exponent><constant>5</constant></exponent><diffuse>1 1 1</diffuse></phong>",
       "Found unexpected element 'diffuse'."},
      {"<phong><diffuse_albedo/></phong>", "Found unexpected element 'diffuse_albedo'."},
      {"<blend><blend_factor>0.5</blend_factor><blend/></blend>", "Found unexpected element 'blend'."},
      {"<blend><blend_factor>0.5</blend_factor>" + std::string(kTex) + "</blend>",
       "Found unexpected element 'texture'."},
      {"<blend><a_name>a</a_name><blend_map/></blend>", "Found unexpected element 'blend_map'."},
      // Required children.
      {"<oren_nayar/>", "Failed to find expected element 'sigma'."},
      {"<glossy_transparent/>", "Failed to find expected element 'exponent'."},
      {"<glossy_transparent><exponent>10</exponent></glossy_transparent>",
       "could not find element 'internal_medium_name'."},
      {"<specular/>", "could not find element 'internal_medium_name'."},
      {"<specular><internal_medium_name>g</internal_medium_name></specular>",
       "could not find element 'transparent'."},
      {"<phong><diffuse>1 1 1</diffuse></phong>", "could not find element 'exponent'."},
      {"<phong><exponent>10</exponent></phong>",
       "Failed to find expected element 'diffuse_albedo_spectrum'."},
      {"<blend><blend/></blend>", "could not find element 'a_name'."},
      {"<blend><a_name>a</a_name></blend>", "could not find element 'b_name'."},
      {"<blend><a_name>a</a_name><b_name>b</b_name></blend>", "Failed to find expected element 'blend'."},
      {"<blend><blend_factor>0.5</blend_factor><a_name>a</a_name></blend>",
       "could not find element 'b_name'."},
      // Values read from the type element's own children.
      {"<diffuse><random_triangle_colours>yes</random_triangle_colours></diffuse>",
       "Invalid boolean value (Should be 'true' or 'false')."},
      {"<diffuse><layer>x</layer></diffuse>", "Failed to parse integer from 'x'."},
      {"<diffuse><layer>4294967296</layer></diffuse>", "Failed to parse integer from '4294967296'."},
      {"<diffuse_transmitter><colour>1 1</colour></diffuse_transmitter>", "Failed to parse Vec3 from '1 1'."},
      {"<oren_nayar><sigma>rough</sigma></oren_nayar>", "Failed to parse double from 'rough'."},
      {"<glossy_transparent><exponent>abc<x/></exponent></glossy_transparent>",
       "Failed to parse double from 'abc'."},
      {"<specular><internal_medium_name>g</internal_medium_name><transparent>True</transparent></specular>",
       "Invalid boolean value (Should be 'true' or 'false')."},
      {"<specular><internal_medium_name>g</internal_medium_name><transparent>true</transparent>"
       "<arch_glass>1</arch_glass></specular>",
       "Invalid boolean value (Should be 'true' or 'false')."},
      {"<phong><exponent><constant>5</constant></exponent><fresnel_scale>x</fresnel_scale></phong>",
       "Failed to parse double from 'x'."},
      {"<phong><exponent>5</exponent><diffuse>1 1 1</diffuse><ior>high</ior></phong>",
       "Failed to parse double from 'high'."},
      {"<blend><a_name>a</a_name><b_name>b</b_name><blend><constant>1</constant></blend>"
       "<step_blend>maybe</step_blend></blend>",
       "Invalid boolean value (Should be 'true' or 'false')."},
      {"<blend><blend_factor>half</blend_factor></blend>", "Failed to parse double from 'half'."},
      // Reading order: an earlier field's error wins.
      {"<specular><bump/></specular>",
       "Failed to find child for element 'bump' - Child should be one of 'constant', 'shader', 'texture'." +
           at("bump", 1, 11)},
      {"<diffuse><albedo/><albedo_texture><path>p</path><uv_set>u</uv_set></albedo_texture></diffuse>",
       "Failed to find child for element 'albedo' - Child should be one of 'constant', 'shader', 'texture'." +
           at("albedo", 1, 10)},
      {"<oren_nayar><sigma><constant>1</constant><texture/></sigma></oren_nayar>",
       "Found unexpected element 'texture,  already parsed mutually exclusive element 'constant'." +
           at("sigma", 1, 13)},
      {"<glossy_transparent><exponent><constant>1</constant><shader/></exponent></glossy_transparent>",
       "Found unexpected element 'shader,  already parsed mutually exclusive element 'constant'." +
           at("exponent", 1, 21)},
      {"<phong><exponent><constant>1</constant><texture/></exponent></phong>",
       "Found unexpected element 'texture,  already parsed mutually exclusive element 'constant'." +
           at("exponent", 1, 8)},
      // Texture indices: "bump" and "displacement" see only the "texture"
      // children; parameters read after the old texture elements see those too.
      {"<diffuse><albedo_texture><path>p</path><uv_set>u</uv_set></albedo_texture>" + bumpTex + "</diffuse>",
       "Texture index '0' is out of bounds."},
      {"<blend><a_name>a</a_name><b_name>b</b_name><blend>" + idx0 + "</blend></blend>",
       "Texture index '0' is out of bounds."},
      {"<specular><internal_medium_name>g</internal_medium_name><transparent>true</"
       "transparent><emission><texture>"
       "<texture_index>1</texture_index></texture></emission><bump_map><path>p</path><uv_set>u</uv_set></"
       "bump_map>"
       "</specular>",
       "Texture index '1' is out of bounds."},
      // Tables of the specular material.
      {"<specular><internal_medium_name>g</internal_medium_name><transparent>false</transparent>"
       "<tabulated_internal_reflection_coefficient><start_wavelength>4e-7</"
       "start_wavelength><end_wavelength>7e-7"
       "</end_wavelength><num_rows>1</num_rows></tabulated_internal_reflection_coefficient></specular>",
       "num_rows must be >= 2." + at("tabulated_internal_reflection_coefficient", 1, 89)},
  };
  for (const FailureCase& c : cases) {
    std::string expected = c.expected;
    if (expected.find("  (In element") == std::string::npos) {
      // Texture-index errors name the "texture" element; others the type element.
      if (expected.rfind("Texture index", 0) == 0) {
        const size_t open = c.xml.rfind("<texture><texture_index>");
        expected += at("texture", 1, static_cast<int>(open) + 1);
      } else
        expected += typeAt(c.xml);
    }
    EXPECT_EQ(errorOf([&] { read(c.xml); }), expected) << c.xml;
  }
}

// ---------------------------------------------------------------------------
// Default forms: a missing optional parameter stays empty

TEST(MaterialParsers, DefaultForms) {
  {
    const Reference<OrvaneMaterial> m = read("<diffuse><!-- c -->text</diffuse>");
    const OrvaneDiffuse& d = as<OrvaneDiffuse>(m);
    EXPECT_EQ(d.albedo.getPointer(), nullptr);
    EXPECT_EQ(d.bump.getPointer(), nullptr);
    EXPECT_EQ(d.displacement.getPointer(), nullptr);
    EXPECT_EQ(d.base_emission.getPointer(), nullptr);
    EXPECT_EQ(d.emission.getPointer(), nullptr);
    EXPECT_FALSE(d.random_triangle_colours);
    EXPECT_EQ(d.layer, 0u);
    EXPECT_TRUE(d.textures.empty());
    EXPECT_EQ(d.name, "");
  }
  {
    // The constructor's RGB albedo does not survive a parse.
    const Reference<OrvaneMaterial> m = read("<oren_nayar><sigma>0.25</sigma></oren_nayar>");
    const OrvaneOrenNayarMaterial& o = as<OrvaneOrenNayarMaterial>(m);
    EXPECT_EQ(o.albedo.getPointer(), nullptr);
    EXPECT_DOUBLE_EQ(
        dynamic_cast<const OrvaneConstantWavelengthIndependentParam&>(*o.sigma.getPointer()).value, 0.25);
  }
  {
    const Reference<OrvaneMaterial> m = read("<diffuse_transmitter/>");
    const OrvaneDiffuseTransmitter& t = as<OrvaneDiffuseTransmitter>(m);
    EXPECT_EQ(t.albedo.getPointer(), nullptr);
    EXPECT_EQ(t.layer, 0u);
  }
  {
    const Reference<OrvaneMaterial> m = read(
        "<specular><internal_medium_name>glass</internal_medium_name><transparent>false</transparent></"
        "specular>");
    const OrvaneSpecularMaterial& s = as<OrvaneSpecularMaterial>(m);
    EXPECT_EQ(s.internal_medium_name, "glass");
    EXPECT_FALSE(s.transparent);
    EXPECT_FALSE(s.arch_glass);
    EXPECT_EQ(s.absorption_layer_transmittance.getPointer(), nullptr);
    EXPECT_EQ(s.tabulated_external_reflection_coefficient.getPointer(), nullptr);
    EXPECT_EQ(s.tabulated_internal_reflection_coefficient.getPointer(), nullptr);
    EXPECT_EQ(s.tabulated_transmission_coefficient.getPointer(), nullptr);
  }
  {
    const Reference<OrvaneMaterial> m = read("<phong><exponent><constant>50</constant></exponent></phong>");
    const OrvanePhongMaterial& p = as<OrvanePhongMaterial>(m);
    EXPECT_EQ(p.diffuse_albedo.getPointer(), nullptr);
    EXPECT_EQ(p.specular_reflectivity.getPointer(), nullptr);
    EXPECT_DOUBLE_EQ(p.ior, 1.5);
    EXPECT_DOUBLE_EQ(p.fresnel_scale, 1.0);
    EXPECT_EQ(p.nk_data, "");
  }
  {
    const Reference<OrvaneMaterial> m = read(
        "<blend><a_name>A</a_name><b_name>B</b_name><blend><shader><shader>"
        "s</shader></shader></blend></blend>");
    const OrvaneBlendMaterial& b = as<OrvaneBlendMaterial>(m);
    EXPECT_EQ(b.a_name, "A");
    EXPECT_EQ(b.b_name, "B");
    EXPECT_FALSE(b.step_blend);
    EXPECT_EQ(dynamic_cast<const OrvaneShaderDisplacementParam&>(*b.blend.getPointer()).shader, "s");
  }
}

// ---------------------------------------------------------------------------
// Older forms and the texture list order

TEST(MaterialParsers, OldSingleTextureElementsComeAfterTheTextureChildren) {
  const std::string tex = kTex;
  {
    const Reference<OrvaneMaterial> m =
        read("<diffuse>" + tex + tex +
             "<albedo><constant><uniform><value>1</value></uniform></constant></albedo>"
             "<albedo_texture><path>a.png</path><uv_set>u</uv_set></albedo_texture>"
             "<bump_map><path>b.png</path><uv_set>u</uv_set></bump_map><bump><constant>0.1</constant></bump>"
             "<emission><texture><texture_index>3</texture_index></texture></emission></diffuse>");
    const OrvaneDiffuse& d = as<OrvaneDiffuse>(m);
    ASSERT_EQ(d.textures.size(), 4u);
    EXPECT_EQ(d.textures[2].path, "a.png");
    EXPECT_EQ(textureIndexOf(d.albedo), 2u);
    EXPECT_EQ(textureIndexOf(d.bump), 3u);
    EXPECT_EQ(textureIndexOf(d.emission), 3u);
  }
  {
    // An exponent index equal to the number of "texture" children points at
    // the "bump_map" texture.
    const Reference<OrvaneMaterial> m =
        read("<glossy_transparent>" + tex + tex + tex +
             "<bump_map><path>b.png</path><uv_set>u</uv_set></bump_map>"
             "<exponent><texture><texture_index>3</texture_index></texture></exponent>"
             "<internal_medium_name>ice</internal_medium_name></glossy_transparent>");
    const OrvaneGlossyTransparent& g = as<OrvaneGlossyTransparent>(m);
    ASSERT_EQ(g.textures.size(), 4u);
    EXPECT_EQ(g.textures[3].path, "b.png");
    EXPECT_EQ(textureIndexOf(g.bump), 3u);
    EXPECT_EQ(textureIndexOf(g.exponent), 3u);
    EXPECT_EQ(g.internal_medium_name, "ice");
  }
  {
    // "colour" is still read (and must be valid) though "albedo_texture" wins.
    const Reference<OrvaneMaterial> m = read(
        "<diffuse_transmitter><colour>0.5 0.5 0.5</colour><displacement_map><path>d.png</path><uv_set>u"
        "</uv_set></displacement_map><albedo_texture><path>a.png</path><uv_set>u</uv_set></albedo_texture>"
        "</diffuse_transmitter>");
    const OrvaneDiffuseTransmitter& t = as<OrvaneDiffuseTransmitter>(m);
    EXPECT_EQ(textureIndexOf(t.albedo), 0u);
    EXPECT_EQ(textureIndexOf(t.displacement), 1u);
    EXPECT_EQ(t.textures[1].path, "d.png");
  }
}

TEST(MaterialParsers, OlderNumericExponentAndSigma) {
  const Reference<OrvaneMaterial> g = read(
      "<glossy_transparent><exponent>1000<other/></exponent><internal_medium_name>m</internal_medium_name>"
      "</glossy_transparent>");
  EXPECT_DOUBLE_EQ(dynamic_cast<const OrvaneConstantWavelengthIndependentParam&>(
                       *as<OrvaneGlossyTransparent>(g).exponent.getPointer())
                       .value,
                   1000);
  const Reference<OrvaneMaterial> o =
      read("<oren_nayar><sigma><shader><shader>x</shader></shader></sigma></oren_nayar>");
  EXPECT_EQ(dynamic_cast<const OrvaneShaderWavelengthIndependentParam&>(
                *as<OrvaneOrenNayarMaterial>(o).sigma.getPointer())
                .shader,
            "x");
}

TEST(MaterialParsers, OlderPhongForms) {
  const auto uniformValue = [](const Reference<OrvaneWavelengthDependentParam>& p) {
    const auto& c = dynamic_cast<const OrvaneConstantWavelengthDependentParam&>(*p.getPointer());
    return dynamic_cast<const OrvaneUniformSpectrum&>(*c.spectrum.getPointer()).value;
  };
  {
    // nk_data given: a zero diffuse, no specular, and a malformed "diffuse" unread.
    const Reference<OrvaneMaterial> m =
        read("<phong><exponent>1000</exponent><nk_data>Au.nk</nk_data><diffuse>bad</diffuse></phong>");
    const OrvanePhongMaterial& p = as<OrvanePhongMaterial>(m);
    EXPECT_EQ(uniformValue(p.diffuse_albedo), 0.0);
    EXPECT_EQ(p.specular_reflectivity.getPointer(), nullptr);
    EXPECT_EQ(p.nk_data, "Au.nk");
    EXPECT_DOUBLE_EQ(
        dynamic_cast<const OrvaneConstantWavelengthIndependentParam&>(*p.exponent.getPointer()).value, 1000);
  }
  {
    const Reference<OrvaneMaterial> m = read(
        "<phong><exponent>10</exponent><diffuse>bad</diffuse><specular_reflectivity_spectrum><uniform><value>"
        "0.5</value></uniform></specular_reflectivity_spectrum></phong>");
    const OrvanePhongMaterial& p = as<OrvanePhongMaterial>(m);
    EXPECT_EQ(uniformValue(p.diffuse_albedo), 0.0);
    EXPECT_DOUBLE_EQ(uniformValue(p.specular_reflectivity), 0.5);
  }
  {
    const Reference<OrvaneMaterial> m =
        read("<phong><exponent>10</exponent><diffuse>0.5 0.25 0</diffuse>" + std::string(kTex) +
             "<albedo_texture><path>a</path><uv_set>u</uv_set></albedo_texture>"
             "<exponent_map><path>e</path><uv_set>u</uv_set></exponent_map></phong>");
    const OrvanePhongMaterial& p = as<OrvanePhongMaterial>(m);
    ASSERT_EQ(p.textures.size(), 3u);
    EXPECT_EQ(textureIndexOf(p.diffuse_albedo), 1u);
    EXPECT_EQ(textureIndexOf(p.exponent), 2u);
    EXPECT_EQ(p.textures[2].path, "e");
  }
  {
    const Reference<OrvaneMaterial> m =
        read("<phong><exponent>10</exponent><diffuse>0.5 0.25 0</diffuse></phong>");
    const auto& c = dynamic_cast<const OrvaneConstantWavelengthDependentParam&>(
        *as<OrvanePhongMaterial>(m).diffuse_albedo.getPointer());
    const auto& rgb = dynamic_cast<const OrvaneRGBSpectrum&>(*c.spectrum.getPointer());
    EXPECT_DOUBLE_EQ(rgb.gamma, 2.2);
    EXPECT_DOUBLE_EQ(rgb.rgb->y, 0.25);
  }
}

TEST(MaterialParsers, OlderBlendForm) {
  {
    // With "blend_map" the factor is never read.
    const Reference<OrvaneMaterial> m = read(
        "<blend><blend_factor>not a number</blend_factor><a_name>a</a_name><b_name>b</b_name>"
        "<blend_map><path>m.png</path><uv_set>u</uv_set></blend_map><displacement_map/>"
        "<step_blend>true</step_blend></blend>");
    const OrvaneBlendMaterial& b = as<OrvaneBlendMaterial>(m);
    ASSERT_EQ(b.textures.size(), 1u);
    EXPECT_EQ(textureIndexOf(b.blend), 0u);
    EXPECT_TRUE(b.step_blend);
  }
  {
    const Reference<OrvaneMaterial> m =
        read("<blend><blend_factor>0.25</blend_factor><a_name>a</a_name><b_name>b</b_name></blend>");
    const OrvaneBlendMaterial& b = as<OrvaneBlendMaterial>(m);
    EXPECT_TRUE(b.textures.empty());
    EXPECT_DOUBLE_EQ(dynamic_cast<const OrvaneConstantDisplacementParam&>(*b.blend.getPointer()).value, 0.25);
  }
}

TEST(MaterialParsers, SpecularTables) {
  const Reference<OrvaneMaterial> m = read(
      "<specular><internal_medium_name>g</internal_medium_name><transparent>true</transparent>"
      "<arch_glass>true</arch_glass><layer>3</"
      "layer><tabulated_transmission_coefficient><start_wavelength>4e-7"
      "</start_wavelength><end_wavelength>7e-7</end_wavelength><num_rows>2</num_rows><num_columns>2"
      "</num_columns><values>1 2 3 4</values></tabulated_transmission_coefficient></specular>");
  const OrvaneSpecularMaterial& s = as<OrvaneSpecularMaterial>(m);
  EXPECT_TRUE(s.arch_glass);
  EXPECT_EQ(s.layer, 3u);
  ASSERT_NE(s.tabulated_transmission_coefficient.getPointer(), nullptr);
  EXPECT_EQ(s.tabulated_transmission_coefficient->values, (std::vector<double>{1, 2, 3, 4}));
  EXPECT_EQ(s.tabulated_external_reflection_coefficient.getPointer(), nullptr);
}

// ---------------------------------------------------------------------------
// Round trip: the element model's writer, read back and written again

Reference<OrvaneSpectrum> rgb(double r, double g, double b) {
  return Reference<OrvaneSpectrum>(new OrvaneRGBSpectrum(Reference<Vec3>(new Vec3(r, g, b)), 2.2));
}

OrvaneTexture texture(const std::string& path) {
  OrvaneTexture t;
  t.path = path;
  t.a = 0.5;
  t.b = 2;
  t.c = 0.25;
  t.uv_set = "uv & more";
  t.exponent = 2.2;
  t.tex_coord_generation = Reference<OrvaneTexCoordGenerator>(new OrvaneUVTexCoordGenerator(
      Reference<Matrix2>(new Matrix2(1, 0.5, 0, 1)), Reference<Vec2>(new Vec2(0.25, 0.75))));
  return t;
}

std::string written(const OrvaneMaterial& m) {
  std::ostringstream os;
  os << "<scenedata>\n";
  m.writeXMLToStream(os, 1);
  os << "</scenedata>\n";
  return os.str();
}

TEST(MaterialParsers, WriteReadWriteRoundTrip) {
  typedef Reference<OrvaneWavelengthDependentParam> S;
  typedef Reference<OrvaneDisplacementParam> D;
  typedef Reference<OrvaneWavelengthIndependentParam> W;
  std::vector<Reference<OrvaneMaterial>> models;
  {
    OrvaneDiffuse* d = new OrvaneDiffuse();
    d->name = "Red <1>";
    d->textures.push_back(texture("a.png"));
    d->albedo = S(new OrvaneConstantWavelengthDependentParam(rgb(0.5, 0.25, 1)));
    d->bump = D(new OrvaneTextureDisplacementParam(0));
    d->emission = S(new OrvaneShaderWavelengthDependentParam("a ]]> b < c"));
    d->base_emission = S(new OrvaneConstantWavelengthDependentParam(
        Reference<OrvaneSpectrum>(new OrvanePeakSpectrum(5e-07, 1e-07, 2, 0.5))));
    d->random_triangle_colours = true;
    d->layer = 4;
    models.push_back(Reference<OrvaneMaterial>(d));
  }
  {
    OrvaneOrenNayarMaterial* o = new OrvaneOrenNayarMaterial();
    o->name = "Rough";
    o->sigma = W(new OrvaneConstantWavelengthIndependentParam(0.25));
    o->displacement = D(new OrvaneShaderDisplacementParam("d"));
    models.push_back(Reference<OrvaneMaterial>(o));
  }
  {
    OrvanePhongMaterial* p = new OrvanePhongMaterial();
    p->name = "Shiny";
    p->textures.push_back(texture("e.png"));
    p->textures.push_back(texture("f.png"));
    p->exponent = W(new OrvaneTextureWavelengthIndependentParam(1));
    p->diffuse_albedo = S(new OrvaneConstantWavelengthDependentParam(
        Reference<OrvaneSpectrum>(new OrvaneBlackBodySpectrum(6500, 2))));
    p->specular_reflectivity = S(new OrvaneTextureWavelengthDependentParam(0));
    p->ior = 1.25;
    p->fresnel_scale = 0.5;
    p->nk_data = "Au.nk";
    models.push_back(Reference<OrvaneMaterial>(p));
  }
  {
    OrvaneSpecularMaterial* s = new OrvaneSpecularMaterial();
    s->name = "Glass";
    s->internal_medium_name = "glass";
    s->transparent = false;
    s->absorption_layer_transmittance = S(new OrvaneConstantWavelengthDependentParam(
        Reference<OrvaneSpectrum>(new OrvaneUniformSpectrum(0.5))));
    s->layer = 2;
    models.push_back(Reference<OrvaneMaterial>(s));
  }
  {
    OrvaneGlossyTransparent* g = new OrvaneGlossyTransparent();
    g->name = "Frosted";
    g->exponent = W(new OrvaneShaderWavelengthIndependentParam("x"));
    g->internal_medium_name = "ice";
    g->displacement = D(new OrvaneConstantDisplacementParam(0.125));
    models.push_back(Reference<OrvaneMaterial>(g));
  }
  {
    OrvaneDiffuseTransmitter* t = new OrvaneDiffuseTransmitter();
    t->name = "Leaf";
    t->albedo = S(new OrvaneConstantWavelengthDependentParam(rgb(0.25, 0.5, 0)));
    models.push_back(Reference<OrvaneMaterial>(t));
  }
  {
    OrvaneBlendMaterial* b = new OrvaneBlendMaterial();
    b->name = "Mix";
    b->a_name = "Red <1>";
    b->b_name = "Shiny";
    b->textures.push_back(texture("m.png"));
    b->blend = D(new OrvaneTextureDisplacementParam(0));
    b->step_blend = true;
    models.push_back(Reference<OrvaneMaterial>(b));
  }
  for (const Reference<OrvaneMaterial>& model : models) {
    const std::string first = written(*model.getPointer());
    TiXmlDocument doc;
    std::string error;
    ASSERT_TRUE(OrvaneXMLLoader::parse(first, doc, error)) << error << "\n" << first;
    const TiXmlElement* material = doc.RootElement()->FirstChildElement("material");
    const TiXmlElement* type = OrvaneMaterialCheck::findTypeElement(*material);
    ASSERT_NE(type, nullptr);
    Reference<OrvaneMaterial> back;
    const std::string parseError = errorOf([&] { back = OrvaneMaterialCheck::parseTypeElement(*type); });
    ASSERT_EQ(parseError, "<no error>") << first;
    back->name = PU::parseString(*material, "name");
    EXPECT_EQ(written(*back.getPointer()), first);
  }
}

}  // namespace
