/*
 * The session of one save or load: the serializer it opened, the stream
 * callbacks that carry the serializer's bytes to memory or to a file, and
 * errors that release everything before they are raised.
 */
#include <errno.h>
#include <stdarg.h>
#include <stdint.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "velloran/tables_session.h"
#include "velloran/script.h"
#include "velloran/slots.h"

extern "C" {
#include <lauxlib.h>
}

namespace velloran {

namespace {

const char SESSION_METATABLE[] = "velloran.tablesession";

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
    if (n == 0 && ferror(s->file)) {
      s->ioError = s->ioError ? s->ioError : errno ? errno : EIO;
      return -1; /* not the end of the file */
    }
    return static_cast<int32_t>(n);
  }
  size_t left = s->inputLength - s->inputOffset;
  size_t n = left < static_cast<size_t>(size) ? left : static_cast<size_t>(size);
  memcpy(buffer, s->input + s->inputOffset, n);
  s->inputOffset += n;
  return static_cast<int32_t>(n);
}

int serializeItem(Session *s, const ItemValue *key, const ItemValue *value) {
  return s->plugin->SerializeItem(s->context, key, value);
}

/* Frees a block of the session and forgets it. */
template <typename T> void release(T *&block) {
  free(block);
  block = nullptr;
}

int collectSession(lua_State *L) {
  closeSession(static_cast<Session *>(luaL_checkudata(L, 1, SESSION_METATABLE)));
  return 0;
}

} // namespace

void registerSessionMetatable(lua_State *L) {
  luaL_newmetatable(L, SESSION_METATABLE);
  lua_pushcfunction(L, collectSession);
  lua_setfield(L, -2, "__gc");
  lua_pop(L, 1);
}

Session *newSession(lua_State *L, const Plugin *plugin) {
  if (stateClosing())
    luaL_error(L, "the script state is closing");
  auto *s = static_cast<Session *>(lua_newuserdata(L, sizeof(Session)));
  memset(s, 0, sizeof *s);
  s->plugin = plugin;
  s->putItem = serializeItem;
  luaL_getmetatable(L, SESSION_METATABLE);
  lua_setmetatable(L, -2);
  return s;
}

void fail(lua_State *L, Session *s, const char *format, ...) {
  va_list args;
  va_start(args, format);
  lua_pushvfstring(L, format, args);
  va_end(args);
  closeSession(s);
  lua_error(L);
  abort(); /* lua_error does not return */
}

void clearReason() {
  clearErrorArgument();
}

SerializerFailure takeFailure(const Session *s, char *reason) {
  const char *pending = pendingErrorArgument();
  snprintf(reason, REASON_LIMIT, "%s", pending ? pending : "");
  clearErrorArgument();
  if (s->ioError)
    return FAILED_STREAM;
  return strcmp(reason, SERIALIZER_NO_MEMORY) == 0 ? FAILED_MEMORY : FAILED_REFUSED;
}

void failStream(lua_State *L, Session *s, const char *verb) {
  const char *why = strerror(s->ioError ? s->ioError : EIO);
  if (s->path)
    fail(L, s, "cannot %s '%s': %s", verb, s->path, why);
  fail(L, s, "cannot %s the XML: %s", verb, why);
}

void growArray(lua_State *L, Session *s, void **block, size_t *capacity, size_t count,
               size_t size) {
  if (count < *capacity)
    return;
  size_t wanted = *capacity ? 2 * *capacity : 64;
  void *grown = wanted <= SIZE_MAX / 2 / size ? realloc(*block, wanted * size) : nullptr;
  if (!grown)
    fail(L, s, "not enough memory");
  *block = grown;
  *capacity = wanted;
}

void openSerializer(lua_State *L, Session *s, bool writing) {
  TagItem tags[6];
  Option options[2];
  /* Nothing between here and InitSerializer runs script code: the tags
     point into the session's own copy of the options. */
  buildTags(&s->options, writing, tags, options);
  clearReason();
  s->context = s->plugin->InitSerializer(readStream, writing ? writeStream : nullptr, s, tags);
  if (s->context)
    return;
  char reason[REASON_LIMIT];
  SerializerFailure failure = takeFailure(s, reason);
  if (failure == FAILED_STREAM)
    failStream(L, s, "write");
  /* A reading serializer fails only for want of memory. */
  if (!writing || failure == FAILED_MEMORY)
    fail(L, s, "%s", SERIALIZER_NO_MEMORY);
  /* Otherwise a writing serializer refuses only its root name. */
  fail(L, s, "bad option 'rootnode' ('%s' cannot be written as an XML name)",
       s->options.rootNode);
}

bool finishSession(Session *s) {
  int result = 1;
  if (s->context)
    result = s->plugin->FreeSerializer(s->context);
  s->context = nullptr;
  if (s->file) {
    /* A replacement reaches the disk before it is renamed over the old
       file, so that a crash leaves the old file or the new one. */
    if (s->tempPath && !s->ioError && (fflush(s->file) != 0 || fsync(fileno(s->file)) != 0))
      s->ioError = errno;
    if (fclose(s->file) != 0 && !s->ioError)
      s->ioError = errno;
  }
  s->file = nullptr;
  return result && !s->ioError;
}

void closeSession(Session *s) {
  finishSession(s);
  if (s->tempPath) /* a write that did not complete leaves no file behind */
    unlink(s->tempPath);
  release(s->tempPath);
  release(s->targetPath);
  release(s->data);
  release(s->frames);
  release(s->keys);
  release(s->buckets);
  release(s->shapes);
  s->length = s->capacity = 0;
  s->frameCount = s->frameCapacity = 0;
  s->keyCount = s->keyCapacity = 0;
  s->bucketCount = 0;
  s->shapeCapacity = 0;
}

} // namespace velloran
