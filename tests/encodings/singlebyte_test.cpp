// Documents in every single-byte encoding that iconv and Python's codecs
// agree on, fed in 3-byte pieces, give the events Python's expat gives:
// scripts/encodings_compare.py makes them and compares.
#include <gtest/gtest.h>

#include "tests/run_command.h"

TEST(SingleByte, EveryDefinedByteGivesPythonsEvents) {
  CommandResult run = runCommand("python3 " SOURCE_DIR "/scripts/encodings_compare.py --velloran " +
                                 std::string(VELLORAN_PATH) + " generated 2>&1");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(", 0 faults"), std::string::npos) << run.output;
}
