/*
 * What the table functions share: their options, and the session that one
 * save or load holds (the open serializer, its stream, the walk's stacks).
 *
 * A session lives in a script-engine userdata whose collector hook releases
 * it, and the script functions close it as soon as their work ends or fails,
 * so nothing here keeps an object with a destructor.
 */
#ifndef VELLORAN_TABLES_SESSION_H
#define VELLORAN_TABLES_SESSION_H

#include <stddef.h>
#include <stdio.h>

#include "velloran/loader.h"

namespace velloran {

/* The serializer keeps a root name of at most this many bytes. */
enum { ROOT_NAME_LIMIT = SERIALIZER_ROOT_NAME_LIMIT };

/* Indexed by the FORMAT_ values. */
extern const char *const tableFormatNames[];

struct TableOptions {
  int format;
  char rootNode[ROOT_NAME_LIMIT + 1]; /* a copy; "" for the serializer's default */
  int ignoreWhitespace;               /* -1: the serializer's default */
  int rawNames;
  int encoding;  /* of the written XML; -1: the host's encoding */
  int functions; /* load function images */
};

/* Reads the options table at index (absent or nil: the defaults). */
void readOptions(lua_State *L, int index, TableOptions *o);

/* The tag list and option list of InitSerializer for o. */
void buildTags(const TableOptions *o, bool writing, TagItem tags[6], Option options[2]);

struct Session;

/* Where the save walk hands its items: the serializer, or another sink. */
typedef int (*PutItemFunc)(Session *s, const ItemValue *key, const ItemValue *value);

struct KeyRef;
struct SaveFrame;
struct LoadShape;

struct Session {
  const Plugin *plugin;
  void *context; /* the open serializer, or null */
  TableOptions options;
  PutItemFunc putItem;
  /* output to memory */
  char *data;
  size_t length;
  size_t capacity;
  /* input from memory (the script's string, anchored as an argument) */
  const char *input;
  size_t inputLength;
  size_t inputOffset;
  /* a file; a replacement is written under tempPath, then renamed to
     targetPath (the path with its symbolic links followed) */
  FILE *file;
  char *tempPath;
  char *targetPath;
  int ioError; /* errno of the first failed read or write */
  const char *path; /* the file read or written, for errors (anchored as an argument) */
  /* the save walk: one frame per table being saved, and the keys of those
     tables (each table's keys after its parent's, sorted in place) */
  SaveFrame *frames;
  size_t frameCount;
  size_t frameCapacity;
  KeyRef *keys;
  size_t keyCount;
  size_t keyCapacity;
  /* the tables being saved, by address: bucket -> 1 + the newest frame
     whose table falls in it (0: none); frames chain to older ones */
  size_t *buckets;
  size_t bucketCount;
  /* the load walk: per depth, the keys of the table being filled and of
     the last one filled there (the size of the next one's slots) */
  LoadShape *shapes;
  size_t shapeCapacity;
};

/* Registers the metatable of sessions. The host does it once, before any
   script runs: registered on first use instead, the allocation could run
   a finalizer that saves a table and registers it meanwhile. */
void registerSessionMetatable(lua_State *L);

/* Pushes a new session userdata. */
Session *newSession(lua_State *L, const Plugin *plugin);

/* Raises an error (printf-like, as lua_pushfstring) after closing the
   session. */
[[noreturn]] void fail(lua_State *L, Session *s, const char *format, ...);

/* Room for the reason of a failed serializer call. */
enum { REASON_LIMIT = 512 };

/* Forgets any reason, before a serializer call whose reason is wanted. */
void clearReason();

/* Why a serializer call failed, as far as the host can tell: the session's
   own stream failed (s->ioError says how), memory ran out in the plugin,
   or the serializer refused what it was given (the XML, an item, the root
   name). */
enum SerializerFailure { FAILED_STREAM, FAILED_MEMORY, FAILED_REFUSED };

/* The cause of the serializer call that just failed; copies the reason
   that the plugin gave into reason (REASON_LIMIT bytes; "" when it gave
   none): a copy, since a finalizer run by the next allocation may call the
   plugin again. */
SerializerFailure takeFailure(const Session *s, char *reason);

/* Raises the stream's failure (s->ioError, else EIO): "cannot <verb>
   'path': <the system's message>", or "the XML" for a text in memory. */
[[noreturn]] void failStream(lua_State *L, Session *s, const char *verb);

/* Grows *block to hold count + 1 elements of size bytes; raises on failure. */
void growArray(lua_State *L, Session *s, void **block, size_t *capacity, size_t count, size_t size);

/* Opens the serializer on the session's stream with its options. */
void openSerializer(lua_State *L, Session *s, bool writing);

/* Ends the serializer (a writing one writes its last bytes), flushes a
   replacement to the disk and closes the file; false when any failed. */
bool finishSession(Session *s);

/* Releases everything the session holds; a replacement that was not
   committed is removed. Safe to call twice. */
void closeSession(Session *s);

/* Files (tables_file.cpp). */
void openInputFile(lua_State *L, Session *s, const char *path);
void openReplacement(lua_State *L, Session *s, const char *path);
void commitReplacement(lua_State *L, Session *s, const char *path);

/* The walks (tables_save.cpp, tables_load.cpp). */
void saveRoot(lua_State *L, Session *s, int table);
void loadRoot(lua_State *L, Session *s);

} // namespace velloran

#endif
