// The import command's frame: type order, head insertion, duplicates, dialogs, blend partners,
// archives, cancelled choosers, broken files.
#include <algorithm>
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <set>

#include "host_clock.h"
#include "import/import_support.h"
#include "support/zip_writer.h"
#include "files/internal.h"

namespace {

const char kDiffuse[] = "<diffuse/>";

TEST_F(ImportTest, OneMaterialPerElementCreatedLastStandsFirstWithTheTypeOfTheFirstKnownElement) {
  // One row per material: its type elements and the type it gets.
  const struct {
    const char* name;
    const char* body;
    LONG type;
  } rows[] = {
      {"A", "<diffuse/>", MAT_TYPE_DIFFUSE},
      {"B", "<oren_nayar><sigma><constant>0.3</constant></sigma></oren_nayar>", MAT_TYPE_OREN_NAYAR},
      {"C", "<phong/><diffuse/>", MAT_TYPE_DIFFUSE},
      {"D",
       "<glossy_transparent><exponent><constant>10</constant></exponent><internal_medium_name>x</"
       "internal_medium_name></glossy_transparent><specular><internal_medium_name>x</"
       "internal_medium_name><transparent>false</transparent></specular>",
       MAT_TYPE_SPECULAR},
      {"E", "<diffuse_transmitter/>", MAT_TYPE_DIFFUSE_TRANSMITTER},
      {"F", "<blend><a_name>A</a_name><b_name>E</b_name><blend><constant>0.5</constant></blend></blend>",
       MAT_TYPE_BLEND},
      {"G", "<unknown_type/>", 0},
  };
  std::string body;
  for (const auto& r : rows) body += Mat(r.name, r.body);
  ImportBody(body + Mat("H", "<null_material/>"));
  EXPECT_EQ(Names(), "G,F,E,D,C,B,A");
  for (const auto& r : rows) {
    if (r.type) {
      EXPECT_EQ(Data(r.name)->GetLong(MAT_TYPE), r.type) << r.name;
    }
  }
  // A material without a known type keeps what its Init wrote: no type of the import.
  EXPECT_EQ(Data("G")->GetData(MAT_TYPE), Fresh(MAT_TYPE));
  EXPECT_EQ(Messages(), std::vector<std::string>());
}

TEST_F(ImportTest, TheFirstOfTwoMaterialsOfOneNameStandsAndNamelessOnesShareTheDefaultName) {
  ImportBody(Mat("Twin", "<diffuse/>") + Mat("Twin", "<phong><broken/></phong>") +  // never parsed: no dialog
             "<material><diffuse/></material><material><diffuse/></material>");
  ASSERT_EQ(Materials().size(), 2u);
  EXPECT_EQ(Data("Twin")->GetLong(MAT_TYPE), MAT_TYPE_DIFFUSE);
  EXPECT_TRUE(Messages().empty());
  // Importing the same file again gives every material again.
  ImportBody(Mat("Twin", "<diffuse/>"));
  EXPECT_EQ(Materials().size(), 3u);
}

TEST_F(ImportTest, AReaderErrorShowsOneDialogWithTheLocatedMessageAndKeepsADefaultMaterial) {
  ImportBody(Mat("Bad", "<diffuse>\n<colour_typo>1</colour_typo></diffuse>") + Mat("Next", kDiffuse));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0],
            "Found unexpected element 'colour_typo'.  (In element 'diffuse', around line 1, column 38)");
  EXPECT_EQ(Names(), "Next,Bad");
  EXPECT_EQ(Data("Bad")->GetLong(MAT_TYPE), MAT_TYPE_DIFFUSE);
  EXPECT_EQ(Data("Bad")->GetData(MAT_ALBEDO_COLOR), Fresh(MAT_ALBEDO_COLOR));
  EXPECT_TRUE(Data("Bad")->GetBool(MAT_USE_ALBEDO));  // the switches follow the type
}

