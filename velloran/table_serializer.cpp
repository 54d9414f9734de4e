/*
 * The host's side of table serialization. Saving walks a script table depth
 * first and hands the plugin's serializer one item per key/value pair, a
 * nested table bracketed by a table-begin and a table-end item. Loading is
 * the mirror image: items come back one per call and are rebuilt into tables.
 *
 * Every Lua error raised here may unwind through these functions, so they
 * keep no object with a destructor: what must be released on an error (the
 * serializer context, buffers, files) lives in a session userdata whose
 * collector hook releases it.
 */
#include "velloran/table_serializer.h"
#include "velloran/loader.h"

#include <errno.h>
#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <strings.h>

extern "C" {
#include <lauxlib.h>
#include <lua.h>
}

namespace velloran {
namespace {

const char SESSION_METATABLE[] = "velloran.tablesession";

/* Indexed by the FORMAT_ and ENCODING_ values. */
const char *const formatNames[] = {"items", "named", "indexed", nullptr};
const char *const encodingNames[] = {"iso-8859-1", "utf-8", nullptr};

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

struct TableOptions {
  int format;
  const char *rootNode;  /* null: the serializer's default */
  int ignoreWhitespace;  /* -1: the serializer's default */
  int rawNames;
  int encoding;          /* -1: the host's encoding */
  int functions;         /* load function images */
};

/* Everything a save or load holds; released by closeSession, also when an
   error unwinds past the function that opened it. */
struct Session {
  const Plugin *plugin;
  void *context; /* the open serializer, or null */
  int format;
  /* output to memory */
  char *data;
  size_t length;
  size_t capacity;
  /* input from memory */
  const char *input;
  size_t inputLength;
  size_t inputOffset;
  /* a file, and for writing the temporary name it is written under */
  FILE *file;
  char *tempPath;
  int ioError; /* errno of the first failed read or write */
  /* the walk: tables being saved, and the keys of the tables being walked
     (each table's keys after its parent's, sorted in place) */
  int visitingIndex;
  struct KeyRef *keys;
  size_t keyCount;
  size_t keyCapacity;
};

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

void readOptions(lua_State *L, int index, TableOptions *o) {
  o->format = FORMAT_ITEMS;
  o->rootNode = nullptr;
  o->ignoreWhitespace = -1;
  o->rawNames = 0;
  o->encoding = -1;
  o->functions = 0;
  if (lua_isnoneornil(L, index))
    return;
  luaL_checktype(L, index, LUA_TTABLE);
  lua_pushnil(L);
  while (lua_next(L, index)) {
    const char *name = lua_type(L, -2) == LUA_TSTRING ? lua_tostring(L, -2) : "?";
    switch (findName(name, optionNames)) {
    case OPTION_FORMAT:
      o->format = optionChoice(L, name, formatNames);
      break;
    case OPTION_ROOTNODE:
      if (lua_type(L, -1) != LUA_TSTRING)
        luaL_error(L, "bad option 'rootnode' (string expected, got %s)", luaL_typename(L, -1));
      o->rootNode = lua_tostring(L, -1); /* kept alive by the options table */
      break;
    case OPTION_IGNOREWHITESPACE:
      o->ignoreWhitespace = optionFlag(L, name);
      break;
    case OPTION_RAWNAMES:
      o->rawNames = optionFlag(L, name);
      break;
    case OPTION_ENCODING:
      o->encoding = optionChoice(L, name, encodingNames);
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

/* The tag list and option list of InitSerializer for o. */
void buildTags(const TableOptions *o, TagItem tags[5], Option options[2]) {
  int n = 0, k = 0;
  tags[n++] = {SERTAG_FORMAT, static_cast<uintptr_t>(o->format)};
  if (o->encoding >= 0)
    tags[n++] = {SERTAG_TARGET_ENCODING, static_cast<uintptr_t>(o->encoding)};
  if (o->rawNames)
    tags[n++] = {SERTAG_RAW_NAMES, 1};
  if (o->rootNode)
    options[k++] = {nullptr, "rootnode", o->rootNode, 0};
  if (o->ignoreWhitespace >= 0)
    options[k++] = {nullptr, "ignorewhitespace", nullptr, static_cast<double>(o->ignoreWhitespace)};
  if (k == 2)
    options[0].next = &options[1];
  if (k > 0)
    tags[n++] = {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&options[0])};
  tags[n] = {TAG_DONE, 0};
}

/* ---- streams ------------------------------------------------------------ */

int32_t writeStream(const void *buffer, int32_t length, void *handle) {
  auto *s = static_cast<Session *>(handle);
  if (length <= 0)
    return length == 0 ? 0 : -1;
  size_t n = static_cast<size_t>(length);
  if (s->file) {
    if (fwrite(buffer, 1, n, s->file) != n) {
      s->ioError = s->ioError ? s->ioError : errno;
      return 0;
    }
    return length;
  }
  if (n > s->capacity - s->length) {
    size_t capacity = s->capacity ? s->capacity : 4096;
    while (capacity - s->length < n) {
      if (capacity > SIZE_MAX / 2)
        return 0;
      capacity *= 2;
    }
    char *data = static_cast<char *>(realloc(s->data, capacity));
    if (!data) {
      s->ioError = ENOMEM;
      return 0;
    }
    s->data = data;
    s->capacity = capacity;
  }
  memcpy(s->data + s->length, buffer, n);
  s->length += n;
  return length;
}

int32_t readStream(void *buffer, int32_t size, void *handle) {
  auto *s = static_cast<Session *>(handle);
  if (size <= 0)
    return 0;
  if (s->file) {
    size_t n = fread(buffer, 1, static_cast<size_t>(size), s->file);
    if (n == 0 && ferror(s->file))
      s->ioError = s->ioError ? s->ioError : EIO;
    return static_cast<int32_t>(n);
  }
  size_t left = s->inputLength - s->inputOffset;
  size_t n = left < static_cast<size_t>(size) ? left : static_cast<size_t>(size);
  memcpy(buffer, s->input + s->inputOffset, n);
  s->inputOffset += n;
  return static_cast<int32_t>(n);
}

/* ---- sessions ----------------------------------------------------------- */

/* Ends the serializer (a writing one writes its last bytes) and closes the
   file; false when either failed. Safe to call twice. */
bool finishSession(Session *s) {
  int result = 1;
  if (s->context)
    result = s->plugin->FreeSerializer(s->context);
  s->context = nullptr;
  if (s->file && fclose(s->file) != 0 && !s->ioError)
    s->ioError = errno;
  s->file = nullptr;
  return result && !s->ioError;
}

/* Releases everything the session holds. */
void closeSession(Session *s) {
  finishSession(s);
  if (s->tempPath) /* a write that did not complete leaves no file behind */
    remove(s->tempPath);
  free(s->tempPath);
  s->tempPath = nullptr;
  free(s->data);
  s->data = nullptr;
  s->length = s->capacity = 0;
  free(s->keys);
  s->keys = nullptr;
  s->keyCount = s->keyCapacity = 0;
}

int collectSession(lua_State *L) {
  closeSession(static_cast<Session *>(luaL_checkudata(L, 1, SESSION_METATABLE)));
  return 0;
}

Session *newSession(lua_State *L) {
  auto *s = static_cast<Session *>(lua_newuserdata(L, sizeof(Session)));
  memset(s, 0, sizeof *s);
  s->plugin = static_cast<const Plugin *>(lua_touserdata(L, lua_upvalueindex(1)));
  if (luaL_newmetatable(L, SESSION_METATABLE)) {
    lua_pushcfunction(L, collectSession);
    lua_setfield(L, -2, "__gc");
  }
  lua_setmetatable(L, -2);
  return s;
}

/* Raises an error after releasing the session: no serializer stays open
   and no partly written file stays behind. */
[[noreturn]] void fail(lua_State *L, Session *s, const char *format, ...) {
  va_list args;
  va_start(args, format);
  lua_pushvfstring(L, format, args);
  va_end(args);
  closeSession(s);
  lua_error(L);
  abort(); /* lua_error does not return */
}

void openSerializer(lua_State *L, Session *s, const TableOptions *o, bool writing) {
  TagItem tags[5];
  Option options[2];
  buildTags(o, tags, options);
  s->format = o->format;
  s->context = s->plugin->InitSerializer(readStream, writing ? writeStream : nullptr, s, tags);
  if (!s->context) {
    if (s->ioError)
      fail(L, s, "cannot write the XML: %s", strerror(s->ioError));
    fail(L, s, "cannot start the XML serializer (is the root node a valid XML name?)");
  }
}

void openFile(lua_State *L, Session *s, const char *path, bool writing) {
  if (writing) {
    size_t length = strlen(path);
    s->tempPath = static_cast<char *>(malloc(length + sizeof ".part"));
    if (!s->tempPath)
      fail(L, s, "not enough memory");
    memcpy(s->tempPath, path, length);
    memcpy(s->tempPath + length, ".part", sizeof ".part");
  }
  s->file = fopen(writing ? s->tempPath : path, writing ? "wb" : "rb");
  if (!s->file) {
    int error = errno;
    fail(L, s, "cannot open '%s': %s", path, strerror(error));
  }
}

/* ---- saving ------------------------------------------------------------- */

struct KeyRef {
  int isString;
  lua_Number number;
  const char *text;
  size_t length;
};

/* Number keys ascending, then string keys in byte order. */
int compareKeys(const void *a, const void *b) {
  auto *x = static_cast<const KeyRef *>(a);
  auto *y = static_cast<const KeyRef *>(b);
  if (x->isString != y->isString)
    return x->isString - y->isString;
  if (!x->isString)
    return x->number < y->number ? -1 : x->number > y->number ? 1 : 0;
  size_t n = x->length < y->length ? x->length : y->length;
  int c = memcmp(x->text, y->text, n);
  if (c != 0)
    return c;
  return x->length < y->length ? -1 : x->length > y->length ? 1 : 0;
}

bool isLetter(char c) {
  return c == '_' || ((c | 32) >= 'a' && (c | 32) <= 'z');
}

/* A key that reads as a field name: settings.window */
bool isIdentifier(const char *text, size_t length) {
  if (length == 0 || !isLetter(text[0]))
    return false;
  for (size_t i = 0; i < length; i++)
    if (!isLetter(text[i]) && !(text[i] >= '0' && text[i] <= '9'))
      return false;
  return true;
}

/* One key on the way down to the item being saved; the key itself stays on
   the stack at keyIndex while its value is saved. */
struct PathFrame {
  const PathFrame *parent;
  int keyIndex;
};

/* Appends the path down to frame to text: settings.window[3]. */
void appendPath(lua_State *L, const PathFrame *frame, char *text, size_t size, size_t *used) {
  if (!frame)
    return;
  appendPath(L, frame->parent, text, size, used);
  if (*used >= size - 1)
    return;
  int type = lua_type(L, frame->keyIndex);
  size_t length = 0;
  const char *key = type == LUA_TSTRING ? lua_tolstring(L, frame->keyIndex, &length) : nullptr;
  char number[64];
  if (type == LUA_TNUMBER) { /* tolstring would turn the key itself into a string */
    snprintf(number, sizeof number, "%.14g", lua_tonumber(L, frame->keyIndex));
    key = number;
  } else if (type == LUA_TBOOLEAN) {
    key = lua_toboolean(L, frame->keyIndex) ? "true" : "false";
  } else if (type != LUA_TSTRING) {
    key = luaL_typename(L, frame->keyIndex);
  }
  int n;
  if (type == LUA_TSTRING && isIdentifier(key, length))
    n = snprintf(text + *used, size - *used, frame->parent ? ".%s" : "%s", key);
  else if (type == LUA_TSTRING)
    n = snprintf(text + *used, size - *used, "[\"%s\"]", key);
  else
    n = snprintf(text + *used, size - *used, "[%s]", key);
  size_t wrote = n > 0 ? static_cast<size_t>(n) : 0;
  *used += wrote < size - *used ? wrote : size - *used - 1;
}

/* Raises message with the path of keys down to frame. */
[[noreturn]] void failAt(lua_State *L, Session *s, const PathFrame *frame, const char *message) {
  char path[512];
  size_t used = 0;
  path[0] = 0;
  appendPath(L, frame, path, sizeof path, &used);
  fail(L, s, "%s at '%s'", message, path);
}

void putItem(lua_State *L, Session *s, const PathFrame *frame, const ItemValue *key,
             const ItemValue *value) {
  if (s->plugin->SerializeItem(s->context, key, value))
    return;
  if (s->ioError)
    fail(L, s, "cannot write the XML: %s", strerror(s->ioError));
  char message[64];
  snprintf(message, sizeof message, "cannot save this key or value in \"%s\" format",
           formatNames[s->format]);
  failAt(L, s, frame, message);
}

void saveTable(lua_State *L, Session *s, int table, const PathFrame *parent);

void markVisiting(lua_State *L, Session *s, int table, int visiting) {
  lua_pushvalue(L, table);
  lua_pushboolean(L, visiting);
  lua_rawset(L, s->visitingIndex);
}

/* Saves the key/value pair on top of the stack (and pops it). */
void saveItem(lua_State *L, Session *s, const PathFrame *parent) {
  int keyIndex = lua_gettop(L) - 1;
  int valueIndex = keyIndex + 1;
  const PathFrame frameData = {parent, keyIndex};
  const PathFrame *frame = &frameData;

  ItemValue key;
  lua_Number keyNumber = 0;
  size_t length = 0;
  if (lua_type(L, keyIndex) == LUA_TNUMBER) {
    keyNumber = lua_tonumber(L, keyIndex);
    key = {ITEM_NUMBER, &keyNumber, static_cast<int32_t>(sizeof keyNumber)};
  } else {
    const char *text = lua_tolstring(L, keyIndex, &length);
    if (length > INT32_MAX)
      failAt(L, s, frame, "key too long");
    key = {ITEM_STRING, const_cast<char *>(text), static_cast<int32_t>(length)};
  }

  ItemValue value;
  lua_Number number = 0;
  switch (lua_type(L, valueIndex)) {
  case LUA_TNUMBER:
  case LUA_TBOOLEAN:
    number = lua_type(L, valueIndex) == LUA_TNUMBER ? lua_tonumber(L, valueIndex)
                                                    : lua_toboolean(L, valueIndex);
    value = {ITEM_NUMBER, &number, static_cast<int32_t>(sizeof number)};
    putItem(L, s, frame, &key, &value);
    break;
  case LUA_TSTRING: {
    const char *text = lua_tolstring(L, valueIndex, &length);
    if (length > INT32_MAX)
      failAt(L, s, frame, "string too long");
    value = {ITEM_STRING, const_cast<char *>(text), static_cast<int32_t>(length)};
    putItem(L, s, frame, &key, &value);
    break;
  }
  case LUA_TFUNCTION: {
    lua_pushvalue(L, valueIndex);
    luaL_Buffer image;
    luaL_buffinit(L, &image);
    if (lua_iscfunction(L, valueIndex) ||
        lua_dump(
            L,
            [](lua_State *, const void *p, size_t n, void *b) {
              luaL_addlstring(static_cast<luaL_Buffer *>(b), static_cast<const char *>(p), n);
              return 0;
            },
            &image) != 0)
      failAt(L, s, frame, "cannot save a C function");
    luaL_pushresult(&image);
    const char *bytes = lua_tolstring(L, -1, &length);
    if (length > INT32_MAX)
      failAt(L, s, frame, "function too large");
    value = {ITEM_FUNCTION, const_cast<char *>(bytes), static_cast<int32_t>(length)};
    putItem(L, s, frame, &key, &value);
    break;
  }
  case LUA_TTABLE:
    /* visiting[t] is true while t is being saved, false after: marking a
       finished table false rather than removing it keeps the set from
       rehashing at every table. */
    lua_pushvalue(L, valueIndex);
    lua_rawget(L, s->visitingIndex);
    if (lua_toboolean(L, -1))
      failAt(L, s, frame, "cannot save a table that contains itself");
    lua_pop(L, 1);
    markVisiting(L, s, valueIndex, 1);
    value = {ITEM_TABLE, nullptr, 1};
    putItem(L, s, frame, &key, &value);
    saveTable(L, s, valueIndex, frame);
    value.length = 0;
    putItem(L, s, frame, &key, &value);
    markVisiting(L, s, valueIndex, 0);
    break;
  default: {
    char message[64];
    snprintf(message, sizeof message, "cannot save a %s value", luaL_typename(L, valueIndex));
    failAt(L, s, frame, message);
  }
  }
  lua_settop(L, keyIndex - 1);
}

bool inArrayPart(lua_State *L, int index, size_t count) {
  if (lua_type(L, index) != LUA_TNUMBER)
    return false;
  lua_Number n = lua_tonumber(L, index);
  return n >= 1 && n <= static_cast<lua_Number>(count) && n == static_cast<lua_Number>(static_cast<size_t>(n));
}

/* Adds a key of the table being walked to the session's key list. */
void addKey(lua_State *L, Session *s, const KeyRef &key) {
  if (s->keyCount == s->keyCapacity) {
    size_t capacity = s->keyCapacity ? 2 * s->keyCapacity : 64;
    auto *keys = static_cast<KeyRef *>(realloc(s->keys, capacity * sizeof(KeyRef)));
    if (!keys || capacity > SIZE_MAX / sizeof(KeyRef) / 2)
      fail(L, s, "not enough memory");
    s->keys = keys;
    s->keyCapacity = capacity;
  }
  s->keys[s->keyCount++] = key;
}

/* Saves the entries of the table at index table: the array part 1..n
   first, then the other number keys ascending, then the string keys in
   byte order, so that the same table always gives the same bytes. */
void saveTable(lua_State *L, Session *s, int table, const PathFrame *parent) {
  if (!lua_checkstack(L, 10))
    fail(L, s, "table nested too deeply");
  size_t count = lua_objlen(L, table);
  for (size_t i = 1; i <= count; i++) {
    lua_pushnumber(L, static_cast<lua_Number>(i));
    lua_rawgeti(L, table, static_cast<int>(i));
    if (lua_isnil(L, -1))
      lua_pop(L, 2);
    else
      saveItem(L, s, parent);
  }

  /* The other keys go to the session's list after those of the tables
     above; the strings stay anchored by the table while it is walked. */
  size_t first = s->keyCount;
  lua_pushnil(L);
  while (lua_next(L, table)) {
    lua_pop(L, 1);
    if (inArrayPart(L, -1, count))
      continue;
    if (lua_type(L, -1) == LUA_TNUMBER) {
      addKey(L, s, {0, lua_tonumber(L, -1), nullptr, 0});
    } else if (lua_type(L, -1) == LUA_TSTRING) {
      KeyRef key = {1, 0, nullptr, 0};
      key.text = lua_tolstring(L, -1, &key.length);
      addKey(L, s, key);
    } else {
      const PathFrame frame = {parent, lua_gettop(L)};
      char message[64];
      snprintf(message, sizeof message, "cannot save a %s key", luaL_typename(L, -1));
      failAt(L, s, &frame, message);
    }
  }
  size_t end = s->keyCount;
  if (end - first > 1)
    qsort(s->keys + first, end - first, sizeof(KeyRef), compareKeys);
  for (size_t i = first; i < end; i++) {
    const KeyRef &key = s->keys[i]; /* read before saveItem, which may move the list */
    if (key.isString)
      lua_pushlstring(L, key.text, key.length);
    else
      lua_pushnumber(L, key.number);
    lua_pushvalue(L, -1);
    lua_rawget(L, table);
    saveItem(L, s, parent);
  }
  s->keyCount = first;
}

/* Saves the table at index table through the open session. */
void saveRoot(lua_State *L, Session *s, int table) {
  lua_newtable(L);
  s->visitingIndex = lua_gettop(L);
  markVisiting(L, s, table, 1);
  saveTable(L, s, table, nullptr);
}

/* ---- loading ------------------------------------------------------------ */

[[noreturn]] void failLoad(lua_State *L, Session *s) {
  if (s->ioError)
    fail(L, s, "cannot read the XML: %s", strerror(s->ioError));
  fail(L, s, "not a valid XML table in \"%s\" format", formatNames[s->format]);
}

void pushItemValue(lua_State *L, const ItemValue *item) {
  if (item->type == ITEM_NUMBER)
    lua_pushnumber(L, *static_cast<const double *>(item->data));
  else
    lua_pushlstring(L, item->data ? static_cast<const char *>(item->data) : "",
                    static_cast<size_t>(item->length));
}

/* Reads items until the end and leaves the rebuilt table on top. */
void loadRoot(lua_State *L, Session *s, const TableOptions *o) {
  lua_newtable(L);
  int depth = 0;
  for (;;) {
    ItemValue key = {ITEM_NUMBER, nullptr, 0}, value = {ITEM_NUMBER, nullptr, 0};
    int done = 0;
    if (!s->plugin->DeserializeItem(s->context, &key, &value, &done))
      failLoad(L, s);
    if (done)
      break;
    if (!lua_checkstack(L, 4))
      fail(L, s, "table nested too deeply");
    if (value.type == ITEM_TABLE && value.length == 0) {
      if (depth == 0)
        failLoad(L, s);
      lua_rawset(L, -3);
      depth--;
      continue;
    }
    if ((key.type != ITEM_NUMBER && key.type != ITEM_STRING) || !key.data)
      failLoad(L, s);
    pushItemValue(L, &key);
    switch (value.type) {
    case ITEM_TABLE:
      lua_newtable(L);
      depth++;
      continue;
    case ITEM_NUMBER:
    case ITEM_STRING:
      if (value.type == ITEM_NUMBER && !value.data)
        failLoad(L, s);
      pushItemValue(L, &value);
      break;
    case ITEM_FUNCTION:
      if (!o->functions)
        fail(L, s, "the XML holds a function: load functions only from trusted files, "
                      "with the option functions = true");
      if (luaL_loadbuffer(L, value.data ? static_cast<const char *>(value.data) : "",
                          static_cast<size_t>(value.length), "=table") != 0)
        fail(L, s, "cannot load a function from the XML: %s", lua_tostring(L, -1));
      break;
    default:
      failLoad(L, s);
    }
    lua_rawset(L, -3);
  }
  if (depth != 0 || !finishSession(s))
    failLoad(L, s);
}

} // namespace

/* ---- script functions --------------------------------------------------- */

int SerializeTable(lua_State *L) {
  TableOptions o;
  luaL_checktype(L, 1, LUA_TTABLE);
  readOptions(L, 2, &o);
  lua_settop(L, 2);
  Session *s = newSession(L);
  openSerializer(L, s, &o, true);
  saveRoot(L, s, 1);
  if (!finishSession(s))
    fail(L, s, "cannot write the XML: %s", strerror(s->ioError ? s->ioError : EIO));
  lua_pushlstring(L, s->data ? s->data : "", s->length);
  closeSession(s);
  return 1;
}

int WriteTable(lua_State *L) {
  TableOptions o;
  const char *path = luaL_checkstring(L, 1);
  luaL_checktype(L, 2, LUA_TTABLE);
  readOptions(L, 3, &o);
  lua_settop(L, 3);
  Session *s = newSession(L);
  /* Written under a temporary name and renamed when complete, so that a
     failed write never destroys the file that was there. */
  openFile(L, s, path, true);
  openSerializer(L, s, &o, true);
  saveRoot(L, s, 2);
  if (!finishSession(s))
    fail(L, s, "cannot write '%s': %s", path, strerror(s->ioError ? s->ioError : EIO));
  if (rename(s->tempPath, path) != 0) {
    int error = errno;
    fail(L, s, "cannot write '%s': %s", path, strerror(error));
  }
  free(s->tempPath);
  s->tempPath = nullptr;
  return 0;
}

int DeserializeTable(lua_State *L) {
  TableOptions o;
  size_t length;
  const char *text = luaL_checklstring(L, 1, &length);
  readOptions(L, 2, &o);
  lua_settop(L, 2);
  Session *s = newSession(L);
  s->input = text;
  s->inputLength = length;
  openSerializer(L, s, &o, false);
  loadRoot(L, s, &o);
  return 1;
}

int ReadTable(lua_State *L) {
  TableOptions o;
  const char *path = luaL_checkstring(L, 1);
  readOptions(L, 2, &o);
  lua_settop(L, 2);
  Session *s = newSession(L);
  openFile(L, s, path, false);
  openSerializer(L, s, &o, false);
  loadRoot(L, s, &o);
  return 1;
}

} // namespace velloran
