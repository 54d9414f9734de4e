#include "parser/dispatch.h"

#include <stdint.h>
#include <string.h>

#include "host/numbers.h"
#include "host/services.h"
#include "plugin/errors.h"

/* The arguments of the event command's protected call: self, the callback
   table, the event's key string and the text's key string (each nil when
   the step has not pushed it). */
enum { ARG_SELF = 1, ARG_CALLBACKS = 2, ARG_EVENT_KEY = 3, ARG_TEXT_KEY = 4, EVENT_ARGS = 4 };

static const char *const TEXT_TAG = "chardata";
static const size_t FIRST_TEXT_CAPACITY = 1024;

void setCallbackKeys(ParserRecord *record, uint32_t keys) {
  record->keyMask = keys;
  int slot = SLOT_FIRST_KEY;
  for (int key = 0; key < KEY_COUNT; key++)
    record->keySlot[key] = keys & (1u << key) ? static_cast<uint8_t>(slot++) : 0;
}

uint32_t pushCallbackKeys(lua_State *L, const ParserRecord *record) {
  uint32_t keys = record->keyMask;
  if (!keys || !host::lua_checkstack(L, __builtin_popcount(keys) + LUA_MINSTACK))
    return 0;
  for (int key = 0; key < KEY_COUNT; key++)
    if (keys & (1u << key))
      host::lua_pushstring(L, callbackKeys[key]);
  return keys;
}

int popIntegerResult(lua_State *L) {
  lua_Number n = host::lua_tonumber(L, -1);
  host::lua_settop(L, -2);
  return saturateToInt32(n);
}

/* ---- outside the protected call: nothing here may raise -------------- */

/* Pushes a copy of the key string that the step pushed, or nil. */
static void pushKeyCopy(lua_State *L, const ParserRecord *record, int key) {
  if (key < KEY_COUNT && record->step.keys & (1u << key))
    host::lua_pushvalue(L, record->keySlot[key]);
  else
    host::lua_pushnil(L);
}

/* Calls the step's event command with the event pending on the stepping
   object. Pushing copies of values allocates nothing: the step made room. */
static void runProtected(ParserRecord *record, ScriptEvent *event) {
  lua_State *L = record->step.scriptState;
  ParserRecord *stepping = record->step.stepRecord;
  event->record = record;
  host::lua_pushvalue(L, SLOT_EVENT_COMMAND);
  host::lua_pushvalue(L, SLOT_SELF);
  host::lua_pushvalue(L, SLOT_CALLBACKS);
  pushKeyCopy(L, record, event->key);
  pushKeyCopy(L, record, event->deliversText ? KEY_CHARACTERDATA : KEY_COUNT);
  stepping->pendingEvent = event;
  int status = host::lua_pcall(L, EVENT_ARGS, 0, 0);
  bool lost = stepping->pendingEvent != nullptr;
  stepping->pendingEvent = nullptr;
  if (status != 0) {
    deferFailedCall(L, record, status);
    host::lua_settop(L, -2);
  } else if (lost) {
    /* The metatable's function is no longer the plugin's command. */
    deferError(record, errorIds[ERR_INVALID_STATE], nullptr);
  }
  if ((status != 0 || lost) && event->wantsResult)
    event->result = 0;
}

int dispatchEvent(void *userData, ScriptEvent *event) {
  auto *record = static_cast<ParserRecord *>(userData);
  if (record->failed)
    return event->result;
  event->deliversText = record->collecting;
  record->collecting = 0;
  runProtected(record, event);
  if (event->deliversText)
    record->step.text->length = 0;
  return event->result;
}

void flushText(ParserRecord *record) {
  if (!record->collecting)
    return;
  ScriptEvent event = {};
  event.key = KEY_COUNT;
  dispatchEvent(record, &event);
}

/* Makes room for length more bytes; false when memory is lacking. */
static bool growText(CollectedText *text, size_t length) {
  if (length <= text->capacity - text->length)
    return true;
  if (length > SIZE_MAX - text->length)
    return false;
  size_t needed = text->length + length;
  size_t capacity = text->capacity ? text->capacity : FIRST_TEXT_CAPACITY;
  while (capacity < needed)
    capacity = capacity > SIZE_MAX / 2 ? needed : capacity * 2;
  auto *data = static_cast<char *>(host::AllocMem(capacity, 0, TEXT_TAG));
  if (!data)
    return false;
  if (text->length)
    memcpy(data, text->data, text->length);
  if (text->data)
    host::FreeMem(text->data);
  text->data = data;
  text->capacity = capacity;
  return true;
}

