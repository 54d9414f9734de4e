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

// The loader asks only for the entry points it knows: InitPlugin resolves to
// the one above, the rest to a stub it never calls, except DeserializeItem
// when that is the fault.
void *resolve(const char *name) {
#ifdef BROKEN_MISSING_ENTRY
  if (strcmp(name, "DeserializeItem") == 0)
    return nullptr;
#endif
  return strcmp(name, "InitPlugin") == 0 ? reinterpret_cast<void *>(initPlugin)
                                         : reinterpret_cast<void *>(nothing);
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
