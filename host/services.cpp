#include "host/services.h"

namespace host {

const HostFunction *scriptTable;
const HostFunction *runtimeTable;
const HostFunction *crtTable;
const HostFunction *codecTable;
const HostFunction *unicodeTable;

static XML_Memory_Handling_Suite expatSuite;

void bind(const HostServices *table) {
  if (!table)
    return;
  scriptTable = table->slot[HOST_SCRIPT_SERVICES];
  runtimeTable = table->slot[HOST_RUNTIME_SERVICES];
  crtTable = table->slot[HOST_CRT_SERVICES];
  codecTable = table->slot[HOST_CODEC_SERVICES];
  unicodeTable = table->slot[HOST_UNICODE_SERVICES];
  expatSuite.malloc_fcn = slot<MallocFunc>(crtTable, CRT_MALLOC);
  expatSuite.realloc_fcn = slot<ReallocFunc>(crtTable, CRT_REALLOC);
  expatSuite.free_fcn = slot<FreeFunc>(crtTable, CRT_FREE);
}

const XML_Memory_Handling_Suite *expatMemory() {
  return &expatSuite;
}

int snprintf(char *buffer, size_t size, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int n = slot<VsnprintfFunc>(crtTable, CRT_VSNPRINTF)(buffer, size, format, args);
  va_end(args);
  return n;
}

int sscanf(const char *text, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int n = slot<VsscanfFunc>(crtTable, CRT_VSSCANF)(text, format, args);
  va_end(args);
  return n;
}

} // namespace host
