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

/* The plugin's version, revision and date, as the information record and
   the version string give them. */
#define PLUGIN_VERSION 2
#define PLUGIN_REVISION 1
#define PLUGIN_DATE "06.06.26"
#define PLUGIN_TEXT(number) #number
#define PLUGIN_NUMBER_TEXT(number) PLUGIN_TEXT(number)

/* The platform's version string: constant data that no code reads. */
__attribute__((used)) static const char versionString[] =
    "$VER: xml.vlp " PLUGIN_NUMBER_TEXT(PLUGIN_VERSION) "." PLUGIN_NUMBER_TEXT(PLUGIN_REVISION)
    " (" PLUGIN_DATE ") [ppc-morphos]";

namespace {

/* What the host learns from the information record and GetExtensions. The
   host defines what the capability bits and the extension query mean; this
   plugin sets capability bits 1, 17 and 19 and answers one query. */
const uint32_t CAPABILITIES = (1u << 1) | (1u << 17) | (1u << 19);
const uint32_t EXTENSIONS_QUERY = 2;
const uint32_t EXTENSIONS_ANSWER = 5;

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
    CAPABILITIES,                        /* capabilities */
    PLUGIN_VERSION,                      /* version */
    PLUGIN_REVISION,                     /* revision */
    10,                                  /* hostVersion */
    0,                                   /* hostRevision */
    "XML",                               /* name */
    "xml",                               /* moduleName */
    "The xml.vlp developers",            /* author */
    "Parse XML documents with Velloran", /* description */
    "Copyright (c) 2026 the xml.vlp developers; built on Expat",
    "https://velloran.invalid/plugins/xml", /* url */
    PLUGIN_DATE,                            /* date */
    nullptr,                                /* extraText */
    "xml.guide",                            /* helpFile */
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) extern const PluginHeaderRecord PluginHeader;
const PluginHeaderRecord PluginHeader = {
    {'V', 'E', 'L', 'L', 'O', 'R', 'A', 'N'}, /* PLUGIN_MAGIC without its terminator */
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
  return query == EXTENSIONS_QUERY ? EXTENSIONS_ANSWER : 0;
}

} /* extern "C" */