TEST_F(ImportTest, WarningsOfTheWholeFileComeInOneDialogAtTheEnd) {
  const std::string emission =
      "<emission><constant><uniform><value>1</value></uniform></constant></emission>";
  const std::string bump = "<bump><constant>0.1</constant></bump>";
  ImportBody(Mat("One", "<diffuse>" + emission + "</diffuse>") +
             Mat("Two", "<diffuse>" + bump + "</diffuse>") +
             Mat("Three",
                 "<diffuse><albedo><constant><blackbody><temperature>3000</temperature><gain>1</gain></"
                 "blackbody></constant></albedo></diffuse>"));
  ASSERT_EQ(Messages().size(), 1u);
  EXPECT_EQ(Messages()[0],
            "Import warnings:\n"
            "- Emission uniform spectrum in Material \"One\" not supported.\n"
            "- Bump constant in Material \"Two\" not supported.\n"
            "- Albedo blackbody spectrum in Material \"Three\" not supported.");
  EXPECT_TRUE(import.warnings.empty());
}

TEST_F(ImportTest, BlendPartnersAreImportedFirstOnceAndChainsBackToThemselvesEnd) {
  const std::string blend =
      "<blend><a_name>%A</a_name><b_name>%B</b_name><blend><constant>0.25</constant></"
      "blend><step_blend>true</step_blend></blend>";
  auto Blend = [&](const std::string& a, const std::string& b) {
    std::string s = blend;
    s.replace(s.find("%A"), 2, a);
    s.replace(s.find("%B"), 2, b);
    return s;
  };
  ImportBody(Mat("Mix", Blend("Red", "Nothing")) + Mat("Self", Blend("Self", "Unknown")) +
             Mat("P", Blend("Q", "Red")) + Mat("Q", Blend("P", "Red")) + Mat("Red", kDiffuse) +
             Mat("Nothing", "<null_material/>") + Mat("UsesPlain", Blend("Plain", "Plain")) +
             Mat("Plain", "<typeless/>"));
  // Red is made while Mix is imported, Q while P is; Q sees P as still in progress. The typeless
  // Plain is made once, at the first visit, not at the second nor when the loop reaches it.
  EXPECT_EQ(Names(), "Plain,UsesPlain,Q,P,Self,Red,Mix");
  BaseMaterial* red = doc->SearchMaterial("Red");
  const struct {
    const char* blend;
    BaseList2D* a;
    BaseList2D* b;
  } rows[] = {
      {"Mix", red, nullptr},
      {"Self", nullptr, nullptr},
      {"P", doc->SearchMaterial("Q"), red},
      {"Q", nullptr, red},
  };
  for (const auto& r : rows) {
    EXPECT_EQ(Data(r.blend)->GetLink(MAT_BLEND_A, doc), r.a) << r.blend;
    EXPECT_EQ(Data(r.blend)->GetLink(MAT_BLEND_B, doc), r.b) << r.blend;
    EXPECT_DOUBLE_EQ(Data(r.blend)->GetReal(MAT_ALPHA_VALUE), 0.25);
    EXPECT_TRUE(Data(r.blend)->GetBool(MAT_STEP_BLEND));
  }
  // A typeless partner is no imported material: its link stays empty.
  EXPECT_EQ(Data("UsesPlain")->GetLink(MAT_BLEND_A, doc), nullptr);
}

