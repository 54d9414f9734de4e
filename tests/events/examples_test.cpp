// The two event examples run in the stand-in host as the README shows them.
#include <gtest/gtest.h>

#include "tests/run_command.h"


#include <string>

namespace {

/* Runs velloran with an example and its document; returns what it printed,
   or a note of the failure. */
std::string runExample(const char *script, const char *document) {
  std::string command = std::string(VELLORAN_PATH) + " " SOURCE_DIR "/examples/" + script +
                        " " SOURCE_DIR "/examples/" + document + " 2>&1";
  CommandResult run = runCommand(command);
  std::string output = run.output;
  if (run.status != 0)
    output += "\n(exit status " + std::to_string(run.status) + ")";
  return output;
}

TEST(EventExamples, DtdTreeDrawsContentModels) {
  std::string out = runExample("dtd_tree.lua", "library.xml");
  EXPECT_NE(out.find("ELEMENT book: sequence\n"
                     "  |-- title\n"
                     "  |-- choice+\n"
                     "  |   |-- author\n"
                     "  |   `-- editor\n"
                     "  `-- note?\n"),
            std::string::npos)
      << out;
  EXPECT_NE(out.find("ATTLIST book format  type (paper|ebook)  default \"paper\""),
            std::string::npos)
      << out;
  EXPECT_EQ(out.find("exit status"), std::string::npos) << out;
}

TEST(EventExamples, EntitiesAreReadFromFilesBesideTheDocument) {
  std::string out = runExample("entities.lua", "book.xml");
  EXPECT_NE(out.find("    listing\n      \"p = xml.CreateParser(callbacks)\""), std::string::npos)
      << out;
  EXPECT_NE(out.find("  preface\n    \"This book is assembled"), std::string::npos) << out;
  EXPECT_EQ(out.find("exit status"), std::string::npos) << out;
}

} // namespace
