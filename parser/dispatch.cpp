#include "parser/dispatch.h"

#include <stdint.h>
#include <string.h>

#include "host/numbers.h"
#include "host/services.h"
#include "plugin/errors.h"

/* The arguments of the event command's protected call: self, the event's
   ticket, the callback table, the event's key string, and the text's key
   string when the merged text goes first. A key string is nil when the
   step has not pushed it. */
enum { ARG_SELF = 1, ARG_TICKET = 2, ARG_CALLBACKS = 3, ARG_EVENT_KEY = 4, ARG_CHILD_SLOT = 5 };

/* The event handed to the event command now, on this thread, and the
   count that numbers the events' tickets. The command is called right
   after, with no script code in between (no allocation, so no finalizer),
   and takes the event at once. The ticket keeps anyone else who calls the
   command then (a script function that replaced it) from taking it by
   mistake; the record of argument 1 is not looked up, which saves the
   cost of a metatable check per event. Its few bytes are taken from the
   static TLS block, which costs no lookup per access. */
struct PendingSlot {
  ScriptEvent *event;
  uint32_t lastTicket;
};
static thread_local PendingSlot pending __attribute__((tls_model("initial-exec")));

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

/* Calls the step's event command with the event pending. Pushing copies
   of values allocates nothing: the step made room. */
static void runProtected(ParserRecord *record, ScriptEvent *event) {
  lua_State *L = record->step.scriptState;
  PendingSlot &slot = pending;
  event->record = record;
  /* Wraps; 0 is never a ticket. Only events pending together must differ. */
  if (++slot.lastTicket == 0)
    slot.lastTicket = 1;
  event->ticket = slot.lastTicket;
  host::lua_pushvalue(L, SLOT_EVENT_COMMAND);
  host::lua_pushvalue(L, SLOT_SELF);
  host::lua_pushnumber(L, event->ticket);
  host::lua_pushvalue(L, SLOT_CALLBACKS);
  pushKeyCopy(L, record, event->key);
  if (event->deliversText)
    pushKeyCopy(L, record, KEY_CHARACTERDATA);
  /* A script function in the command's place may parse other objects,
     whose events come and go meanwhile: this one is put back after. */
  ScriptEvent *outer = slot.event;
  slot.event = event;
  int status = host::lua_pcall(L, ARG_EVENT_KEY + (event->deliversText ? 1 : 0), 0, 0);
  bool lost = slot.event == event;
  slot.event = outer;
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

/* Looks key up in the callback table; its string (or nil when the step
   has not pushed it) is on top of the stack, and is replaced. Returns true
   with the callback and self pushed, or false with nothing pushed. */
static bool fetchCallback(lua_State *L, ParserRecord *record, int key) {
  if (!(record->step.keys & (1u << key))) {
    host::lua_settop(L, -2);
    host::lua_pushstring(L, callbackKeys[key]);
  }
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

/* The text's key string is on top of the stack. */
static void deliverText(lua_State *L, ParserRecord *record) {
  if (!fetchCallback(L, record, KEY_CHARACTERDATA))
    return;
  host::lua_pushlstring(L, record->step.text->data, record->step.text->length);
  callCallback(L, record, 1, 0);
}

static void pushArg(lua_State *L, const EventArg &arg) {
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
    host::lua_pushvalue(L, ARG_CHILD_SLOT);
    return;
  }
}

/* The event's key string is on top of the stack. */
static void deliverEvent(lua_State *L, ParserRecord *record, ScriptEvent *event) {
  /* A child object is made first, beneath the call, so that the stack keeps
     it until it is closed whatever the script does with it. */
  ParserRecord *child = nullptr;
  if (event->entityParser) {
    child = openChildRecord(L, record);
    host::lua_pushvalue(L, ARG_EVENT_KEY);
  }
  if (!fetchCallback(L, record, event->key)) {
    if (child)
      closeParserRecord(L, child);
    return;
  }
  for (int i = 0; i < event->count; i++)
    pushArg(L, event->args[i]);
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

ScriptEvent *takePendingEvent(lua_State *L) {
  PendingSlot &slot = pending;
  ScriptEvent *event = slot.event;
  /* Anything but a number reads as 0, which no ticket is. */
  if (!event || host::lua_tonumber(L, ARG_TICKET) != event->ticket)
    return nullptr;
  slot.event = nullptr;
  return event;
}

int deliverPendingEvent(lua_State *L, ScriptEvent *event) {
  ParserRecord *record = event->record;
  if (event->deliversText)
    deliverText(L, record); /* the stack is as it came after */
  if (event->key < KEY_COUNT && !record->failed)
    deliverEvent(L, record, event);
  return 0;
}
