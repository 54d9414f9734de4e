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

/* The sub-tables of the services table handed to InitPlugin. Set once by
   bind(); the table stays in use for the plugin's whole life. */
extern const HostFunction *scriptTable;
extern const HostFunction *runtimeTable;
extern const HostFunction *crtTable;
extern const HostFunction *codecTable;
extern const HostFunction *unicodeTable;

/* Keeps the table (null is allowed: nothing that needs the host works then). */
void bind(const HostServices *table);

template <typename F> inline F slot(const HostFunction *table, int index) {
  return reinterpret_cast<F>(table[index]);
}

/* ---- script engine ---------------------------------------------------- */

inline void lua_settop(lua_State *L, int index) {
  slot<void (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_SETTOP)(L, index);
}
inline void lua_pushvalue(lua_State *L, int index) {
  slot<void (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_PUSHVALUE)(L, index);
}
inline int lua_isnumber(lua_State *L, int index) {
  return slot<int (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_ISNUMBER)(L, index);
}
inline int lua_type(lua_State *L, int index) {
  return slot<int (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_TYPE)(L, index);
}
inline lua_Number lua_tonumber(lua_State *L, int index) {
  return slot<lua_Number (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_TONUMBER)(L, index);
}
inline const char *lua_tostring(lua_State *L, int index) {
  return slot<LuaToStringFunc>(scriptTable, SCRIPT_LUA_TOSTRING)(L, index);
}
inline void lua_pushnil(lua_State *L) {
  slot<void (*)(lua_State *)>(scriptTable, SCRIPT_LUA_PUSHNIL)(L);
}
inline void lua_pushnumber(lua_State *L, lua_Number n) {
  slot<void (*)(lua_State *, lua_Number)>(scriptTable, SCRIPT_LUA_PUSHNUMBER)(L, n);
}
inline void lua_pushlstring(lua_State *L, const char *s, size_t len) {
  slot<void (*)(lua_State *, const char *, size_t)>(scriptTable, SCRIPT_LUA_PUSHLSTRING)(L, s,
                                                                                          len);
}
inline void lua_pushstring(lua_State *L, const char *s) {
  slot<void (*)(lua_State *, const char *)>(scriptTable, SCRIPT_LUA_PUSHSTRING)(L, s);
}
inline void lua_gettable(lua_State *L, int index) {
  slot<void (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_GETTABLE)(L, index);
}
inline void lua_rawgeti(lua_State *L, int index, int n) {
  slot<void (*)(lua_State *, int, int)>(scriptTable, SCRIPT_LUA_RAWGETI)(L, index, n);
}
inline void lua_newtable(lua_State *L) {
  slot<LuaNewTableFunc>(scriptTable, SCRIPT_LUA_NEWTABLE)(L);
}
inline void lua_settable(lua_State *L, int index) {
  slot<void (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_SETTABLE)(L, index);
}
inline void lua_rawseti(lua_State *L, int index, int n) {
  slot<void (*)(lua_State *, int, int)>(scriptTable, SCRIPT_LUA_RAWSETI)(L, index, n);
}
inline int lua_pcall(lua_State *L, int nargs, int nresults, int errfunc) {
  return slot<int (*)(lua_State *, int, int, int)>(scriptTable, SCRIPT_LUA_PCALL)(L, nargs,
                                                                                  nresults, errfunc);
}
inline int lua_next(lua_State *L, int index) {
  return slot<int (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_NEXT)(L, index);
}
inline void *lua_newuserdata(lua_State *L, size_t size) {
  return slot<void *(*)(lua_State *, size_t)>(scriptTable, SCRIPT_LUA_NEWUSERDATA)(L, size);
}
inline int lua_setmetatable(lua_State *L, int index) {
  return slot<int (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_SETMETATABLE)(L, index);
}
/* Raises a registered error id (or re-raises a failed callback's error by
   its protected-call status). Does not return. */
[[noreturn]] inline void RaiseError(lua_State *L, int id) {
  slot<RaiseErrorFunc>(scriptTable, SCRIPT_RAISE_ERROR)(L, id);
  __builtin_unreachable();
}
inline const char *luaL_checklstring(lua_State *L, int index, size_t *len) {
  return slot<const char *(*)(lua_State *, int, size_t *)>(scriptTable,
                                                           SCRIPT_LUAL_CHECKLSTRING)(L, index, len);
}
inline const char *luaL_optlstring(lua_State *L, int index, const char *def, size_t *len) {
  return slot<const char *(*)(lua_State *, int, const char *, size_t *)>(
      scriptTable, SCRIPT_LUAL_OPTLSTRING)(L, index, def, len);
}
inline lua_Number luaL_optnumber(lua_State *L, int index, lua_Number def) {
  return slot<lua_Number (*)(lua_State *, int, lua_Number)>(scriptTable, SCRIPT_LUAL_OPTNUMBER)(
      L, index, def);
}
inline void luaL_checktype(lua_State *L, int index, int type) {
  slot<void (*)(lua_State *, int, int)>(scriptTable, SCRIPT_LUAL_CHECKTYPE)(L, index, type);
}
inline int luaL_ref(lua_State *L, int table) {
  return slot<int (*)(lua_State *, int)>(scriptTable, SCRIPT_LUAL_REF)(L, table);
}
inline void luaL_unref(lua_State *L, int table, int ref) {
  slot<void (*)(lua_State *, int, int)>(scriptTable, SCRIPT_LUAL_UNREF)(L, table, ref);
}
inline int luaL_newmetatable(lua_State *L, const char *name) {
  return slot<int (*)(lua_State *, const char *)>(scriptTable, SCRIPT_LUAL_NEWMETATABLE)(L, name);
}
/* The userdata at index when its metatable is the one named; else null. */
inline void *luaL_checkudata(lua_State *L, int index, const char *name) {
  return slot<CheckUdataFunc>(scriptTable, SCRIPT_LUAL_CHECKUDATA)(L, index, name);
}
inline void luaL_buffinit(lua_State *L, luaL_Buffer *buffer) {
  slot<void (*)(lua_State *, luaL_Buffer *)>(scriptTable, SCRIPT_LUAL_BUFFINIT)(L, buffer);
}
inline void luaL_addlstring(luaL_Buffer *buffer, const char *s, size_t len) {
  slot<void (*)(luaL_Buffer *, const char *, size_t)>(scriptTable, SCRIPT_LUAL_ADDLSTRING)(
      buffer, s, len);
}
inline void luaL_pushresult(luaL_Buffer *buffer) {
  slot<void (*)(luaL_Buffer *)>(scriptTable, SCRIPT_LUAL_PUSHRESULT)(buffer);
}
/* Index of name in the null-ended list, or -1. */
inline int luaL_findstring(const char *name, const char *const list[]) {
  return slot<FindStringFunc>(scriptTable, SCRIPT_LUAL_FINDSTRING)(name, list);
}
inline int lua_checkstack(lua_State *L, int extra) {
  return slot<int (*)(lua_State *, int)>(scriptTable, SCRIPT_LUA_CHECKSTACK)(L, extra);
}

