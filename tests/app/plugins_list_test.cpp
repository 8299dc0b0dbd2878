// The runner's list of registrations: nothing shown as a command that is not one.
#include <gtest/gtest.h>

#include <string>

#include "support/host_fixture.h"

namespace {

TEST(PluginsListTest, SeparatorsAndUnnamedEntriesAreShownAsWhatTheyAre) {
  TempDir write;
  const std::string plugins = std::string(CORVANE_HOST_EXE) + " plugins --plugin-dir " + CORVANE_PLUGIN_DIR;
  std::string out;
  ASSERT_EQ(RunCommand(plugins + " --write-path " + write.path(), &out), 0);
  const std::string separators = "\nseparator 1022283\nseparator 1022284\n";
  const size_t at = out.find(separators);  // the only ones
  EXPECT_TRUE(at != std::string::npos && out.find("\nseparator ") == at &&
              out.find("\nseparator ", at + separators.size() - 1) == std::string::npos)
      << out;
  for (const char* line : {"\ncommand 1024454 New Orvane Material\n", "\nlibrary 1024271 (no name)\n"})
    EXPECT_NE(out.find(line), std::string::npos) << out;
  // No resource name left unread, no name that ends in a space.
  EXPECT_EQ(out.find("#$"), std::string::npos) << out;
  EXPECT_EQ(out.find(" \n"), std::string::npos) << out;
}

}  // namespace
