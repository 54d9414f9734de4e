#include "fuzz/support.h"

#include <stdio.h>
#include <stdlib.h>

#include <string>

#include "velloran/services.h"

namespace fuzz {

velloran::Host &host() {
  static velloran::Host *instance = nullptr;
  if (!instance) {
    instance = new velloran::Host(PLUGIN_PATH);
    if (!instance->ok())
      fail("the plugin did not load", instance->error().c_str());
  }
  return *instance;
}

void run(const char *chunk) {
  std::string message;
  if (!host().run(chunk, &message, "=fuzz"))
    fail("script failed", message.c_str());
}

void fail(const char *what, const char *detail) {
  fprintf(stderr, "fuzz: %s: %s\n", what, detail ? detail : "");
  abort();
}

void requireNoLiveBlocks(const char *where) {
  velloran::MemoryStats stats = velloran::memoryStats();
  if (stats.blocks == 0)
    return;
  std::string tags;
  for (const auto &entry : stats.tags)
    tags += " " + entry.first + "=" + std::to_string(entry.second);
  fail(where, ("AllocMem blocks still live:" + tags).c_str());
}

} // namespace fuzz
