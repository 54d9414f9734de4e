// The velloran command line, run as a program: rows of arguments, exit
// status and what must appear on standard output and error.
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/run_command.h"

namespace {

TEST(CommandLine, RowsOfArgumentsAndTheirResults) {
  // Tests run in parallel processes: each uses a script of its own, also
  // read as standard input.
  const std::string script =
      std::string(BINARY_DIR) + "/cli_test_" + std::to_string(getpid()) + ".lua";
  std::ofstream(script) << "print(arg[0], arg[1], xml ~= nil, select('#', ...), ...)\n"
                        << "if arg[1] == 'fail' then error('asked to') end\n";
  const struct {
    std::string arguments;
    int status;
    std::string shown; // in the merged output
  } rows[] = {
      {"-e 'local x = 1' -e 'error(\"it broke\")' -e 'print(\"never\")'", 1,
       "it broke\nstack traceback"},
      {"-e 'syntax error here'", 1, "velloran:"},
      {"- one two <'" + script + "'", 0, "-\tone\ttrue\t2\tone\ttwo\n"},
      {"'" + script + "' fine", 0, script + "\tfine\ttrue\t1\tfine\n"},
      {"'" + script + "' fail", 1, "asked to"},
      {"/nonexistent/script.lua", 1, "/nonexistent/script.lua"},
      {"--plugin /nonexistent/xml.vlp -e 'print(1)'", 1, "/nonexistent/xml.vlp"},
      {"--plugin '" PLUGIN_PATH "' -e 'print(xml ~= nil)'", 0, "true\n"},
      {"--encoding iso-8859-1 -e 'print(1)'", 0, "1\n"},
      {"--encoding ebcdic -e 'print(1)'", 1, "unknown encoding: ebcdic"},
      {"--version", 0, "XML 2.1"},
      {"--commands", 0, "library 1: parser: (methods of \"xml.vlp.parser\")"},
      {"--bogus", 1, "unrecognized option: --bogus"},
      {"-e", 1, ""},
  };
  for (const auto &row : rows) {
    SCOPED_TRACE(row.arguments);
    CommandResult run = runCommand("'" VELLORAN_PATH "' </dev/null " + row.arguments + " 2>&1");
    EXPECT_EQ(run.status, row.status) << run.output;
    EXPECT_NE(run.output.find(row.shown), std::string::npos) << run.output;
    EXPECT_EQ(run.output.find("never"), std::string::npos);
  }
  remove(script.c_str());
}

} // namespace
