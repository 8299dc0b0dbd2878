// The runner's "import" and "run" commands, run as a person runs them: the saved document loads
// again as the same document.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "host_document_file.h"
#include "import/import_support.h"

namespace {

std::string Runner(const TempDir& dir) {
  return std::string(CORVANE_HOST_EXE) + " --plugin-dir " CORVANE_PLUGIN_DIR " --write-path " + dir.path() +
         " ";
}

TEST_F(ImportTest, TheRunnerImportsAFileAndSavesADocumentThatLoadsAgainTheSame) {
  const std::string file = std::string(CORVANE_TEST_DATA) + "/materials/good.ovm";
  const std::string saved = dir / "out.json";
  std::string out;
  ASSERT_EQ(RunCommand(Runner(dir) + "import " + file + " --save " + saved, &out), 0) << out;
  EXPECT_NE(out.find("[Open file] Select .ovm/.povm file -> " + file + "\n"), std::string::npos) << out;
  // The sample's texture ships beside it.
  EXPECT_NE(out.find("Loaded texture: " + std::string(CORVANE_TEST_DATA) + "/materials/red.png\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("Saved " + saved + "\n"), std::string::npos) << out;

  std::string error;
  BaseDocument* loaded = host::LoadDocumentFile(saved, &error);
  ASSERT_NE(loaded, nullptr) << error;
  EXPECT_EQ(host::SaveDocumentText(loaded, &error), ReadFile(saved)) << error;
  int count = 0;
  for (BaseMaterial* m = loaded->GetFirstMaterial(); m; m = m->GetNext()) ++count;
  EXPECT_EQ(count, 7);  // eight materials, the null material leaves none
  BaseMaterial* mix = loaded->SearchMaterial("Mix");
  ASSERT_NE(mix, nullptr);
  EXPECT_EQ(mix->GetDataInstance()->GetLink(MAT_BLEND_A, loaded), loaded->SearchMaterial("Red"));
  BaseMaterial* shiny = loaded->SearchMaterial("Shiny");
  ASSERT_NE(shiny, nullptr);
  BaseList2D* code = shiny->GetDataInstance()->GetLink(MAT_ALBEDO_SHADER, loaded);
  ASSERT_NE(code, nullptr);
  EXPECT_EQ(code->GetType(), ID_OVLSHADER);
  BaseDocument::Free(loaded);
}

TEST_F(ImportTest, RunAnswersTheCommandsQuestionsAndRefusesWhatItCannotDo) {
  const std::string file = Write("m.ovm", "<scenedata>" + Mat("Only", "<diffuse/>") + "</scenedata>");
  // p/L -> ../x: p/L/.. is the folder of m.ovm, as the system resolves it; the text without "L/.."
  // names p's own m.ovm, which is no material file.
  for (const char* folder : {"p", "x"}) ASSERT_TRUE(std::filesystem::create_directory(dir / folder));
  ASSERT_EQ(::symlink("../x", (dir / "p/L").c_str()), 0);
  Write("p/m.ovm", "<scenedata>");
  const std::string linkUp = dir / "p/L/../m.ovm", chosen = "[Open file] Select .ovm/.povm file -> ";
  // Its texture lies beside it, where the system finds it through p/L/..; p holds no red.png.
  Write("t.ovm", "<scenedata>" +
                     Mat("Textured",
                         "<diffuse><texture><path>red.png</path><uv_set>default</uv_set></texture>"
                         "<albedo><texture><texture_index>0</texture_index></texture></albedo></diffuse>") +
                     "</scenedata>");
  Write("red.png", "png");
  const struct {
    std::string args;
    int status;
    std::string expected;
  } rows[] = {
      {"run 1022469 --answer file:" + file, 0, "[Open file] Select .ovm/.povm file -> " + file + "\n"},
      {"run 1022469 --answer file:" + linkUp, 0, chosen + linkUp + "\n"},
      {"import " + linkUp + " --save " + dir / "out.json", 0, "Saved " + dir / "out.json\n"},
      // The texture beside it, named as the walk found it: a ".." after a link is no longer needed.
      {"import " + dir / "p/L/../t.ovm", 0, "Loaded texture: " + dir / "red.png\n"},
      {"run 1022469", 1, "[Open file] Select .ovm/.povm file -> (cancelled)\n"},
      {"run 42", 1, "corvane-host: no registered command 42 (corvane-host plugins lists the commands)\n"},
      {"run 1022469 --select Nobody", 1, "corvane-host: nothing named \"Nobody\" to select\n"},
      {"run 1022469 --answer maybe", 2, "corvane-host: unknown answer maybe"},
      {"run x", 2, "corvane-host: not a command ID: x\n"},
  };
  for (const auto& r : rows) {
    std::string out;
    EXPECT_EQ(RunCommand(Runner(dir) + r.args, &out), r.status) << r.args << "\n" << out;
    EXPECT_NE(out.find(r.expected), std::string::npos) << r.args << "\n" << out;
  }
}

}  // namespace
