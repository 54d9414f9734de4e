/*
 * The options of the table functions, read from the script's options table
 * into a copy that the session keeps, and turned into InitSerializer's tags.
 */
#include <string.h>
#include <strings.h>

#include "velloran/encodings.h"
#include "velloran/tables_session.h"

extern "C" {
#include <lauxlib.h>
}

namespace velloran {

const char *const tableFormatNames[] = {"items", "named", "indexed", nullptr};

namespace {

enum TableOption {
  OPTION_FORMAT,
  OPTION_ROOTNODE,
  OPTION_IGNOREWHITESPACE,
  OPTION_RAWNAMES,
  OPTION_ENCODING,
  OPTION_FUNCTIONS
};
const char *const optionNames[] = {"format",   "rootnode", "ignorewhitespace",
                                   "rawnames", "encoding", "functions",
                                   nullptr};

/* The table functions' defaults. The plugin's serializer has its own
   (the "indexed" format, element names through the host's character
   mapping): those of a host that sends no tags, made for reading
   documents. The table functions always send the format and raw-names
   tags, so that theirs hold instead: "items", the format made for saving
   script tables, and names as they are, since script keys are
   case-sensitive. The root name, the whitespace rule and the encoding of
   the written XML are the serializer's ("root", whitespace-only text
   ignored, the host's encoding): left unset here, so not sent. */
const TableOptions defaultOptions = {FORMAT_ITEMS, "", -1, 1, -1, 0};

int findName(const char *name, const char *const list[]) {
  for (int i = 0; list[i]; i++)
    if (strcasecmp(name, list[i]) == 0)
      return i;
  return -1;
}

int optionFlag(lua_State *L, const char *name) {
  if (lua_type(L, -1) != LUA_TBOOLEAN)
    luaL_error(L, "bad option '%s' (boolean expected, got %s)", name, luaL_typename(L, -1));
  return lua_toboolean(L, -1);
}

int optionChoice(lua_State *L, const char *name, const char *const choices[]) {
  const char *text = lua_type(L, -1) == LUA_TSTRING ? lua_tostring(L, -1) : "";
  int index = findName(text, choices);
  if (index < 0)
    luaL_error(L, "bad option '%s' (expected \"%s\", \"%s\"%s)", name, choices[0], choices[1],
               choices[2] ? " or \"indexed\"" : "");
  return index;
}

/* The root name is copied, so that nothing the script does meanwhile can
   free it; one that the serializer cannot hold whole is refused rather than
   cut (a cut could split a character). */
void copyRootNode(lua_State *L, TableOptions *o) {
  if (lua_type(L, -1) != LUA_TSTRING)
    luaL_error(L, "bad option 'rootnode' (string expected, got %s)", luaL_typename(L, -1));
  size_t length;
  const char *name = lua_tolstring(L, -1, &length);
  if (length > ROOT_NAME_LIMIT)
    luaL_error(L, "bad option 'rootnode' (%d bytes; a root name holds at most %d)",
               static_cast<int>(length > 99999 ? 99999 : length), ROOT_NAME_LIMIT);
  if (length == 0 || memchr(name, 0, length))
    luaL_error(L, "bad option 'rootnode' (not an XML name)");
  memcpy(o->rootNode, name, length + 1);
}

} // namespace

void readOptions(lua_State *L, int index, TableOptions *o) {
  *o = defaultOptions;
  if (lua_isnoneornil(L, index))
    return;
  luaL_checktype(L, index, LUA_TTABLE);
  lua_pushnil(L);
  while (lua_next(L, index)) {
    const char *name = lua_type(L, -2) == LUA_TSTRING ? lua_tostring(L, -2) : "?";
    switch (findName(name, optionNames)) {
    case OPTION_FORMAT:
      o->format = optionChoice(L, name, tableFormatNames);
      break;
    case OPTION_ROOTNODE:
      copyRootNode(L, o);
      break;
    case OPTION_IGNOREWHITESPACE:
      o->ignoreWhitespace = optionFlag(L, name);
      break;
    case OPTION_RAWNAMES:
      o->rawNames = optionFlag(L, name);
      break;
    case OPTION_ENCODING:
      o->encoding = optionChoice(L, name, hostEncodingNames);
      break;
    case OPTION_FUNCTIONS:
      o->functions = optionFlag(L, name);
      break;
    default:
      luaL_error(L, "unknown option '%s'", name);
    }
    lua_pop(L, 1);
  }
}

/* The encoding option names the encoding of the XML only. Writing, it is
   the serializer's target; reading, Expat learns the document's encoding
   from its declaration, and the text handed back stays in the host's
   encoding (the serializer's default), which is what scripts hold. */
void buildTags(const TableOptions *o, bool writing, TagItem tags[6], Option options[2]) {
  int n = 0, k = 0;
  tags[n++] = {SERTAG_FORMAT, static_cast<uintptr_t>(o->format)};
  if (writing && o->encoding >= 0)
    tags[n++] = {SERTAG_TARGET_ENCODING, static_cast<uintptr_t>(o->encoding)};
  tags[n++] = {SERTAG_RAW_NAMES, static_cast<uintptr_t>(o->rawNames)};
  if (o->rootNode[0])
    options[k++] = {nullptr, "rootnode", o->rootNode, 0};
  if (o->ignoreWhitespace >= 0)
    options[k++] = {nullptr, "ignorewhitespace", nullptr, static_cast<double>(o->ignoreWhitespace)};
  if (k == 2)
    options[0].next = &options[1];
  if (k > 0)
    tags[n++] = {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&options[0])};
  tags[n] = {TAG_DONE, 0};
}

} // namespace velloran