TEST_F(ImportTest, AnArchiveIsUnpackedIntoItsOwnFolderUnderTheWritePath) {
  host::SetStartupWritePath(dir.path());
  static host::ManualClock clock;  // the timer stands still: every import sees the same value
  host::SetClock(&clock);
  // The folder an import killed while unpacking left behind goes with all it holds; what a kept
  // import holds stays, even under a temporary's name (an archive may hold such names).
  const pid_t ended = fork();
  if (ended == 0) _exit(0);
  ASSERT_EQ(waitpid(ended, nullptr, 0), ended);
  const std::string left = ".t.tga.tmp-" + files::Origin() + "-" + std::to_string(ended) + "-Zq0rT5bWx2";
  std::filesystem::create_directories(dir / "materials/killed/tex");
  std::filesystem::create_directories(dir / "materials/.wood.povm0.tmp-" + files::Origin() + "-" +
                                      std::to_string(ended) + "-Zq0rT5bWx2/tex");
  std::ofstream(dir / ("materials/killed/tex/" + left)) << "part";
  const std::string text = "<scenedata>" + Mat("Packed", kDiffuse) + "</scenedata>";
  const auto unpack = [&](const std::string& path, const std::string& reason) {
    return "Could not unpack " + dir / path + ": " + reason;
  };
  // A name too long for a folder is cut to fit; one that would come out in a temporary's form (so
  // that a later sweep took it) is passed over.
  const std::string longName(250, 'a');
  const std::string tempLike = "." + std::string(214, 't') + ".tmp-" + files::Origin() + "-99999-ABCDEFGHI";
  // Textures that are links, as bsdtar packs a folder: one to a file of the archive, one out of it.
  const auto texture = [](const std::string& name, const std::string& path) {
    return Mat(name, "<diffuse><texture><path>" + path +
                         "</path><uv_set>default</uv_set></texture><albedo><texture><texture_index>0</"
                         "texture_index></texture>"
                         "</albedo></diffuse>");
  };
  const std::string linked =
      "<scenedata>" + texture("Red", "tex/red.png") + texture("Blue", "tex/blue.png") + "</scenedata>";
  const std::string links = dir / "materials/links.povm0/tex/";
  // One row per archive: its path, its bytes, the materials the import makes and the console's
  // last line when nothing was imported. Archives of one file name each get a new folder.
  const struct {
    std::string path, zip;
    const char* names;
    std::string last;
    std::vector<std::string> said = {};  // lines the console holds, in this order
  } rows[] = {
      {"0/wood.povm",
       MakeZip({{"b.ovm", "<scenedata>" + Mat("Second", kDiffuse) + "</scenedata>"}, {"a.ovm", text}}),
       "Packed", ""},
      {"1/wood.povm", MakeZip({{"c.ovm", "<scenedata>" + Mat("Other", kDiffuse) + "</scenedata>"}}), "Other",
       ""},
      {"2/wood.povm", MakeZip({{"c.ovm", "<scenedata/>"}, {"../x.ovm", text}}), "",
       unpack("2/wood.povm", "unsafe name: entry \"../x.ovm\"")},
      {"abs.povm", MakeZip({{"/abs.ovm", text}}), "", unpack("abs.povm", "unsafe name: entry \"/abs.ovm\"")},
      {"readme.povm", MakeZip({{"readme.txt", "no material"}}), "",
       "Could not import " + dir / "readme.povm" +
           ": no material file (.ovm) at the archive's top level, which holds readme.txt"},
      // What an archive holds instead of a material file is named.
      {"empty.povm", MakeZip({}), "", "Could not import " + dir / "empty.povm" + ": the archive is empty"},
      // An archive whose only files are links left out is not empty.
      {"links2.povm",
       MakeRawZip({ZipStored("./", ""), ZipLink("./mat.ovm", "tex/mat.ovm"),
                   ZipLink("./tex/red.png", "../mat.ovm")}),
       "",
       "Could not import " + dir / "links2.povm" +
           ": the archive holds no material file, only 2 links, which were left out",
       {"left out mat.ovm: a link to tex/mat.ovm, which the archive does not hold",
        "left out tex/red.png: a link to ../mat.ovm, a link that is left out"}},
      {"folder.povm", MakeZip({{"x.ovm/", ""}}), "",
       "Could not import " + dir / "folder.povm" +
           ": no material file (.ovm) at the archive's top level, which holds x.ovm/"},
      {"nul.povm",
       MakeRawZip({{std::string("a\0.ovm", 6), text, uint32_t(text.size()),
                    ZipFile::CalcCRC32(text.data(), VLONG(text.size()))}}),
       "", unpack("nul.povm", std::string("unsafe name: entry \"a") + '\0' + ".ovm\"")},
      // Of two material files the first is taken, and said so; one that holds no material imports none.
      {"two.povm",
       MakeZip({{"a.ovm", "<scenedata/>"}, {"b.ovm", "<scenedata>" + Mat("B", kDiffuse) + "</scenedata>"}}),
       "", "Imported no material: a.ovm in " + dir / "two.povm" + " holds none."},
      // Only the top level is read, as the renderer reads it; a folder's material file is named, the
      // folders in name order, each where its name comes.
      {"nested.povm", MakeZip({{"readme.txt", "x"}, {"mat/z.ovm", text}, {"mat/deep/a.OVM", text}}), "",
       "Could not import " + dir / "nested.povm" +
           ": the material file must be at the archive's top level; found mat/deep/a.OVM"},
      // A folder compressed by macOS's archiver: the "._" files beside it in "__MACOSX" hold
      // attributes, not materials.
      {"macos.povm",
       MakeZip({{"mymat/", ""},
                {"mymat/mat.ovm", text},
                {"__MACOSX/", ""},
                {"__MACOSX/mymat/", ""},
                {"__MACOSX/mymat/._mat.ovm", std::string("\0\5\26\7\0\2", 6)}}),
       "",
       "Could not import " + dir / "macos.povm" +
           ": the material file must be at the archive's top level; found mymat/mat.ovm"},
      // Packed by such a tool without "__MACOSX": the "._" file lies beside the material file.
      {"appledouble.povm", MakeZip({{"._c.ovm", std::string("\0\5\26\7\0\2", 6)}, {"c.ovm", text}}), "Packed",
       ""},
      {"nodata.povm", MakeZip({{"n.ovm", "<material/>"}}), "",
       "Could not read material file " + dir / "materials/nodata.povm0/n.ovm" +
           ": The file has no \"scenedata\" element."},
      {"long.povm", MakeZip({{std::string(300, 'n') + ".ovm", text}}), "",
       unpack("long.povm", "cannot write: entry \"" + std::string(300, 'n') + ".ovm\": File name too long")},
      {longName + ".povm", MakeZip({{"c.ovm", text}}), "Packed", ""},
      // Packed from a folder by a tar-like tool: "./" is the archive's own folder.
      {"dot.povm", MakeZip({{"./", ""}, {"./c.ovm", text}}), "Packed", ""},
      {tempLike + "Z.povm", MakeZip({{"c.ovm", text}}), "Packed", ""},
      {"links.povm",
       MakeRawZip({ZipStored("./", ""), ZipStored("./c.ovm", linked), ZipStored("./real.png", "png"),
                   ZipStored("./tex/", ""), ZipLink("./tex/blue.png", "/etc/hostname"),
                   ZipLink("./tex/red.png", "../real.png"), ZipLink("./tex/navy.png", "blue.png")}),
       "Blue,Red",
       "",
       {"left out tex/blue.png: a link to /etc/hostname, outside the archive",
        "left out tex/navy.png: a link to blue.png, a link that is left out",
        "Loaded texture: " + links + "red.png", "Failed to load texture from: " + links + "blue.png"}},
  };
  for (const auto& r : rows) {
    const std::string archive = dir / r.path;
    std::filesystem::create_directories(std::filesystem::path(archive).parent_path());
    std::ofstream(archive, std::ios::binary | std::ios::trunc) << r.zip;
    BaseDocument::Free(doc);
    doc = BaseDocument::Alloc();
    host::ClearConsole();
    const Bool imported = import.ImportFile(doc, Filename(String(archive)));
    EXPECT_EQ(Names(), r.names) << archive;
    EXPECT_EQ(imported, *r.names != 0) << archive;
    if (!*r.names) {
      EXPECT_EQ(Console().back(), r.last);
    }
    // Which of two material files was taken is said.
    const std::vector<std::string> lines = Console();
    const std::string took =
        "The archive " + archive + " holds 2 material files at its top level: took a.ovm, left b.ovm";
    EXPECT_EQ(std::count(lines.begin(), lines.end(), took), r.path == "0/wood.povm" || r.path == "two.povm")
        << archive;
    auto at = lines.begin();
    for (const std::string& line : r.said) {
      at = std::find(at, lines.end(), line);
      EXPECT_NE(at, lines.end()) << line;
    }
  }
  // Nothing lands outside the archives' folders; an import that imports nothing leaves none.
  std::set<std::string> tree;
  for (const auto& e : std::filesystem::recursive_directory_iterator(dir / "materials"))
    tree.insert(std::filesystem::relative(e.path(), dir / "materials").string());
  EXPECT_EQ(tree, (std::set<std::string>{"wood.povm0",
                                         "wood.povm0/a.ovm",
                                         "wood.povm0/b.ovm",
                                         "wood.povm0-2",
                                         "wood.povm0-2/c.ovm",
                                         "killed",
                                         "killed/tex",
                                         "killed/tex/" + left,
                                         std::string(248, 'a') + "0",
                                         std::string(248, 'a') + "0/c.ovm",
                                         tempLike + "0-2",
                                         tempLike + "0-2/c.ovm",
                                         "dot.povm0",
                                         "dot.povm0/c.ovm",
                                         "appledouble.povm0",
                                         "appledouble.povm0/._c.ovm",
                                         "appledouble.povm0/c.ovm",
                                         "links.povm0",
                                         "links.povm0/c.ovm",
                                         "links.povm0/real.png",
                                         "links.povm0/tex",
                                         "links.povm0/tex/red.png"}));
  EXPECT_EQ(ReadFile(links + "red.png"), "png");  // the link to a file of the archive, a copy of it
  EXPECT_FALSE(std::filesystem::exists(dir / "x.ovm"));
  EXPECT_FALSE(std::filesystem::exists("/abs.ovm"));
  // A folder that cannot be made says why (root may write into any folder).
  ::chmod((dir / "materials").c_str(), 0555);
  if (::geteuid() != 0) {
    host::ClearConsole();
    import.ImportFile(doc, Filename(String(dir / "readme.povm")));
    EXPECT_EQ(Console().back(), unpack("readme.povm", "cannot write: Permission denied"));
  }
  ::chmod((dir / "materials").c_str(), 0755);
}

