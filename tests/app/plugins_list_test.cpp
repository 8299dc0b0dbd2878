// The runner's list of registrations: what `run` and `press` take, and nothing shown as a command
// that is not one.
#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "support/host_fixture.h"

namespace {

TEST(PluginsListTest, SeparatorsAndUnnamedEntriesAreShownAsWhatTheyAre) {
  TempDir write;
  std::string out;
  ASSERT_EQ(RunCommand(std::string(CORVANE_HOST_EXE) + " plugins --plugin-dir " + CORVANE_PLUGIN_DIR +
                           " --write-path " + write.path(),
                       &out),
            0);
  std::istringstream lines(out);
  int separators = 0, commands = 0;
  for (std::string line; std::getline(lines, line);) {
    if (line.rfind("separator ", 0) == 0) ++separators;
    if (line.rfind("command ", 0) == 0) ++commands;
    EXPECT_EQ(line.find("#$"), std::string::npos) << line;
    EXPECT_TRUE(line.empty() || line.back() != ' ') << line;
  }
  EXPECT_EQ(separators, 2);
  EXPECT_NE(out.find("\nseparator 1022283\nseparator 1022284\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\ncommand 1024454 New Orvane Material\n"), std::string::npos) << out;
  EXPECT_NE(out.find("\nlibrary 1024271 (no name)\n"), std::string::npos) << out;
  EXPECT_GT(commands, 10);
}

}  // namespace
