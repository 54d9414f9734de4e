// The event examples run in the stand-in host as the README shows them.
#include <gtest/gtest.h>

#include "tests/run_command.h"

#include <string>
#include <vector>

namespace {

struct Example {
  const char *script, *document;
  std::vector<const char *> printed; // parts of what it prints
};

TEST(EventExamples, DtdTreeEntitiesAndXhtmlPrintWhatTheReadmeShows) {
  const Example examples[] = {
      {"dtd_tree.lua", "library.xml",
       {"ELEMENT book: sequence\n"
        "  |-- title\n"
        "  |-- choice+\n"
        "  |   |-- author\n"
        "  |   `-- editor\n"
        "  `-- note?\n",
        "ATTLIST book format  type (paper|ebook)  default \"paper\""}},
      // entities read from files beside the document
      {"entities.lua", "book.xml",
       {"    listing\n      \"p = xml.CreateParser(callbacks)\"",
        "  preface\n    \"This book is assembled"}},
      // the page's DTD and its entity file read only with parameter-entity
      // parsing (non-breaking spaces, an en dash and the copyright sign)
      {"xhtml.lua", "page.xhtml",
       {"  title: Openinghours\n  p: MondaytoFriday, 9am5pm.\n",
        "  html xmlns=http://www.w3.org/1999/xhtml\n  title: Opening\u00a0hours\n"
        "  p (text): Monday\u00a0to\u00a0Friday, 9\u00a0am\u00a0\u2013\u00a05\u00a0pm.\n"
        "  p (note): \u00a9\u00a02026 The Corner Shop\n"}},
  };
  for (const Example &example : examples) {
    SCOPED_TRACE(example.script);
    CommandResult run =
        runCommand(std::string(VELLORAN_PATH) + " " SOURCE_DIR "/examples/" + example.script +
                   " " SOURCE_DIR "/examples/" + example.document + " 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    for (const char *part : example.printed)
      EXPECT_NE(run.output.find(part), std::string::npos) << run.output;
  }
}

} // namespace
