// Placeholder host: loads the plugin and prints its information record.
#include <dlfcn.h>
#include <stdio.h>
#include <string.h>

#include "host/abi.h"

int main(int argc, char **argv) {
  const char *path = argc > 1 ? argv[1] : "build/xml.vlp";
  void *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  if (!handle) {
    fprintf(stderr, "velloran: %s\n", dlerror());
    return 1;
  }
  auto *header = static_cast<const PluginHeaderRecord *>(dlsym(handle, "PluginHeader"));
  if (!header || memcmp(header->magic, PLUGIN_MAGIC, PLUGIN_MAGIC_LENGTH) != 0) {
    fprintf(stderr, "velloran: %s: not a Velloran plugin: bad magic\n", path);
    return 1;
  }
  auto init = reinterpret_cast<InitPluginFunc>(header->resolveEntry("InitPlugin"));
  PluginInfo info = {};
  init(&info, nullptr);
  printf("%s %d.%d: %s\n", info.name, info.version, info.revision, info.description);
  return 0;
}
