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

#include "host/service_list.h"

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

/* The most bytes of a root name (the option "rootnode") that a serializer
   keeps; it cuts a longer one. */
#define SERIALIZER_ROOT_NAME_LIMIT 255

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

/* The sub-tables' positions (HOST_*_SERVICES, with HOST_SERVICES_SLOTS
   positions in all) and their slot numbers, from host/service_list.h. */
#define HOST_TABLE_POSITION(position, number, slotsId, slots, rows, name) position = number,
enum { HOST_SERVICE_TABLES(HOST_TABLE_POSITION) HOST_SERVICES_SLOTS = 17 };
#undef HOST_TABLE_POSITION

/* The table itself: pointer-sized slots, each null or a sub-table. */
typedef struct HostServices {
  const HostFunction *slot[HOST_SERVICES_SLOTS];
} HostServices;

#define HOST_SLOT_NUMBER(C, id, slot, name, Type, R, params) id = slot,
#define HOST_SLOT_FITS(slots, id, slot, name, Type, R, params)                                     \
  static_assert(id < slots, #id " lies beyond its sub-table");
#define HOST_TABLE_SLOTS(position, number, slotsId, slots, rows, name)                             \
  enum { rows(HOST_SLOT_NUMBER, ) slotsId = slots };                                               \
  rows(HOST_SLOT_FITS, slotsId)
HOST_SERVICE_TABLES(HOST_TABLE_SLOTS)
#undef HOST_TABLE_SLOTS
#undef HOST_SLOT_FITS
#undef HOST_SLOT_NUMBER

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

/* The type of each slot: Type##Func for each row of host/service_list.h
   (LuaToStringFunc, AllocMemFunc, MallocFunc...). Where a contract is not
   the Lua API's or the C library's: lua_tostring takes the state and the
   index only; luaL_checkudata gives null (no error) when the metatable
   differs; luaL_findstring gives the index of the name in the null-ended
   list, or -1; RaiseError is described above. */
#define HOST_SLOT_TYPE(C, id, slot, name, Type, R, params) typedef R(*Type##Func) params;
#define HOST_TABLE_TYPES(position, number, slotsId, slots, rows, name) rows(HOST_SLOT_TYPE, )
HOST_SERVICE_TABLES(HOST_TABLE_TYPES)
#undef HOST_TABLE_TYPES
#undef HOST_SLOT_TYPE

} /* extern "C" */

#include "host/abi_layout.h"

#endif