/* ---- runtime ------------------------------------------------------------ */

inline int RegisterError(const char *message) {
  return slot<RegisterErrorFunc>(runtimeTable, RUNTIME_REGISTER_ERROR)(message);
}
inline void SetErrorArgument(const char *text) {
  slot<SetErrorArgumentFunc>(runtimeTable, RUNTIME_SET_ERROR_ARGUMENT)(text);
}
inline void *AllocMem(size_t size, int clear, const char *tag) {
  return slot<AllocMemFunc>(runtimeTable, RUNTIME_ALLOC_MEM)(size, clear, tag);
}
inline void FreeMem(void *block) {
  slot<FreeMemFunc>(runtimeTable, RUNTIME_FREE_MEM)(block);
}
inline char *ConvertString(const char *text, int fromEncoding, int toEncoding,
                           const TagItem *tags) {
  return slot<ConvertStringFunc>(runtimeTable, RUNTIME_CONVERT_STRING)(text, fromEncoding,
                                                                       toEncoding, tags);
}
inline void FreeConvertedString(char *text) {
  slot<FreeConvertedStringFunc>(runtimeTable, RUNTIME_FREE_CONVERTED_STRING)(text);
}
inline void QueryHostInfo(const TagItem *tags) {
  slot<QueryHostInfoFunc>(runtimeTable, RUNTIME_QUERY_HOST_INFO)(tags);
}

/* ---- C library ---------------------------------------------------------- */

inline void *malloc(size_t size) {
  return slot<MallocFunc>(crtTable, CRT_MALLOC)(size);
}
inline void *realloc(void *block, size_t size) {
  return slot<ReallocFunc>(crtTable, CRT_REALLOC)(block, size);
}
inline void free(void *block) {
  slot<FreeFunc>(crtTable, CRT_FREE)(block);
}
inline int vsnprintf(char *buffer, size_t size, const char *format, va_list args) {
  return slot<VsnprintfFunc>(crtTable, CRT_VSNPRINTF)(buffer, size, format, args);
}
int snprintf(char *buffer, size_t size, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
int sscanf(const char *text, const char *format, ...) __attribute__((format(scanf, 2, 3)));
inline long strtol(const char *text, char **end, int base) {
  return slot<StrtolFunc>(crtTable, CRT_STRTOL)(text, end, base);
}
inline int stricmp(const char *a, const char *b) {
  return slot<StricmpFunc>(crtTable, CRT_STRICMP)(a, b);
}
inline void NumberToString(char buffer[NUMBER_TEXT_SIZE], double value) {
  slot<NumberToStringFunc>(crtTable, CRT_NUMBER_TO_STRING)(buffer, value);
}

/* ---- codecs and Unicode ------------------------------------------------- */

inline int Base64Encode(const void *source, int32_t length, char *destination, int32_t *outLength,
                        const TagItem *tags) {
  return slot<Base64EncodeFunc>(codecTable, CODEC_BASE64_ENCODE)(source, length, destination,
                                                                 outLength, tags);
}
inline int Base64Decode(const char *source, int32_t length, void *destination,
                        int32_t *inOutLength, const TagItem *tags) {
  return slot<Base64DecodeFunc>(codecTable, CODEC_BASE64_DECODE)(source, length, destination,
                                                                 inOutLength, tags);
}
inline uint32_t MapChar(uint32_t codePoint) {
  return slot<MapCharFunc>(unicodeTable, UNICODE_MAP_CHAR)(codePoint);
}
inline int IsValidUTF8(const char *text) {
  return slot<IsValidUTF8Func>(unicodeTable, UNICODE_IS_VALID_UTF8)(text);
}
inline uint32_t DecodeUTF8Char(const char *text, int32_t *bytePosition) {
  return slot<DecodeUTF8CharFunc>(unicodeTable, UNICODE_DECODE_UTF8_CHAR)(text, bytePosition);
}
inline int32_t EncodeUTF8Char(char *buffer, uint32_t codePoint) {
  return slot<EncodeUTF8CharFunc>(unicodeTable, UNICODE_ENCODE_UTF8_CHAR)(buffer, codePoint);
}

/* Expat's allocator: the host's C library malloc, realloc and free. */
const XML_Memory_Handling_Suite *expatMemory();

} // namespace host

#endif
