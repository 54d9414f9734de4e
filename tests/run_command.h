// Runs a shell command for a test and collects its standard output.
#ifndef VELLORAN_TESTS_RUN_COMMAND_H
#define VELLORAN_TESTS_RUN_COMMAND_H

#include <stdio.h>
#include <sys/wait.h>

#include <string>

struct CommandResult {
  int status; // the exit status, or -1 when the command did not exit normally
  std::string output;
};

inline CommandResult runCommand(const std::string &command) {
  CommandResult result{-1, ""};
  FILE *pipe = popen(command.c_str(), "r");
  if (!pipe)
    return result;
  char buffer[4096];
  for (size_t n; (n = fread(buffer, 1, sizeof buffer, pipe)) > 0;)
    result.output.append(buffer, n);
  int status = pclose(pipe);
  result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

#endif
