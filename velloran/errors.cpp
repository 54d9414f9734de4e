/*
 * The error registry: messages registered by the plugin, with ids from 1000
 * upward so that they never collide with a command's result count, and the
 * pending argument that fills "%s" in the next error raised or returned.
 */
#include <string.h>

#include <string>
#include <vector>

#include "velloran/slots.h"

namespace velloran {

namespace {

std::vector<std::string> messages;
std::string argument;
bool haveArgument = false;
std::string completed; /* the last completed message; outlives the call */

} // namespace

int registerError(const char *message) {
  messages.push_back(message ? message : "");
  return FIRST_ERROR_ID + static_cast<int>(messages.size()) - 1;
}

void setErrorArgument(const char *text) {
  haveArgument = text != nullptr;
  argument.assign(text ? text : "");
}

const char *pendingErrorArgument() {
  return haveArgument ? argument.c_str() : nullptr;
}

void clearErrorArgument() {
  haveArgument = false;
  argument.clear();
}

const char *completeErrorMessage(int id, size_t *length) {
  if (id < FIRST_ERROR_ID || id - FIRST_ERROR_ID >= static_cast<int>(messages.size()))
    return nullptr;
  const std::string &message = messages[id - FIRST_ERROR_ID];
  size_t slot = message.find("%s");
  completed = message;
  if (slot != std::string::npos)
    completed.replace(slot, 2, argument);
  clearErrorArgument();
  *length = completed.size();
  return completed.c_str();
}

} // namespace velloran
