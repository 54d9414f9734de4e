// James Clark's XML test cases through the plugin, compared with Python's
// expat module: the work is done by scripts/xmltest_compare.py, which runs
// scripts/xmltest_events.lua in the stand-in host. `make deps` fetches the
// suite; without it the test is skipped, except under CI, where it fails.
#include <gtest/gtest.h>

#include "tests/run_command.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

TEST(Conformance, XmlTestCasesMatchExpatsOwnEvents) {
  const std::string suite = SOURCE_DIR "/third_party/xmltest";
  if (!std::filesystem::is_directory(suite + "/valid/sa") ||
      !std::filesystem::is_directory(suite + "/not-wf/sa")) {
    if (getenv("CI"))
      FAIL() << "the XML test cases are missing from " << suite << " (run make deps)";
    GTEST_SKIP() << "the XML test cases are missing from " << suite << " (run make deps)";
  }
  const std::string command = "python3 " SOURCE_DIR "/scripts/xmltest_compare.py --velloran " +
                              std::string(VELLORAN_PATH) + " --suite " + suite + " 2>&1";
  CommandResult run = runCommand(command);
  const std::string &output = run.output;
  EXPECT_EQ(run.status, 0) << output;
  EXPECT_NE(output.find(", 0 faults"), std::string::npos) << output;
}

} // namespace
