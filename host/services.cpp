#include "host/services.h"

namespace host {

#define HOST_TABLE_POINTER(position, number, slotsId, slots, rows, name)                           \
  const HostFunction *name##Table;
HOST_SERVICE_TABLES(HOST_TABLE_POINTER)
#undef HOST_TABLE_POINTER

static XML_Memory_Handling_Suite expatSuite;

void bind(const HostServices *table) {
  if (!table)
    return;
#define HOST_TABLE_BIND(position, number, slotsId, slots, rows, name)                              \
  name##Table = table->slot[position];
  HOST_SERVICE_TABLES(HOST_TABLE_BIND)
#undef HOST_TABLE_BIND
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
  int n = vsnprintf(buffer, size, format, args);
  va_end(args);
  return n;
}

int sscanf(const char *text, const char *format, ...) {
  va_list args;
  va_start(args, format);
  int n = vsscanf(text, format, args);
  va_end(args);
  return n;
}

} // namespace host
