/*
 * What the host finds first: the plugin header, the resolver behind it, the
 * table of named entry points, and InitPlugin with the information record.
 */
#include <string.h>

#include "encodings/encodings.h"
#include "host/services.h"
#include "plugin/errors.h"
#include "plugin/libraries.h"
#include "serializer/serializer.h"

extern "C" {
int InitPlugin(PluginInfo *info, const HostServices *services);
void ClosePlugin(void);
uint32_t GetExtensions(uint32_t query);
}

/* The platform's version string: constant data that no code reads. */
__attribute__((used)) static const char versionString[] =
    "$VER: xml.vlp 2.1 (06.06.26) [ppc-morphos]";

namespace {

struct EntryRecord {
  const char *name;
  void *function;
};

template <typename F> void *entry(F function) {
  return reinterpret_cast<void *>(function);
}

const EntryRecord entryTable[] = {
#define ENTRY_ROW(name) {#name, entry(name)},
    PLUGIN_ENTRY_POINTS(ENTRY_ROW)
#undef ENTRY_ROW
    {nullptr, nullptr},
};

void *resolveEntry(const char *name) {
  for (const EntryRecord *e = entryTable; e->name; e++)
    if (strcmp(e->name, name) == 0)
      return e->function;
  return nullptr;
}

const PluginInfo pluginInformation = {
    0xA0002u,                            /* capabilities */
    2,                                   /* version */
    1,                                   /* revision */
    10,                                  /* hostVersion */
    0,                                   /* hostRevision */
    "XML",                               /* name */
    "xml",                               /* moduleName */
    "The xml.vlp developers",            /* author */
    "Parse XML documents with Velloran", /* description */
    "Copyright (c) 2026 the xml.vlp developers; built on Expat",
    "https://velloran.invalid/plugins/xml", /* url */
    "06.06.26",                             /* date */
    nullptr,                                /* extraText */
    "xml.guide",                            /* helpFile */
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) extern const PluginHeaderRecord PluginHeader;
const PluginHeaderRecord PluginHeader = {
    {'V', 'E', 'L', 'L', 'O', 'R', 'A', 'N'},
    {0, 0, 0, PLUGIN_HEADER_VERSION},
    resolveEntry,
};

int InitPlugin(PluginInfo *info, const HostServices *services) {
  /* No exec library base on this platform: memory copies use the C library. */
  *info = pluginInformation;
  host::bind(services);
  if (services)
    registerErrors();
  return 1;
}

void ClosePlugin(void) {
  encodings::releaseMaps();
}

uint32_t GetExtensions(uint32_t query) {
  return query == 2 ? 5 : 0;
}

} /* extern "C" */
