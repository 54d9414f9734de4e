/*
 * Every host service, declared once. host/abi.h makes the slot numbers and
 * the function types from these lists, host/services.h the plugin's typed
 * wrappers, and the stand-in host its services table, whose functions must
 * have the declared types to compile.
 *
 * The services table holds a sub-table at each position named here:
 *   T(position id, position, slot-count id, slot count, rows, short name)
 * A sub-table's rows pass C through to each of its services:
 *   X(C, slot id, slot, name, Type, return type, (parameter types))
 * `name` is what plugin code calls (host::name) and the name of the host's
 * function; Type##Func is the type of the slot.
 *
 * Plain preprocessor lists: usable from C as from C++.
 */
#ifndef VELLORAN_HOST_SERVICE_LIST_H
#define VELLORAN_HOST_SERVICE_LIST_H

#define HOST_SERVICE_TABLES(T)                                                                     \
  T(HOST_CRT_SERVICES, 2, CRT_SERVICES_SLOTS, 59, CRT_SERVICES, crt)                               \
  T(HOST_RUNTIME_SERVICES, 3, RUNTIME_SERVICES_SLOTS, 50, RUNTIME_SERVICES, runtime)               \
  T(HOST_SCRIPT_SERVICES, 10, SCRIPT_SERVICES_SLOTS, 68, SCRIPT_SERVICES, script)                  \
  T(HOST_CODEC_SERVICES, 15, CODEC_SERVICES_SLOTS, 2, CODEC_SERVICES, codec)                       \
  T(HOST_UNICODE_SERVICES, 16, UNICODE_SERVICES_SLOTS, 21, UNICODE_SERVICES, unicode)

/* The Lua C API (its contracts unless noted at the slot's type in abi.h). */
// clang-format off
#define SCRIPT_SERVICES(X, C)                                                                      \
  X(C, SCRIPT_LUA_SETTOP, 1, lua_settop, LuaSetTop, void, (lua_State *, int))                      \
  X(C, SCRIPT_LUA_PUSHVALUE, 2, lua_pushvalue, LuaPushValue, void, (lua_State *, int))             \
  X(C, SCRIPT_LUA_ISNUMBER, 7, lua_isnumber, LuaIsNumber, int, (lua_State *, int))                 \
  X(C, SCRIPT_LUA_TYPE, 10, lua_type, LuaType, int, (lua_State *, int))                            \
  X(C, SCRIPT_LUA_TONUMBER, 14, lua_tonumber, LuaToNumber, lua_Number, (lua_State *, int))         \
  X(C, SCRIPT_LUA_TOSTRING, 15, lua_tostring, LuaToString, const char *, (lua_State *, int))       \
  X(C, SCRIPT_LUA_PUSHNIL, 20, lua_pushnil, LuaPushNil, void, (lua_State *))                       \
  X(C, SCRIPT_LUA_PUSHNUMBER, 21, lua_pushnumber, LuaPushNumber, void, (lua_State *, lua_Number))  \
  X(C, SCRIPT_LUA_PUSHLSTRING, 22, lua_pushlstring, LuaPushLString, void,                          \
    (lua_State *, const char *, size_t))                                                           \
  X(C, SCRIPT_LUA_PUSHSTRING, 23, lua_pushstring, LuaPushString, void,                            \
    (lua_State *, const char *))                                                                   \
  X(C, SCRIPT_LUA_GETTABLE, 26, lua_gettable, LuaGetTable, void, (lua_State *, int))               \
  X(C, SCRIPT_LUA_RAWGETI, 28, lua_rawgeti, LuaRawGetI, void, (lua_State *, int, int))             \
  X(C, SCRIPT_LUA_NEWTABLE, 29, lua_newtable, LuaNewTable, void, (lua_State *))                    \
  X(C, SCRIPT_LUA_SETTABLE, 31, lua_settable, LuaSetTable, void, (lua_State *, int))               \
  X(C, SCRIPT_LUA_RAWSETI, 33, lua_rawseti, LuaRawSetI, void, (lua_State *, int, int))             \
  X(C, SCRIPT_LUA_PCALL, 35, lua_pcall, LuaPCall, int, (lua_State *, int, int, int))               \
  X(C, SCRIPT_LUA_NEXT, 36, lua_next, LuaNext, int, (lua_State *, int))                            \
  X(C, SCRIPT_LUA_NEWUSERDATA, 41, lua_newuserdata, LuaNewUserdata, void *, (lua_State *, size_t)) \
  X(C, SCRIPT_LUA_SETMETATABLE, 42, lua_setmetatable, LuaSetMetatable, int, (lua_State *, int))    \
  X(C, SCRIPT_RAISE_ERROR, 44, RaiseError, RaiseError, void, (lua_State *, int))                   \
  X(C, SCRIPT_LUAL_CHECKLSTRING, 45, luaL_checklstring, LuaLCheckLString, const char *,            \
    (lua_State *, int, size_t *))                                                                  \
  X(C, SCRIPT_LUAL_OPTLSTRING, 46, luaL_optlstring, LuaLOptLString, const char *,                  \
    (lua_State *, int, const char *, size_t *))                                                    \
  X(C, SCRIPT_LUAL_OPTNUMBER, 48, luaL_optnumber, LuaLOptNumber, lua_Number,                       \
    (lua_State *, int, lua_Number))                                                                \
  X(C, SCRIPT_LUAL_CHECKTYPE, 53, luaL_checktype, LuaLCheckType, void, (lua_State *, int, int))    \
  X(C, SCRIPT_LUAL_REF, 54, luaL_ref, LuaLRef, int, (lua_State *, int))                            \
  X(C, SCRIPT_LUAL_UNREF, 55, luaL_unref, LuaLUnref, void, (lua_State *, int, int))                \
  X(C, SCRIPT_LUAL_NEWMETATABLE, 58, luaL_newmetatable, LuaLNewMetatable, int,                     \
    (lua_State *, const char *))                                                                   \
  X(C, SCRIPT_LUAL_CHECKUDATA, 59, luaL_checkudata, CheckUdata, void *,                            \
    (lua_State *, int, const char *))                                                              \
  X(C, SCRIPT_LUAL_BUFFINIT, 60, luaL_buffinit, LuaLBuffInit, void, (lua_State *, luaL_Buffer *))  \
  X(C, SCRIPT_LUAL_ADDLSTRING, 62, luaL_addlstring, LuaLAddLString, void,                          \
    (luaL_Buffer *, const char *, size_t))                                                         \
  X(C, SCRIPT_LUAL_PUSHRESULT, 65, luaL_pushresult, LuaLPushResult, void, (luaL_Buffer *))         \
  X(C, SCRIPT_LUAL_FINDSTRING, 66, luaL_findstring, FindString, int,                               \
    (const char *, const char *const[]))                                                           \
  X(C, SCRIPT_LUA_CHECKSTACK, 67, lua_checkstack, LuaCheckStack, int, (lua_State *, int))

