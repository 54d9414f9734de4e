/*
 * The binary interface between a Velloran host and the xml.vlp plugin: the
 * plugin header, the records that entry points exchange, and the layout of
 * the host services table with its slot numbers.
 *
 * The records are laid out as the target's C compiler lays out their
 * fields. On a 32-bit target (the host's own, 32-bit PowerPC) that is the
 * design's layout, in which every integer and pointer is one 32-bit word;
 * on 64-bit Linux pointers take 8 bytes and align to 8. The sizes and
 * offsets of both are listed and checked in host/abi_layout.h.
 *
 * This is the only place where these widths and layouts are written down;
 * the plugin, the stand-in host and the tests all include it.
 */
#ifndef VELLORAN_HOST_ABI_H
#define VELLORAN_HOST_ABI_H

#include <stddef.h>
#include <stdint.h>
#include <stdarg.h>

extern "C" {
#include <lua.h>
#include <lauxlib.h>
}

extern "C" {

/* ---- Plugin header ---------------------------------------------------- */

#define PLUGIN_MAGIC "VELLORAN"
#define PLUGIN_MAGIC_LENGTH 8
#define PLUGIN_HEADER_VERSION 1

typedef void *(*ResolveEntryFunc)(const char *name);

/* Exported as the data symbol "PluginHeader": the magic without terminator,
   the version word 1 stored big-endian, then the resolver (at
   PLUGIN_RESOLVER_OFFSET: 12 on 32-bit targets, 16 on 64-bit Linux). */
typedef struct PluginHeaderRecord {
  char magic[PLUGIN_MAGIC_LENGTH];
  unsigned char version[4];
  ResolveEntryFunc resolveEntry;
} PluginHeaderRecord;

/* ---- Records exchanged through the entry points ------------------------ */

typedef struct PluginInfo {
  uint32_t capabilities;
  int32_t version;
  int32_t revision;
  int32_t hostVersion;
  int32_t hostRevision;
  const char *name;
  const char *moduleName;
  const char *author;
  const char *description;
  const char *rightsNotice;
  const char *url;
  const char *date;
  const char *extraText;
  const char *helpFile;
} PluginInfo;

typedef int (*CommandFunc)(lua_State *L);

typedef struct CommandRecord {
  const char *name;
  CommandFunc function;
} CommandRecord;

typedef struct HelpRecord {
  const char *text;
  int32_t reserved;
} HelpRecord;

typedef struct ConstantRecord {
  const char *name;
  int32_t reserved;
  double value;
} ConstantRecord;

/* A tag list: pairs ended by tag 0 (TAG_DONE). */
#define TAG_DONE 0u
typedef struct TagItem {
  uint32_t tag;
  uintptr_t data;
} TagItem;

/* Item types and table markers of the serializer. */
enum {
  ITEM_NUMBER = 0,
  ITEM_STRING = 1,
  ITEM_TABLE = 2,
  ITEM_FUNCTION = 3
};

typedef struct ItemValue {
  int32_t type;
  void *data;
  int32_t length;
} ItemValue;

/* Named options handed to InitSerializer with SERTAG_OPTIONS. */
typedef struct Option {
  const struct Option *next;
  const char *key;
  const char *text;
  double number;
} Option;

/* Tags of InitSerializer. */
enum {
  SERTAG_SOURCE_ENCODING = 1,
  SERTAG_TARGET_ENCODING = 2,
  SERTAG_OPTIONS = 3,
  SERTAG_FORMAT = 4,
  SERTAG_RAW_NAMES = 5
};

/* Serializer formats. */
enum {
  FORMAT_ITEMS = 0,
  FORMAT_NAMED = 1,
  FORMAT_INDEXED = 2
};

/* Text encoding ids of the host. */
enum {
  ENCODING_ISO_8859_1 = 0,
  ENCODING_UTF8 = 1
};

typedef int32_t (*ReadFunc)(void *buffer, int32_t size, void *streamHandle);
typedef int32_t (*WriteFunc)(const void *buffer, int32_t length, void *streamHandle);

/* ---- Entry points ------------------------------------------------------ */

struct HostServices;

typedef int (*InitPluginFunc)(PluginInfo *info, const struct HostServices *services);
typedef void (*ClosePluginFunc)(void);
typedef const char *(*GetBaseTableFunc)(void);
typedef const CommandRecord *(*GetCommandsFunc)(void);
typedef const ConstantRecord *(*GetConstantsFunc)(void);
typedef const HelpRecord *(*GetHelpStringsFunc)(void);
typedef int (*InitLibraryFunc)(lua_State *L);
typedef void (*FreeLibraryFunc)(lua_State *L);
typedef int (*GetLibraryCountFunc)(void);
typedef void (*SetCurrentLibraryFunc)(int index);
typedef uint32_t (*GetExtensionsFunc)(uint32_t query);
typedef void *(*InitSerializerFunc)(ReadFunc readFunc, WriteFunc writeFunc, void *streamHandle,
                                    const TagItem *tags);
typedef int (*FreeSerializerFunc)(void *context);
typedef int (*SerializeItemFunc)(void *context, const ItemValue *key, const ItemValue *value);
typedef int (*DeserializeItemFunc)(void *context, ItemValue *key, ItemValue *value, int *done);

/* Why reading failed. Before DeserializeItem returns 0, the plugin hands
   the reason to the host's SetErrorArgument, as one line of text that the
   host copies during the call (and so does InitSerializer, with
   SERIALIZER_NO_MEMORY, when it returns null because an allocation
   failed):
     - when Expat refused the text, Expat's message and where it stopped:
       "mismatched tag at line 3, column 7";
     - when the XML is well-formed but no table of the format, the format's
       reason and where the element begins: "unknown type "zz" of element
       <a> at line 1, column 7", "the document ends inside <root> at line
       1, column 1", "a second document element at line 4, column 1";
     - when an allocation failed: exactly SERIALIZER_NO_MEMORY;
     - when readFunc failed (returned a negative count): "the stream cannot
       be read" (the host knows the cause better).
   Lines and columns count from 1. A later failing call hands the same
   reason again. A host that wants the reason clears its pending argument
   before the call and takes it after a failure; a host that does not keeps
   working as before (the argument then waits for an error with "%s", which
   every such error sets anew). */
#define SERIALIZER_NO_MEMORY "not enough memory"

/* The entry points that a plugin's resolver hands out, by name: X(name) for
   each, in the order of the plugin's table; name##Func is its signature. */
#define PLUGIN_ENTRY_POINTS(X)                                                                   \
  X(InitPlugin) X(ClosePlugin) X(GetBaseTable) X(GetCommands) X(GetConstants) X(GetHelpStrings) \
  X(InitLibrary) X(FreeLibrary) X(GetLibraryCount) X(SetCurrentLibrary) X(InitSerializer)       \
  X(FreeSerializer) X(SerializeItem) X(DeserializeItem) X(GetExtensions)

/* A command's result at or above this is the id of a registered error
   message that the host raises; below it, the number of results. */
enum { FIRST_ERROR_ID = 1000 };

/* ---- Host services table ---------------------------------------------- */

/* A slot of a service sub-table; each slot is cast to its own signature. */
typedef void (*HostFunction)(void);

/* Positions of the sub-tables in the services table. */
enum {
  HOST_CRT_SERVICES = 2,
  HOST_RUNTIME_SERVICES = 3,
  HOST_SCRIPT_SERVICES = 10,
  HOST_CODEC_SERVICES = 15,
  HOST_UNICODE_SERVICES = 16,
  HOST_SERVICES_SLOTS = 17
};

/* The table itself: pointer-sized slots, each null or a sub-table. */
typedef struct HostServices {
  const HostFunction *slot[HOST_SERVICES_SLOTS];
} HostServices;

/* scriptServices slots. */
enum {
  SCRIPT_LUA_SETTOP = 1,
  SCRIPT_LUA_PUSHVALUE = 2,
  SCRIPT_LUA_ISNUMBER = 7,
  SCRIPT_LUA_TYPE = 10,
  SCRIPT_LUA_TONUMBER = 14,
  SCRIPT_LUA_TOSTRING = 15,
  SCRIPT_LUA_PUSHNIL = 20,
  SCRIPT_LUA_PUSHNUMBER = 21,
  SCRIPT_LUA_PUSHLSTRING = 22,
  SCRIPT_LUA_PUSHSTRING = 23,
  SCRIPT_LUA_GETTABLE = 26,
  SCRIPT_LUA_RAWGETI = 28,
  SCRIPT_LUA_NEWTABLE = 29,
  SCRIPT_LUA_SETTABLE = 31,
  SCRIPT_LUA_RAWSETI = 33,
  SCRIPT_LUA_PCALL = 35,
  SCRIPT_LUA_NEXT = 36,
  SCRIPT_LUA_NEWUSERDATA = 41,
  SCRIPT_LUA_SETMETATABLE = 42,
  SCRIPT_RAISE_ERROR = 44,
  SCRIPT_LUAL_CHECKLSTRING = 45,
  SCRIPT_LUAL_OPTLSTRING = 46,
  SCRIPT_LUAL_OPTNUMBER = 48,
  SCRIPT_LUAL_CHECKTYPE = 53,
  SCRIPT_LUAL_REF = 54,
  SCRIPT_LUAL_UNREF = 55,
  SCRIPT_LUAL_NEWMETATABLE = 58,
  SCRIPT_LUAL_CHECKUDATA = 59,
  SCRIPT_LUAL_BUFFINIT = 60,
  SCRIPT_LUAL_ADDLSTRING = 62,
  SCRIPT_LUAL_PUSHRESULT = 65,
  SCRIPT_LUAL_FINDSTRING = 66,
  SCRIPT_LUA_CHECKSTACK = 67,
  SCRIPT_SERVICES_SLOTS = 68
};

/* runtimeServices slots. */
enum {
  RUNTIME_REGISTER_ERROR = 1,
  RUNTIME_SET_ERROR_ARGUMENT = 2,
  RUNTIME_ALLOC_MEM = 11,
  RUNTIME_FREE_MEM = 12,
  RUNTIME_CONVERT_STRING = 41,
  RUNTIME_FREE_CONVERTED_STRING = 42,
  RUNTIME_QUERY_HOST_INFO = 49,
  RUNTIME_SERVICES_SLOTS = 50
};

/* crtServices slots. */
enum {
  CRT_MALLOC = 0,
  CRT_REALLOC = 2,
  CRT_FREE = 3,
  CRT_VSNPRINTF = 16,
  CRT_VSSCANF = 19,
  CRT_STRTOL = 21,
  CRT_STRICMP = 23,
  CRT_NUMBER_TO_STRING = 58,
  CRT_SERVICES_SLOTS = 59
};

/* codecServices slots. */
enum {
  CODEC_BASE64_ENCODE = 0,
  CODEC_BASE64_DECODE = 1,
  CODEC_SERVICES_SLOTS = 2
};

/* unicodeServices slots. */
enum {
  UNICODE_MAP_CHAR = 3,
  UNICODE_IS_VALID_UTF8 = 16,
  UNICODE_DECODE_UTF8_CHAR = 19,
  UNICODE_ENCODE_UTF8_CHAR = 20,
  UNICODE_SERVICES_SLOTS = 21
};

/* Tag of ConvertString: the source length in bytes. */
#define CONVERT_TAG_SOURCE_LENGTH 1u
/* Tags of QueryHostInfo, each with the address of an int32_t that receives
   the answer (a host that does not know a tag leaves its cell alone):
   the host's text encoding; the most bytes of a script's text that a
   parser object hands Expat per call (0: the plugin's own choice, 64 KiB),
   which hosts lower to test what happens at the boundaries. */
#define HOSTINFO_TAG_ENCODING 1u
#define HOSTINFO_TAG_PARSE_PIECE 2u

/* Buffer size of NumberToString. */
#define NUMBER_TEXT_SIZE 64

/* RaiseError (SCRIPT_RAISE_ERROR) never returns. With a registered error id
   it raises that message ("%s" filled by SetErrorArgument). With the status
   of a failed lua_pcall (LUA_ERRRUN, LUA_ERRMEM, LUA_ERRERR) it raises the
   value on top of the stack as it is: the plugin keeps a failed callback's
   error value itself (one slot per parser object) and pushes it back just
   before raising, so the script gets its own error value from the Parse
   that ran the callback, whatever else failed in between. The host keeps
   no error value of its own. */

/* Signatures of the service slots whose contract is not the Lua API's. */
typedef const char *(*LuaToStringFunc)(lua_State *L, int index);
typedef void (*LuaNewTableFunc)(lua_State *L);
typedef void (*RaiseErrorFunc)(lua_State *L, int id);
typedef void *(*CheckUdataFunc)(lua_State *L, int index, const char *name);
typedef int (*FindStringFunc)(const char *name, const char *const list[]);

typedef int (*RegisterErrorFunc)(const char *message);
typedef void (*SetErrorArgumentFunc)(const char *text);
typedef void *(*AllocMemFunc)(size_t size, int clear, const char *tag);
typedef void (*FreeMemFunc)(void *block);
typedef char *(*ConvertStringFunc)(const char *text, int fromEncoding, int toEncoding,
                                   const TagItem *tags);
typedef void (*FreeConvertedStringFunc)(char *text);
typedef void (*QueryHostInfoFunc)(const TagItem *tags);

typedef void *(*MallocFunc)(size_t size);
typedef void *(*ReallocFunc)(void *block, size_t size);
typedef void (*FreeFunc)(void *block);
typedef int (*VsnprintfFunc)(char *buffer, size_t size, const char *format, va_list args);
typedef int (*VsscanfFunc)(const char *text, const char *format, va_list args);
typedef long (*StrtolFunc)(const char *text, char **end, int base);
typedef int (*StricmpFunc)(const char *a, const char *b);
typedef void (*NumberToStringFunc)(char buffer[NUMBER_TEXT_SIZE], double value);

typedef int (*Base64EncodeFunc)(const void *source, int32_t length, char *destination,
                                int32_t *outLength, const TagItem *tags);
typedef int (*Base64DecodeFunc)(const char *source, int32_t length, void *destination,
                                int32_t *inOutLength, const TagItem *tags);

typedef uint32_t (*MapCharFunc)(uint32_t codePoint);
typedef int (*IsValidUTF8Func)(const char *text);
typedef uint32_t (*DecodeUTF8CharFunc)(const char *text, int32_t *bytePosition);
typedef int32_t (*EncodeUTF8CharFunc)(char *buffer, uint32_t codePoint);

} /* extern "C" */

#include "host/abi_layout.h"

#endif
