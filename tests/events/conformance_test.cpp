// The XML test suites through the plugin, compared with Python's expat
// module: James Clark's cases, and the W3C conformance suite with
// parameter-entity parsing off and on. The work is done by
// scripts/xmltest_compare.py, which runs scripts/xmltest_events.lua in the
// stand-in host. `make deps` fetches the suites; a missing one is skipped,
// except under CI, where it fails.
#include <gtest/gtest.h>

#include "tests/run_command.h"

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace {

// Rows of {option, folder under third_party/, what the summary holds}.
const char *const SUITES[][3] = {{"--suite", "xmltest", ", 0 faults"},
                                 {"--conformance", "xmlconf", "10340 runs, 0 faults"}};

TEST(Conformance, TestSuitesMatchExpatsOwnEvents) {
  for (const auto &suite : SUITES) {
    SCOPED_TRACE(suite[0]);
    const std::string folder = SOURCE_DIR "/third_party/" + std::string(suite[1]);
    if (!std::filesystem::is_directory(folder)) {
      if (getenv("CI"))
        ADD_FAILURE() << folder << " is missing (run make deps)";
      continue;
    }
    CommandResult run =
        runCommand("python3 " SOURCE_DIR "/scripts/xmltest_compare.py --velloran " +
                   std::string(VELLORAN_PATH) + " " + suite[0] + " " + folder +
                   (ICONV_MODULES ? "" : " --no-converters") + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_NE(run.output.find(suite[2]), std::string::npos) << run.output;
  }
}

} // namespace
