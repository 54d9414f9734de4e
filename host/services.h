/*
 * Thin typed wrappers over the host services table. Plugin code calls the
 * host only through these, so that it reads like ordinary calls and never
 * indexes a slot itself:
 *
 *     host::lua_pushstring(L, name);
 *     void *block = host::AllocMem(size, 1, "scope");
 *
 * The plugin never links the script engine; its lua.h is used only for
 * types and constants.
 */
#ifndef VELLORAN_HOST_SERVICES_H
#define VELLORAN_HOST_SERVICES_H

#include <expat.h>

#include "host/abi.h"

/* lua.h defines these two as macros over other engine calls; the plugin
   gets them as service slots of their own. */
#undef lua_tostring
#undef lua_newtable

namespace host {

/* The sub-tables of the services table handed to InitPlugin (scriptTable,
   runtimeTable...). Set once by bind(); the table stays in use for the
   plugin's whole life. */
#define HOST_TABLE_POINTER(position, number, slotsId, slots, rows, name)                           \
  extern const HostFunction *name##Table;
HOST_SERVICE_TABLES(HOST_TABLE_POINTER)
#undef HOST_TABLE_POINTER

/* Keeps the table (null is allowed: nothing that needs the host works then). */
void bind(const HostServices *table);

template <typename F> inline F slot(const HostFunction *table, int index) {
  return reinterpret_cast<F>(table[index]);
}

/* A call of one slot with the slot's own type: host::name(arguments) for
   every row of host/service_list.h, as cheap as calling the slot by hand. */
template <const HostFunction **table, int index, typename F> struct Service;
template <const HostFunction **table, int index, typename R, typename... A>
struct Service<table, index, R (*)(A...)> {
  R operator()(A... arguments) const {
    return slot<R (*)(A...)>(*table, index)(arguments...);
  }
};

/* RaiseError raises a registered error id (or re-raises a failed
   callback's error by its protected-call status) and does not return. */
template <> struct Service<&scriptTable, SCRIPT_RAISE_ERROR, RaiseErrorFunc> {
  [[noreturn]] void operator()(lua_State *L, int id) const {
    slot<RaiseErrorFunc>(scriptTable, SCRIPT_RAISE_ERROR)(L, id);
    __builtin_unreachable();
  }
};

#define HOST_WRAPPER(table, id, slot, name, Type, R, params)                                       \
  constexpr Service<&table, id, Type##Func> name{};
#define HOST_TABLE_WRAPPERS(position, number, slotsId, slots, rows, name)                          \
  rows(HOST_WRAPPER, name##Table)
HOST_SERVICE_TABLES(HOST_TABLE_WRAPPERS)
#undef HOST_TABLE_WRAPPERS
#undef HOST_WRAPPER

/* Formatted text through the C library's vsnprintf and vsscanf slots. */
int snprintf(char *buffer, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
int sscanf(const char *text, const char *format, ...) __attribute__((format(scanf, 2, 3)));

/* Expat's allocator: the host's C library malloc, realloc and free. */
const XML_Memory_Handling_Suite *expatMemory();

} // namespace host

#endif