TEST_F(ImportTest, ACancelledChooserImportsNothingNotEvenThePreviousFile) {
  const std::string path = Write("m.ovm", "<scenedata>" + Mat("Once", kDiffuse) + "</scenedata>");
  host::user::ChooseFile(path);
  EXPECT_TRUE(import.Execute(doc));
  EXPECT_EQ(Names(), "Once");
  EXPECT_FALSE(import.Execute(doc));  // no answer queued: cancelled, the command did not run
  EXPECT_EQ(Names(), "Once");
  const std::vector<host::Shown> shown = host::user::History();
  ASSERT_EQ(shown.size(), 2u);
  EXPECT_EQ(shown[0].text, "Select .ovm/.povm file");
  EXPECT_TRUE(shown[1].cancelled);
}

TEST_F(ImportTest, ABrokenFileImportsWhatCameBeforeTheFaultAndSaysWhere) {
  // Other faults (a comment left open, a NUL byte) are in the runner's import report test.
  const std::string text = "<scenedata>" + Mat("Before", kDiffuse) +
                           "<material><name>Broken</name><diffuse><</diffuse></material>" +
                           Mat("Lost", kDiffuse);
  EXPECT_FALSE(import.ImportFile(doc, Filename(String(Write("broken.ovm", text)))));
  EXPECT_EQ(Names(), "Broken,Before");
  EXPECT_EQ(Console(), std::vector<std::string>{
                           "Material file is not well-formed: Error reading end tag. (line 1, column 111)"});
}

TEST_F(ImportTest, NonAsciiNamesSurviveAndBytesThatAreNotUtf8ReadAsEightBitText) {
  ImportBody(Mat("Gr\xc3\xbcn", kDiffuse) + Mat("Bl\xe4u", kDiffuse));
  EXPECT_EQ(Names(), "Bl\xc3\xa4u,Gr\xc3\xbcn");
}

}  // namespace
