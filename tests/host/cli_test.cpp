// The velloran command line, run as a program: rows of arguments, standard
// input, exit status and what must appear on standard output and error.
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/run_command.h"

namespace {

TEST(CommandLine, RowsOfArgumentsAndTheirResults) {
  // Tests run in parallel processes: each uses files of its own.
  const std::string stem = std::string(BINARY_DIR) + "/cli_test_" + std::to_string(getpid());
  const std::string script = stem + ".lua", input = stem + ".stdin";
  std::ofstream(script) << "print(arg[0] == '" << script << "', arg[1], xml ~= nil)\n"
                        << "if arg[1] == 'fail' then error('asked to') end\n";
  const struct {
    std::string arguments, input;
    int status;
    std::string shown; // in the merged output
  } rows[] = {
      {"-e 'local x = 1' -e 'error(\"it broke\")' -e 'print(\"never\")'", "", 1,
       "it broke\nstack traceback"},
      {"-e 'syntax error here'", "", 1, "velloran:"},
      {"- one two", "print(arg[0], arg[1], arg[2], select('#', ...), ...)", 0,
       "-\tone\ttwo\t2\tone\ttwo\n"},
      {"'" + script + "' fine", "", 0, "true\tfine\ttrue\n"},
      {"'" + script + "' fail", "", 1, "asked to"},
      {"/nonexistent/script.lua", "", 1, "/nonexistent/script.lua"},
      {"--plugin /nonexistent/xml.vlp -e 'print(1)'", "", 1, "/nonexistent/xml.vlp"},
      {"--plugin '" PLUGIN_PATH "' -e 'print(xml ~= nil)'", "", 0, "true\n"},
      {"--encoding iso-8859-1 -e 'print(1)'", "", 0, "1\n"},
      {"--encoding ebcdic -e 'print(1)'", "", 1, "unknown encoding: ebcdic"},
      {"--version", "", 0, "XML 2.1"},
      {"--commands", "", 0, "library 1: parser: (methods of \"xml.vlp.parser\")"},
      {"--bogus", "", 1, "unrecognized option: --bogus"},
      {"-e", "", 1, ""},
  };
  for (const auto &row : rows) {
    std::ofstream(input) << row.input;
    CommandResult run =
        runCommand("'" VELLORAN_PATH "' " + row.arguments + " <'" + input + "' 2>&1");
    EXPECT_EQ(run.status, row.status) << row.arguments << "\n" << run.output;
    EXPECT_NE(run.output.find(row.shown), std::string::npos) << row.arguments << "\n"
                                                             << run.output;
    EXPECT_EQ(run.output.find("never"), std::string::npos);
  }
  remove(script.c_str());
  remove(input.c_str());
}

} // namespace
