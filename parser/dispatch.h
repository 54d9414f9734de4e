/*
 * Dispatch of Expat events to script callbacks, used by every event
 * handler.
 *
 * No error of the script engine may unwind through Expat, and looking a
 * callback up (the table may have an __index), pushing strings and tables
 * and making a child object can all raise. So a handler does no script
 * work itself: it describes its event on its own stack and hands it over,
 *
 *     ScriptEvent event = {KEY_COMMENT, 1, {stringArg(text)}};
 *     dispatchEvent(userData, &event);
 *
 * and the whole delivery (the merged text before it, the lookup, the
 * arguments, the callback) runs inside one protected call of the parser
 * object's event command. An error anywhere in it is kept like a failed
 * callback's and raised by the parse step once Expat has returned.
 */
#ifndef VELLORAN_PARSER_DISPATCH_H
#define VELLORAN_PARSER_DISPATCH_H

#include "events/keys.h"
#include "parser/record.h"

/* Stack slots of a parse step: 1 the parser object (self), 2 the text or
   nil, 3 the callback table, 4 the parser metatable, 5 the event command
   taken from it, then the key strings (see pushCallbackKeys). */
enum { SLOT_SELF = 1, SLOT_CALLBACKS = 3, SLOT_EVENT_COMMAND = 5, SLOT_FIRST_KEY = 6 };

enum EventArgKind {
  ARG_STRING, /* a C string, nil for null */
  ARG_TEXT,   /* counted bytes, nil for null */
  ARG_NUMBER,
  ARG_PUSHED, /* whatever push(L, data) pushes: one value */
  ARG_CHILD   /* the child object of an external entity (see ScriptEvent) */
};

/* One argument of a callback, as the handler got it from Expat. */
struct EventArg {
  int32_t kind; /* an EventArgKind */
  const void *data;
  union {
    size_t length;      /* ARG_TEXT */
    lua_Number number;  /* ARG_NUMBER */
    void (*push)(lua_State *L, const void *data); /* ARG_PUSHED */
  };
};

inline EventArg stringArg(const XML_Char *text) {
  EventArg arg;
  arg.kind = ARG_STRING;
  arg.data = text;
  arg.length = 0;
  return arg;
}
inline EventArg textArg(const XML_Char *text, int length) {
  EventArg arg;
  arg.kind = ARG_TEXT;
  arg.data = text;
  arg.length = static_cast<size_t>(length);
  return arg;
}
inline EventArg numberArg(lua_Number number) {
  EventArg arg;
  arg.kind = ARG_NUMBER;
  arg.data = nullptr;
  arg.number = number;
  return arg;
}
inline EventArg pushedArg(void (*push)(lua_State *L, const void *data), const void *data) {
  EventArg arg;
  arg.kind = ARG_PUSHED;
  arg.data = data;
  arg.push = push;
  return arg;
}
inline EventArg childArg() {
  EventArg arg;
  arg.kind = ARG_CHILD;
  arg.data = nullptr;
  arg.length = 0;
  return arg;
}

enum { EVENT_MAX_ARGS = 7 };

/* An event on its way to the callback of its key. */
struct ScriptEvent {
  int32_t key; /* a CallbackKey, or KEY_COUNT: no event, only the merged text */
  int32_t count;
  EventArg args[EVENT_MAX_ARGS];
  /* Nonzero: the callback's result, as Expat's integer, becomes result.
     Else result is what the handler set, returned as it is. A failure to
     deliver the event sets it to 0, which ends the parse. */
  int32_t wantsResult = 0;
  int32_t result = 0;
  /* For an ARG_CHILD argument: Expat's parser and context of the
     reference, from which the child's Expat parser is made. */
  XML_Parser entityParser = nullptr;
  const XML_Char *entityContext = nullptr;
  /* Set by dispatchEvent. */
  ParserRecord *record = nullptr; /* the record that receives the events */
  int32_t deliversText = 0;       /* the merged text goes first */
  lua_Number ticket = 0;          /* passed to the event command with it */
};

/* Delivers the event (after any merged text) and returns its result. A
   lookup finds nothing to call for nil, 0 and "0"; a value that is not a
   function defers "XML callback \"%s\" is not a function!". The table is
   read anew at every event, so a callback that the script changes during
   parsing takes effect at the next event. Nothing is delivered once an
   error is kept. */
int dispatchEvent(void *userData, ScriptEvent *event);

/* Adds character data to the text that is merged into one call, delivered
   before the next event or at the end of the step. */
void collectText(void *userData, const XML_Char *text, int length);

/* Delivers the merged text, if any. */
void flushText(ParserRecord *record);

/* The event that dispatchEvent hands to this call of the event command,
   taken (once), or null when the command was called otherwise: by the
   collector, or by a script (which does not have the event's ticket). */
ScriptEvent *takePendingEvent(lua_State *L);

/* The event command's work, inside its protected call: delivers the event
   with the arguments that dispatchEvent passed. Returns 0 (no results). */
int deliverPendingEvent(lua_State *L, ScriptEvent *event);

/* Keeps the set of keys whose handlers are registered and the stack slot
   that each one's string takes in a parse step. */
void setCallbackKeys(ParserRecord *record, uint32_t keys);

/* Pushes, from SLOT_FIRST_KEY on and in key order, the key strings of the
   record's registered handlers, so that looking a key up costs no string
   hashing. Returns the set of keys pushed (0 when the stack cannot grow:
   lookups then push their key themselves). */
uint32_t pushCallbackKeys(lua_State *L, const ParserRecord *record);

/* Pops the value on top of the script stack and returns it as Expat's
   integer: truncated toward zero, saturated to the 32-bit range, 0 for
   anything that is not a number. */
int popIntegerResult(lua_State *L);

#endif