/* Errors, memory, encodings and questions to the host. */
#define RUNTIME_SERVICES(X, C)                                                                     \
  X(C, RUNTIME_REGISTER_ERROR, 1, RegisterError, RegisterError, int, (const char *))               \
  X(C, RUNTIME_SET_ERROR_ARGUMENT, 2, SetErrorArgument, SetErrorArgument, void, (const char *))    \
  X(C, RUNTIME_ALLOC_MEM, 11, AllocMem, AllocMem, void *, (size_t, int, const char *))             \
  X(C, RUNTIME_FREE_MEM, 12, FreeMem, FreeMem, void, (void *))                                     \
  X(C, RUNTIME_CONVERT_STRING, 41, ConvertString, ConvertString, char *,                           \
    (const char *, int, int, const TagItem *))                                                     \
  X(C, RUNTIME_FREE_CONVERTED_STRING, 42, FreeConvertedString, FreeConvertedString, void,          \
    (char *))                                                                                      \
  X(C, RUNTIME_QUERY_HOST_INFO, 49, QueryHostInfo, QueryHostInfo, void, (const TagItem *))

/* The C library's contracts. */
#define CRT_SERVICES(X, C)                                                                         \
  X(C, CRT_MALLOC, 0, malloc, Malloc, void *, (size_t))                                            \
  X(C, CRT_REALLOC, 2, realloc, Realloc, void *, (void *, size_t))                                 \
  X(C, CRT_FREE, 3, free, Free, void, (void *))                                                    \
  X(C, CRT_VSNPRINTF, 16, vsnprintf, Vsnprintf, int, (char *, size_t, const char *, va_list))      \
  X(C, CRT_VSSCANF, 19, vsscanf, Vsscanf, int, (const char *, const char *, va_list))              \
  X(C, CRT_STRTOL, 21, strtol, Strtol, long, (const char *, char **, int))                         \
  X(C, CRT_STRICMP, 23, stricmp, Stricmp, int, (const char *, const char *))                       \
  X(C, CRT_NUMBER_TO_STRING, 58, NumberToString, NumberToString, void,                             \
    (char[NUMBER_TEXT_SIZE], double))

#define CODEC_SERVICES(X, C)                                                                       \
  X(C, CODEC_BASE64_ENCODE, 0, Base64Encode, Base64Encode, int,                                    \
    (const void *, int32_t, char *, int32_t *, const TagItem *))                                   \
  X(C, CODEC_BASE64_DECODE, 1, Base64Decode, Base64Decode, int,                                    \
    (const char *, int32_t, void *, int32_t *, const TagItem *))

#define UNICODE_SERVICES(X, C)                                                                     \
  X(C, UNICODE_MAP_CHAR, 3, MapChar, MapChar, uint32_t, (uint32_t))                                \
  X(C, UNICODE_IS_VALID_UTF8, 16, IsValidUTF8, IsValidUTF8, int, (const char *))                   \
  X(C, UNICODE_DECODE_UTF8_CHAR, 19, DecodeUTF8Char, DecodeUTF8Char, uint32_t,                     \
    (const char *, int32_t *))                                                                     \
  X(C, UNICODE_ENCODE_UTF8_CHAR, 20, EncodeUTF8Char, EncodeUTF8Char, int32_t, (char *, uint32_t))
// clang-format on

#endif
