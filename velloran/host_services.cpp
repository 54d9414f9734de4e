/*
 * The services table: a sub-table for each position of host/service_list.h,
 * each slot filled with the host function of the service's name, which must
 * have the slot's type (a function of another type does not compile).
 * Slots that no list names stay null.
 */
#include <stdio.h>
#include <stdlib.h>

#include "velloran/services.h"
#include "velloran/slots.h"

namespace velloran {

namespace {

/* The host function of a service is the one of the service's name: the
   script engine's or the C library's (lua_settop, vsnprintf, strtol), the
   host's own (velloran::stricmp), or one of these, which name the host's
   own functions for the services that go by other names. */
constexpr auto &lua_tostring = luaToString;
constexpr auto &lua_newtable = luaNewTable;
constexpr auto &RaiseError = raiseError;
constexpr auto &luaL_checkudata = checkUdata;
constexpr auto &luaL_addlstring = addLString;
constexpr auto &luaL_findstring = findString;
constexpr auto &RegisterError = registerError;
constexpr auto &SetErrorArgument = setErrorArgument;
constexpr auto &AllocMem = allocMem;
constexpr auto &FreeMem = freeMem;
constexpr auto &ConvertString = convertString;
constexpr auto &FreeConvertedString = freeConvertedString;
constexpr auto &QueryHostInfo = queryHostInfo;
constexpr auto &malloc = hostMalloc;
constexpr auto &realloc = hostRealloc;
constexpr auto &free = hostFree;
constexpr auto &NumberToString = numberToString;
constexpr auto &Base64Encode = base64Encode;
constexpr auto &Base64Decode = base64Decode;
constexpr auto &MapChar = mapChar;
constexpr auto &IsValidUTF8 = isValidUTF8;
constexpr auto &DecodeUTF8Char = decodeUTF8Char;
constexpr auto &EncodeUTF8Char = encodeUTF8Char;

/* The function as a slot, once it has converted to the slot's type F. */
template <typename F> HostFunction slotOf(F function) {
  return reinterpret_cast<HostFunction>(function);
}

struct ServiceTables {
#define SUB_TABLE(position, number, slotsId, slots, rows, name) HostFunction name[slotsId] = {};
  HOST_SERVICE_TABLES(SUB_TABLE)
#undef SUB_TABLE
  HostServices services = {};

  ServiceTables() {
#define FILL_SLOT(table, id, slot, name, Type, R, params) table[id] = slotOf<Type##Func>(name);
#define FILL_TABLE(position, number, slotsId, slots, rows, name)                                   \
  services.slot[position] = name;                                                                  \
  rows(FILL_SLOT, name)
    HOST_SERVICE_TABLES(FILL_TABLE)
#undef FILL_TABLE
#undef FILL_SLOT
  }
};

} // namespace

const HostServices *hostServices() {
  static const ServiceTables tables;
  return &tables.services;
}

} // namespace velloran
