// What the runner says of material files it cannot read whole: the import of broken XML and of
// refused archives, and check-material agreeing with the import on blend chains and archives.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <tuple>

#include "support/host_fixture.h"
#include "support/zip_writer.h"

namespace {

struct Result {
  int status;
  std::string out, err;
};

// The runner with `args`, its temporary folder `tmp`; standard error apart.
Result RunRunner(const TempDir& work, const std::string& args) {
  std::filesystem::create_directory(work / "tmp");
  Result r;
  r.status = RunCommand("(TMPDIR=" + (work / "tmp") + " " + CORVANE_HOST_EXE + " --plugin-dir " +
                            CORVANE_PLUGIN_DIR + " --write-path " + (work / "write") + " " + args + " 2>" +
                            (work / "stderr") + ")",
                        &r.out);
  r.err = ReadFile(work / "stderr");
  return r;
}

std::string Write(const TempDir& work, const std::string& name, const std::string& bytes) {
  std::ofstream(work / name, std::ios::binary) << bytes;
  return work / name;
}

std::string Mat(const std::string& name, const std::string& type) {
  return "<material><name>" + name + "</name>" + type + "</material>\n";
}

std::string Blend(const std::string& name, const std::string& a) {
  return Mat(name, "<blend><a_name>" + a + "</a_name><b_name>Leaf</b_name><blend><constant>0.5</constant>" +
                       "</blend></blend>");
}

TEST(ImportReportTest, AFileNotReadWholeSaysWhereItBrokeAndFails) {
  TempDir work;
  const std::string head = "<scenedata>\n" + Mat("A", "<diffuse/>");
  const std::string cmd = "corvane-host: command 1022469 (Import Orvane Material...) did not run: ";
  const std::string whole = "The material file was not read whole: only what comes before ";
  const struct {
    std::string name, bytes, err, line;  // the reason on standard error; the console's line when not it
  } rows[] = {
      {"truncated.ovm", head + "<material><name>B", whole + "line 3, column 18 was imported.",
       "Material file is not well-formed: Error reading Element value. (line 3, column 18)"},
      {"comment.ovm", head + "<!-- B\n" + Mat("B", "<diffuse/>") + "</scenedata>\n",
       whole + "line 6, column 1 was imported.",
       "Material file is not well-formed: Error parsing Comment. (line 6, column 1)"},
      {"nul.ovm", head + std::string("<mat\0erial/>", 12) + "</scenedata>",
       whole + "line 3, column 5 was imported.",
       "Material file is not well-formed: Error null (0) or unexpected EOF found in input stream. (line 3, "
       "column 5)"},
      // A comment left open before the root hides all of it: TinyXML alone would say nothing.
      {"open.ovm", "<!-- all\n" + head + "</scenedata>",
       "Could not read material file " + (work / "open.ovm") +
           ": Not well-formed XML: Error parsing Comment (around line 4, column 13).",
       ""},
      {"unsafe.povm", MakeZip({{"../x.ovm", head + "</scenedata>"}}),
       "Could not unpack " + (work / "unsafe.povm") + ": unsafe name", ""},
  };
  for (const auto& row : rows) {
    const Result r = RunRunner(work, "import " + Write(work, row.name, row.bytes));
    EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(1, cmd + row.err + "\n")) << row.name;
    // The console says so; where it goes on after its line, a dialog says it last.
    EXPECT_NE(r.out.find((row.line.empty() ? row.err : row.line) + "\n"), std::string::npos) << row.name;
    if (!row.line.empty()) {
      EXPECT_NE(r.out.find("[Message] " + row.err + "\n"), std::string::npos) << r.out;
    }
    EXPECT_EQ(r.out.find("no ovm"), std::string::npos) << row.name;
  }
}

TEST(ImportReportTest, CheckMaterialAcceptsWhatTheImportAcceptsAndChecksArchives) {
  TempDir work;
  std::string chain = "<scenedata>\n";
  for (int i = 0; i < 200; ++i) chain += Blend("b" + std::to_string(i), "b" + std::to_string(i + 1));
  chain += Mat("b200", "<diffuse/>") + Mat("Leaf", "<diffuse/>") + "</scenedata>";
  const std::string loop = "<scenedata>" + Blend("a", "x") + Blend("x", "y") + Blend("y", "x") +
                           Mat("Leaf", "<diffuse/>") + "</scenedata>";
  const std::string good = Write(work, "good.povm", MakeZip({{"notes.txt", "x"}, {"chain.ovm", chain}}));
  const std::string bad = Write(work, "bad.povm", MakeZip({{"/abs.ovm", chain}}));
  const std::string looped = Write(work, "loop.ovm", loop);
  const struct {
    std::string args;
    int status;
    std::string line;
  } rows[] = {
      {"import " + Write(work, "chain.ovm", chain), 0, ""},
      {"check-material " + (work / "chain.ovm"), 0, work / "chain.ovm: 202 materials, 0 errors.\n"},
      {"check-material " + good, 0, good + ": 202 materials, 0 errors.\n"},
      {"check-material " + bad, 2, bad + ": Could not unpack the archive: unsafe name\n"},
      {"import " + looped, 0, ""},
      {"check-material " + looped, 1,
       looped + ": error: Blend partners form a loop: the chain that starts at blend material 'a' leads back "
                "to 'x'.\n"},
  };
  for (const auto& row : rows) {
    const Result r = RunRunner(work, row.args);
    EXPECT_EQ(std::make_tuple(r.status, r.err), std::make_tuple(row.status, std::string())) << row.args;
    EXPECT_NE(r.out.find(row.line), std::string::npos) << row.args << "\n" << r.out;
    // The scratch folder of an archive's check is gone again.
    EXPECT_TRUE(std::filesystem::is_empty(work / "tmp")) << row.args;
  }
}

}  // namespace
