// What the runner says of material files it cannot read whole: the import of broken XML and of
// refused archives, and check-material agreeing with the import on blend chains and archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "support/host_fixture.h"
#include "support/zip_writer.h"

namespace {

// What "agrees" pins: a long chain both read whole; a blend loop named in the same words by both,
// the import going on without the partner (exit 0) where the check fails the file (exit 1).
TEST(ImportReportTest, BrokenFilesFailWithTheirPlacesAndCheckMaterialNamesTheLoopTheImportLeavesOut) {
  TempDir work;
  const auto write = [&](const std::string& name, const std::string& bytes) {
    std::ofstream(work / name, std::ios::binary) << bytes;
    return work / name;
  };
  const auto mat = [](const std::string& name, const std::string& a = "") {
    const std::string blend = "<blend><a_name>" + a + "</a_name><b_name>Leaf</b_name><blend><constant>0.5";
    return "<material><name>" + name + "</name>" +
           (a.empty() ? "<diffuse/>" : blend + "</constant></blend></blend>") + "</material>\n";
  };
  const std::string head = "<scenedata>\n" + mat("A"), xml = "Material file is not well-formed: Error ";
  const std::string whole = "The material file was not read whole: only what comes before line ";
  std::string chain = "<scenedata>\n";
  for (int i = 0; i < 200; ++i) chain += mat("b" + std::to_string(i), "b" + std::to_string(i + 1));
  chain += mat("b200") + mat("Leaf") + "</scenedata>";
  const std::string cycle =
      "Blend partners form a loop: the chain that starts at blend material 'a' leads back to 'x'";
  std::vector<ZipEntry> many;
  for (int i = 0; i < 10000; ++i) many.push_back({"e" + std::to_string(i), ""});
  const std::string bomb = write("bomb.povm", WithEndRecordCopies(MakeZip(many), 2978)),
                    longName = write("long.povm", MakeZip({{std::string(300, 'n') + ".ovm", chain}})),
                    two = write("two.povm", MakeZip({{"a.ovm", "<scenedata/>"}, {"b.ovm", chain}}));
  const std::string loop = write("loop.ovm", "<scenedata>" + mat("a", "x") + mat("x", "y") + mat("y", "x") +
                                                 mat("Leaf") + "</scenedata>");
  // The material in a folder, as `zip -r` of a folder packs it: named, not used.
  const std::string nested = write("nested.povm", MakeZip({{"mat/", ""}, {"mat/chain.ovm", chain}})),
                    topLevel = ": the material file must be at the archive's top level; found mat/chain.ovm";
  // A texture that is a link out of the archive, as bsdtar packs one, and a link to it: left out
  // and named by both, the second for the first.
  const std::string linked = write("linked.povm", MakeRawZip({ZipStored("chain.ovm", chain),
                                                              ZipLink("tex/red.png", "/etc/hostname"),
                                                              ZipLink("tex/alias.png", "red.png")})),
                    leftOut = "left out tex/red.png: a link to /etc/hostname, outside the archive",
                    toLeftOut = "left out tex/alias.png: a link to red.png, a link that is left out";
  // Its one material file a link out of it, left out: no material file, though not empty.
  const std::string onlyLink = write("onlylink.povm", MakeRawZip({ZipLink("mat.ovm", "/etc/passwd")}));
  const std::string fromHere = std::filesystem::relative(CORVANE_TEST_DATA "/materials").string();
  const std::string image = write("checker.png", ReadFile(CORVANE_SOURCE_DIR "/docs/examples/checker.png")),
                    notXml = "Not XML (the text does not start with \"<\"): not a material file.";
  const std::string nulReference =
      write("ref.ovm", head + "<material><name>B&#0;</name><diffuse/></material>\n</scenedata>");
  // Names of a shared pack reach the terminal escaped where the runner prints them: a top-level
  // name with a C1 CSI, CR, LF and DEL; an archive named with ESC and BEL; a name in a warning.
  const std::string listed =
      write("listed.povm",
            MakeZip({{std::string("a\xc2\x9b") + "2J\r\n\x7f.png", "x"}, {"z.ovm", head + "</scenedata>"}}));
  const std::string titled = write("t\x1b]0;t\x07.povm", MakeZip({{"../x.ovm", head + "</scenedata>"}})),
                    titledShown = work / "t\\033]0;t\\007.povm";
  const std::string warned = write("warned.ovm",
                                   "<scenedata><material><name>W\x1b]0;t\x07&#10;fake</name><diffuse><bump>"
                                   "<constant>0.1</constant></bump></diffuse></material></scenedata>");
  const struct {
    std::string args;
    int status;
    std::string reason, line;    // why an import did not run; a console line (the reason when empty)
    bool emptyTmpdir = false;    // TMPDIR set but empty, read as unset
    bool missingTmpdir = false;  // TMPDIR names a folder that is not there
    std::vector<std::string> printed = {};  // whole lines standard output holds besides
  } rows[] = {
      // clang-format off
      {"import " + write("truncated.ovm", head + "<material><name>B"), 1,
       whole + "3, column 18 was imported.", xml + "reading Element value. (line 3, column 18)"},
      {"import " + write("comment.ovm", head + "<!-- B\n" + mat("B") + "</scenedata>\n"), 1,
       whole + "6, column 1 was imported.", xml + "parsing Comment. (line 6, column 1)"},
      {"import " + write("nul.ovm", head + std::string("<mat\0erial/>", 12) + "</scenedata>"), 1,
       whole + "3, column 5 was imported.",
       xml + "null (0) or unexpected EOF found in input stream. (line 3, column 5)"},
      // A comment left open before the root hides all of it: TinyXML alone would say nothing.
      {"import " + write("open.ovm", "<!-- all\n" + head + "</scenedata>"), 1,
       "Could not read material file " + work / "open.ovm: Not well-formed XML: Error parsing Comment "
       "(around line 4, column 13).", ""},
      {"import " + write("unsafe.povm", MakeZip({{"../x.ovm", head + "</scenedata>"}})), 1,
       "Could not unpack " + work / "unsafe.povm: unsafe name: entry \"../x.ovm\"", ""},
      {"import " + write("chain.ovm", chain), 0, "", ""},
      {"check-material " + write("good.povm", MakeZip({{"notes.txt", "x"}, {"chain.ovm", chain}})), 0, "",
       work / "good.povm: 202 materials, 0 errors."},
      {"check-material " + write("bad.povm", MakeZip({{"/abs.ovm", chain}})), 2, "",
       work / "bad.povm: Could not unpack the archive: unsafe name: entry \"/abs.ovm\""},
      {"check-material " + longName, 2, "", longName + ": Could not unpack the archive: cannot write: entry \"" +
       std::string(300, 'n') + ".ovm\": File name too long"},
      // Of two material files the import takes the first and says so; one that imports nothing fails.
      {"import " + two, 1, "Imported no material: a.ovm in " + two + " holds none.", ""},
      {"check-material " + two, 0, "", two + ": the archive holds 2 material files at its top level: took a.ovm, left b.ovm"},
      {"import " + bomb, 1, "Could not unpack " + bomb + ": corrupt", ""},
      {"check-material " + bomb, 2, "", bomb + ": Could not unpack the archive: corrupt"},
      {"import " + loop, 0, "", cycle + "; 'y' is imported without it."},
      // A file chosen from where the runner stands is taken from the root, and so are its textures,
      // beside it through the same folders, named as the walk resolved its "..": a document saved
      // with it keeps finding it wherever the runner stood.
      {"import " + fromHere + "/good.ovm", 0, "",
       "Loaded texture: " + std::filesystem::canonical(fromHere).string() + "/red.png"},
      {"check-material " + loop, 1, "", loop + ": error: " + cycle + "."},
      {"check-material " + work / "good.povm", 0, "", work / "good.povm: 202 materials, 0 errors.", true},
      {"check-material " + work / "good.povm", 2, "",
       work / "good.povm: Could not unpack the archive: cannot write: TMPDIR names " + work / "gone" +
           ", which cannot be opened: No such file or directory", false, true},
      {"import " + linked, 0, "", leftOut},
      {"check-material " + linked, 0, "", linked + ": " + leftOut},
      {"check-material " + linked, 0, "", linked + ": " + toLeftOut},
      {"import " + onlyLink, 1,
       "Could not import " + onlyLink + ": the archive holds no material file, only the link mat.ovm, which was "
       "left out", ""},
      {"check-material " + onlyLink, 1, "",
       onlyLink + ": left out mat.ovm: a link to /etc/passwd, outside the archive\n" + onlyLink +
       ": the archive holds no material file, only the link mat.ovm, which was left out"},
      {"import " + nested, 1, "Could not import " + nested + topLevel, ""},
      {"check-material " + nested, 1, "", nested + topLevel},
      // A file that is no material file is said to be none, in the same words by both.
      {"import " + image, 1, "Could not import " + image + ": not a material file (a .ovm file, or a .povm archive of one)", ""},
      {"check-material " + image, 1, "", image + ": " + notXml},
      {"import " + write("doc.ovm", "{\"objects\": []}\n"), 1,
       "Could not read material file " + work / "doc.ovm: " + notXml, ""},
      {"import " + write("empty.ovm", ""), 1,
       "Could not read material file " + work / "empty.ovm: the file is empty: not a material file", ""},
      // A reference to NUL is named at its place, as other faults are.
      {"import " + nulReference, 1, whole + "3, column 18 was imported.",
       "Material file is not well-formed: A character reference to NUL (&#0;) is not allowed. (line 3, column 18)"},
      {"check-material " + nulReference, 1, "",
       nulReference + ": Not well-formed XML: A character reference to NUL (&#0;) is not allowed (around line 3, "
       "column 18)."},
      {"import " + listed, 0, "", "", false, false, {"a\\302\\2332J\\015\\012\\177.png"}},
      {"import '" + titled + "'", 1, "Could not unpack " + titledShown + ": unsafe name: entry \"../x.ovm\"", "",
       false, false, {"[Open file] Select .ovm/.povm file -> " + titledShown}},
      {"check-material '" + titled + "'", 2, "",
       titledShown + ": Could not unpack the archive: unsafe name: entry \"../x.ovm\""},
      // A message's own line breaks start lines of their own, indented; a name's line feed does not.
      {"import " + warned, 0, "", "", false, false,
       {"[Message] Import warnings:",
        "  - Bump constant in Material \"W\\033]0;t\\007\\012fake\" not supported."}},
      // clang-format on
  };
  const std::string runner =
      " " CORVANE_HOST_EXE " --plugin-dir " CORVANE_PLUGIN_DIR " --write-path " + work / "write" + " ";
  const std::string cmd = "corvane-host: command 1022469 (Import Orvane Material...) did not run: ";
  std::filesystem::create_directory(work / "tmp");
  for (const auto& row : rows) {
    std::string out;
    const std::string tmpdir = row.emptyTmpdir ? "" : row.missingTmpdir ? work / "gone" : work / "tmp";
    EXPECT_EQ(RunCommand("(TMPDIR=" + tmpdir + runner + row.args + " 2>" + work / "err" + ")", &out),
              row.status)
        << row.args;
    EXPECT_EQ(ReadFile(work / "err"), row.reason.empty() ? "" : cmd + row.reason + "\n") << row.args;
    EXPECT_NE(out.find((row.line.empty() ? row.reason : row.line) + "\n"), std::string::npos) << out;
    for (const std::string& line : row.printed)
      EXPECT_NE(out.find("\n" + line + "\n"), std::string::npos) << line << "\n" << out;
    for (const char control : {'\x1b', '\x07', '\r', '\x7f'})
      EXPECT_EQ(out.find(control), std::string::npos) << out;
    // Where the console goes on after its line, a dialog says the reason last.
    const bool dialog = !row.reason.empty() && !row.line.empty();
    EXPECT_TRUE(!dialog || out.find("[Message] " + row.reason + "\n") != std::string::npos) << out;
    EXPECT_EQ(out.find("no ovm"), std::string::npos) << row.args;
    EXPECT_TRUE(std::filesystem::is_empty(work / "tmp")) << row.args;  // an archive's scratch folder is gone
    const std::string took =
        "The archive " + two + " holds 2 material files at its top level: took a.ovm, left b.ovm\n";
    EXPECT_EQ(out.find(took) != std::string::npos, row.args == "import " + two) << out;
  }
}

}  // namespace
