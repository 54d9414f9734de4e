// A tiny plugin with one fault chosen at build time, for the loader tests:
// BROKEN_BAD_MAGIC, BROKEN_BAD_VERSION, BROKEN_NO_HEADER, BROKEN_MISSING_ENTRY,
// BROKEN_INIT_FAILS.
#include <string.h>

#include "host/abi.h"

namespace {

int initPlugin(PluginInfo *, const HostServices *) {
#ifdef BROKEN_INIT_FAILS
  return 0;
#else
  return 1;
#endif
}
void nothing() {}
void *none() {
  return nullptr;
}

struct Entry {
  const char *name;
  void *function;
};

template <typename F> void *entry(F function) {
  return reinterpret_cast<void *>(function);
}

const Entry entries[] = {
    {"InitPlugin", entry(initPlugin)}, {"ClosePlugin", entry(nothing)},
    {"GetBaseTable", entry(none)},     {"GetCommands", entry(none)},
    {"GetConstants", entry(none)},     {"GetHelpStrings", entry(none)},
    {"InitLibrary", entry(none)},      {"FreeLibrary", entry(nothing)},
    {"GetLibraryCount", entry(none)},  {"SetCurrentLibrary", entry(nothing)},
    {"InitSerializer", entry(none)},   {"FreeSerializer", entry(none)},
    {"SerializeItem", entry(none)},
#ifndef BROKEN_MISSING_ENTRY
    {"DeserializeItem", entry(none)},
#endif
    {"GetExtensions", entry(none)},    {nullptr, nullptr},
};

void *resolve(const char *name) {
  for (const Entry *e = entries; e->name; e++)
    if (strcmp(e->name, name) == 0)
      return e->function;
  return nullptr;
}

} // namespace

#ifndef BROKEN_NO_HEADER
extern "C" {
__attribute__((visibility("default"))) extern const PluginHeaderRecord PluginHeader;
}
const PluginHeaderRecord PluginHeader = {
#ifdef BROKEN_BAD_MAGIC
    {'V', 'E', 'L', 'L', 'O', 'R', 'A', 'M'},
#else
    {'V', 'E', 'L', 'L', 'O', 'R', 'A', 'N'},
#endif
#ifdef BROKEN_BAD_VERSION
    {1, 0, 0, 0}, /* 1 written little-endian */
#else
    {0, 0, 0, 1},
#endif
    resolve,
};
#else
extern "C" __attribute__((visibility("default"))) void *resolveEntry(const char *name) {
  return resolve(name);
}
#endif
