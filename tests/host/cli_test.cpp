// The velloran command line, run as a program.
#include <stdio.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <string>

#include <gtest/gtest.h>

#include "tests/run_command.h"

namespace {

struct Result {
  int status;
  std::string out, err;
};

// Runs velloran with the given shell-quoted arguments (and optional input).
Result velloran(const std::string &arguments, const std::string &input = "") {
  // Tests run in parallel processes: each uses files of its own.
  std::string stem = std::string(BINARY_DIR) + "/cli_test_" + std::to_string(getpid());
  std::string errFile = stem + ".stderr";
  std::string inFile = stem + ".stdin";
  std::ofstream(inFile) << input;
  std::string command =
      std::string("'" VELLORAN_PATH "' ") + arguments + " <'" + inFile + "' 2>'" + errFile + "'";
  CommandResult run = runCommand(command);
  Result r{run.status, run.output, ""};
  std::stringstream err;
  err << std::ifstream(errFile).rdbuf();
  r.err = err.str();
  remove(errFile.c_str());
  remove(inFile.c_str());
  return r;
}

TEST(CommandLine, ScriptErrorExitsOneWithMessageAndTraceback) {
  Result r = velloran("-e 'local x = 1' -e 'error(\"it broke\")' -e 'print(\"never\")'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("it broke"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("stack traceback"), std::string::npos) << r.err;

  r = velloran("-e 'syntax error here'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("velloran:"), std::string::npos);
}

TEST(CommandLine, ScriptFromStdinWithArguments) {
  Result r = velloran("- one two", "print(arg[0], arg[1], arg[2], select('#', ...), ...)");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "-\tone\ttwo\t2\tone\ttwo\n");

  std::string script = std::string(BINARY_DIR) + "/cli_test_" + std::to_string(getpid()) + ".lua";
  std::ofstream(script) << "print(arg[0] == '" << script << "', arg[1], xml ~= nil)\n"
                        << "if arg[1] == 'fail' then error('asked to') end\n";
  r = velloran("'" + script + "' fine");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_EQ(r.out, "true\tfine\ttrue\n");
  r = velloran("'" + script + "' fail");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("asked to"), std::string::npos) << r.err;
  remove(script.c_str());

  r = velloran("/nonexistent/script.lua");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("/nonexistent/script.lua"), std::string::npos) << r.err;
}

TEST(CommandLine, OptionsForPluginEncodingVersionAndHelp) {
  Result r = velloran("--plugin /nonexistent/xml.vlp -e 'print(1)'");
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("/nonexistent/xml.vlp"), std::string::npos) << r.err;

  r = velloran("--plugin '" PLUGIN_PATH "' -e 'print(xml ~= nil)'");
  EXPECT_EQ(r.out, "true\n") << r.err;

  r = velloran("--encoding iso-8859-1 -e 'print(1)'");
  EXPECT_EQ(r.status, 0) << r.err;
  r = velloran("--encoding ebcdic -e 'print(1)'");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unknown encoding: ebcdic"), std::string::npos) << r.err;

  r = velloran("--version");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("Lua 5.1"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("XML 2.1"), std::string::npos) << r.out;

  r = velloran("--commands");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_NE(r.out.find("library 1: parser: (methods of \"xml.vlp.parser\")"), std::string::npos);
  r = velloran("--help");
  EXPECT_EQ(r.status, 0);
  r = velloran("--bogus");
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.err.find("unrecognized option: --bogus"), std::string::npos);
  r = velloran("-e");
  EXPECT_EQ(r.status, 1);
}

} // namespace
