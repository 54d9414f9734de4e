/*
 * The services table: each sub-table is filled from a list of slot numbers
 * and functions; slots that no list names stay null.
 */
#include <stdio.h>
#include <stdlib.h>

#include "velloran/services.h"
#include "velloran/slots.h"

namespace velloran {

namespace {

struct SlotEntry {
  int slot;
  HostFunction function;
};

template <typename F> HostFunction fn(F function) {
  return reinterpret_cast<HostFunction>(function);
}

const SlotEntry scriptSlots[] = {
    {SCRIPT_LUA_SETTOP, fn(lua_settop)},
    {SCRIPT_LUA_PUSHVALUE, fn(lua_pushvalue)},
    {SCRIPT_LUA_ISNUMBER, fn(lua_isnumber)},
    {SCRIPT_LUA_TYPE, fn(lua_type)},
    {SCRIPT_LUA_TONUMBER, fn(lua_tonumber)},
    {SCRIPT_LUA_TOSTRING, fn(luaToString)},
    {SCRIPT_LUA_PUSHNIL, fn(lua_pushnil)},
    {SCRIPT_LUA_PUSHNUMBER, fn(lua_pushnumber)},
    {SCRIPT_LUA_PUSHLSTRING, fn(lua_pushlstring)},
    {SCRIPT_LUA_PUSHSTRING, fn(lua_pushstring)},
    {SCRIPT_LUA_GETTABLE, fn(lua_gettable)},
    {SCRIPT_LUA_RAWGETI, fn(lua_rawgeti)},
    {SCRIPT_LUA_NEWTABLE, fn(luaNewTable)},
    {SCRIPT_LUA_SETTABLE, fn(lua_settable)},
    {SCRIPT_LUA_RAWSETI, fn(lua_rawseti)},
    {SCRIPT_LUA_PCALL, fn(lua_pcall)},
    {SCRIPT_LUA_NEXT, fn(lua_next)},
    {SCRIPT_LUA_NEWUSERDATA, fn(lua_newuserdata)},
    {SCRIPT_LUA_SETMETATABLE, fn(lua_setmetatable)},
    {SCRIPT_RAISE_ERROR, fn(raiseError)},
    {SCRIPT_LUAL_CHECKLSTRING, fn(luaL_checklstring)},
    {SCRIPT_LUAL_OPTLSTRING, fn(luaL_optlstring)},
    {SCRIPT_LUAL_OPTNUMBER, fn(luaL_optnumber)},
    {SCRIPT_LUAL_CHECKTYPE, fn(luaL_checktype)},
    {SCRIPT_LUAL_REF, fn(luaL_ref)},
    {SCRIPT_LUAL_UNREF, fn(luaL_unref)},
    {SCRIPT_LUAL_NEWMETATABLE, fn(luaL_newmetatable)},
    {SCRIPT_LUAL_CHECKUDATA, fn(checkUdata)},
    {SCRIPT_LUAL_BUFFINIT, fn(luaL_buffinit)},
    {SCRIPT_LUAL_ADDLSTRING, fn(addLString)},
    {SCRIPT_LUAL_PUSHRESULT, fn(luaL_pushresult)},
    {SCRIPT_LUAL_FINDSTRING, fn(findString)},
    {SCRIPT_LUA_CHECKSTACK, fn(lua_checkstack)},
    {-1, nullptr},
};

const SlotEntry runtimeSlots[] = {
    {RUNTIME_REGISTER_ERROR, fn(registerError)},
    {RUNTIME_SET_ERROR_ARGUMENT, fn(setErrorArgument)},
    {RUNTIME_ALLOC_MEM, fn(allocMem)},
    {RUNTIME_FREE_MEM, fn(freeMem)},
    {RUNTIME_CONVERT_STRING, fn(convertString)},
    {RUNTIME_FREE_CONVERTED_STRING, fn(freeConvertedString)},
    {RUNTIME_QUERY_HOST_INFO, fn(queryHostInfo)},
    {-1, nullptr},
};

const SlotEntry crtSlots[] = {
    {CRT_MALLOC, fn(hostMalloc)},
    {CRT_REALLOC, fn(hostRealloc)},
    {CRT_FREE, fn(hostFree)},
    {CRT_VSNPRINTF, fn(vsnprintf)},
    {CRT_VSSCANF, fn(vsscanf)},
    {CRT_STRTOL, fn(strtol)},
    {CRT_STRICMP, fn(stricmp)},
    {CRT_NUMBER_TO_STRING, fn(numberToString)},
    {-1, nullptr},
};

const SlotEntry codecSlots[] = {
    {CODEC_BASE64_ENCODE, fn(base64Encode)},
    {CODEC_BASE64_DECODE, fn(base64Decode)},
    {-1, nullptr},
};

const SlotEntry unicodeSlots[] = {
    {UNICODE_MAP_CHAR, fn(mapChar)},
    {UNICODE_IS_VALID_UTF8, fn(isValidUTF8)},
    {UNICODE_DECODE_UTF8_CHAR, fn(decodeUTF8Char)},
    {UNICODE_ENCODE_UTF8_CHAR, fn(encodeUTF8Char)},
    {-1, nullptr},
};

void fill(HostFunction *table, const SlotEntry *entries) {
  for (; entries->function; entries++)
    table[entries->slot] = entries->function;
}

struct ServiceTables {
  HostFunction script[SCRIPT_SERVICES_SLOTS] = {};
  HostFunction runtime[RUNTIME_SERVICES_SLOTS] = {};
  HostFunction crt[CRT_SERVICES_SLOTS] = {};
  HostFunction codec[CODEC_SERVICES_SLOTS] = {};
  HostFunction unicode[UNICODE_SERVICES_SLOTS] = {};
  HostServices services = {};

  ServiceTables() {
    fill(script, scriptSlots);
    fill(runtime, runtimeSlots);
    fill(crt, crtSlots);
    fill(codec, codecSlots);
    fill(unicode, unicodeSlots);
    services.slot[HOST_SCRIPT_SERVICES] = script;
    services.slot[HOST_RUNTIME_SERVICES] = runtime;
    services.slot[HOST_CRT_SERVICES] = crt;
    services.slot[HOST_CODEC_SERVICES] = codec;
    services.slot[HOST_UNICODE_SERVICES] = unicode;
  }
};

} // namespace

const HostServices *hostServices() {
  static const ServiceTables tables;
  return &tables.services;
}

} // namespace velloran