void collectText(void *userData, const XML_Char *text, int length) {
  auto *record = static_cast<ParserRecord *>(userData);
  if (record->failed)
    return;
  CollectedText *collected = record->step.text;
  if (!growText(collected, static_cast<size_t>(length))) {
    record->collecting = 0;
    collected->length = 0;
    deferNoMemory(record);
    return;
  }
  memcpy(collected->data + collected->length, text, static_cast<size_t>(length));
  collected->length += static_cast<size_t>(length);
  record->collecting = 1;
}

/* ---- inside the protected call ------------------------------------------ */

/* Looks key up in the callback table (the key string is at keyArg, or
   pushed anew). Returns true with the callback and self pushed, or false
   with nothing pushed. */
static bool fetchCallback(lua_State *L, ParserRecord *record, int key, int keyArg) {
  if (host::lua_type(L, keyArg) == LUA_TNIL)
    host::lua_pushstring(L, callbackKeys[key]);
  else
    host::lua_pushvalue(L, keyArg);
  host::lua_gettable(L, ARG_CALLBACKS);
  int type = host::lua_type(L, -1);
  if (type == LUA_TFUNCTION) {
    host::lua_pushvalue(L, ARG_SELF);
    return true;
  }
  /* nil, 0 and "0" switch a callback off. */
  bool off = type == LUA_TNIL || (host::lua_isnumber(L, -1) && host::lua_tonumber(L, -1) == 0);
  host::lua_settop(L, -2);
  if (!off)
    deferError(record, errorIds[ERR_NOT_A_FUNCTION], callbackKeys[key]);
  return false;
}

/* Calls the fetched callback with self and the nargs arguments pushed
   after it. A failure is kept in the record. */
static int callCallback(lua_State *L, ParserRecord *record, int nargs, int nresults) {
  int status = host::lua_pcall(L, nargs + 1, nresults, 0);
  if (status != 0)
    deferFailedCall(L, record, status);
  return status;
}

static void deliverText(lua_State *L, ParserRecord *record) {
  if (!fetchCallback(L, record, KEY_CHARACTERDATA, ARG_TEXT_KEY))
    return;
  host::lua_pushlstring(L, record->step.text->data, record->step.text->length);
  callCallback(L, record, 1, 0);
}

static void pushArg(lua_State *L, const EventArg &arg, int childSlot) {
  switch (arg.kind) {
  case ARG_STRING:
    host::lua_pushstring(L, static_cast<const char *>(arg.data));
    return;
  case ARG_TEXT:
    if (arg.data)
      host::lua_pushlstring(L, static_cast<const char *>(arg.data), arg.length);
    else
      host::lua_pushnil(L);
    return;
  case ARG_NUMBER:
    host::lua_pushnumber(L, arg.number);
    return;
  case ARG_PUSHED:
    arg.push(L, arg.data);
    return;
  default:
    host::lua_pushvalue(L, childSlot);
    return;
  }
}

static bool hasChild(const ScriptEvent *event) {
  for (int i = 0; i < event->count; i++)
    if (event->args[i].kind == ARG_CHILD)
      return true;
  return false;
}

static void deliverEvent(lua_State *L, ParserRecord *record, ScriptEvent *event) {
  /* A child object is made first, beneath the call, so that the stack keeps
     it until it is closed whatever the script does with it. */
  ParserRecord *child = hasChild(event) ? openChildRecord(L, record) : nullptr;
  int childSlot = child ? -3 : 0;
  if (!fetchCallback(L, record, event->key, ARG_EVENT_KEY))
    return;
  for (int i = 0; i < event->count; i++)
    pushArg(L, event->args[i], childSlot - i);
  /* Its Expat parser is made only now, after every push that could raise,
     so that it is always closed before the parent's is touched again. */
  if (child && !openChildParser(child, event->entityParser, event->entityContext)) {
    closeParserRecord(L, child);
    deferError(record, errorIds[ERR_PARSER_CREATE], nullptr);
    event->result = 0;
    return;
  }
  callCallback(L, record, event->count, event->wantsResult ? 1 : 0);
  if (event->wantsResult)
    event->result = popIntegerResult(L);
  if (child)
    closeParserRecord(L, child);
}

int deliverPendingEvent(lua_State *L, ParserRecord *self) {
  ScriptEvent *event = self->pendingEvent;
  self->pendingEvent = nullptr;
  ParserRecord *record = event->record;
  if (event->deliversText)
    deliverText(L, record);
  if (event->key < KEY_COUNT && !record->failed)
    deliverEvent(L, record, event);
  return 0;
}
