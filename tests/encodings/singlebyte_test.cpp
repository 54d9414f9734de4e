// Documents in every single-byte encoding that iconv and Python's codecs
// agree on, fed in 3-byte pieces, give the events Python's expat gives:
// scripts/encodings_compare.py makes them and compares (leaving out those
// whose converter the target's iconv lacks, each named on a SKIP line).
#include <sstream>

#include <gtest/gtest.h>

#include "tests/encodings/converters.h"
#include "tests/run_command.h"

TEST(SlowSingleByte, EveryDefinedByteGivesPythonsEvents) {
  std::string command = "python3 " SOURCE_DIR "/scripts/encodings_compare.py --velloran " +
                        std::string(VELLORAN_PATH);
  std::istringstream names(runCommand(command + " names").output);
  for (std::string name; names >> name;)
    if (skipWithoutConverter(name.c_str()))
      command += " --skip " + name;
  CommandResult run = runCommand(command + " generated 2>&1");
  EXPECT_EQ(run.status, 0) << run.output;
  EXPECT_NE(run.output.find(", 0 faults"), std::string::npos) << run.output;
}
