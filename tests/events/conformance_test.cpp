// The XML test suites through the plugin, compared with Python's expat
// module: James Clark's cases, and the W3C conformance suite with
// parameter-entity parsing off and on. The work is done by
// scripts/xmltest_compare.py, which runs scripts/xmltest_events.lua in the
// stand-in host. `make deps` fetches the suites; without them the test is
// skipped, except under CI, where it fails.
#include <gtest/gtest.h>

#include "tests/run_command.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

TEST(Conformance, TestSuitesMatchExpatsOwnEvents) {
  const struct {
    const char *option, *folder, *present, *summary;
  } suites[] = {
      {"--suite", "xmltest", "not-wf/sa", ", 0 faults"},
      {"--conformance", "xmlconf", "xmlconf-flattened.xml", "10340 runs, 0 faults"},
  };
  for (const auto &suite : suites) {
    const std::string folder = SOURCE_DIR "/third_party/" + std::string(suite.folder);
    if (!std::filesystem::exists(folder + "/" + suite.present)) {
      if (getenv("CI"))
        ADD_FAILURE() << "the test suite is missing from " << folder << " (run make deps)";
      continue;
    }
    CommandResult run = runCommand("python3 " SOURCE_DIR "/scripts/xmltest_compare.py --velloran " +
                                   std::string(VELLORAN_PATH) + " " + suite.option + " " + folder +
                                   " 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(suite.summary), std::string::npos) << run.output;
  }
}

} // namespace
