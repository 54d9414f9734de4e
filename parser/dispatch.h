/*
 * Dispatch of Expat events to script callbacks, used by every event
 * handler. During a parse step the script stack of the running Parse call
 * holds: 1 the parser object (self), 2 the text or nil, 3 the callback table.
 *
 * A handler follows one pattern:
 *
 *     ParserRecord *record = static_cast<ParserRecord *>(userData);
 *     if (!fetchCallback(record, "comment"))
 *       return;
 *     host::lua_pushstring(record->scriptState, data);
 *     callCallback(record, 1, 0);
 */
#ifndef VELLORAN_PARSER_DISPATCH_H
#define VELLORAN_PARSER_DISPATCH_H

#include "events/handlers.h"
#include "parser/record.h"

/* Stack slot of the first key string that a parse step pushes. */
enum { SLOT_FIRST_KEY = 4 };

/* Delivers pending merged text, then looks up key in the callback table.
   Returns 1 with the callback and self pushed, or 0 with nothing pushed
   (no callback, a callback switched off with 0, or PSTATE_ERROR). A value
   that is not a function defers "XML callback \"%s\" is not a function!".
   The table is read anew at every event, so a callback that the script
   changes during parsing takes effect at the next event. */
int fetchCallback(ParserRecord *record, CallbackKey key);

/* Keeps the set of keys whose handlers are registered and the stack slot
   that each one's string takes in a parse step. */
void setCallbackKeys(ParserRecord *record, uint32_t keys);

/* Pushes, from SLOT_FIRST_KEY on and in key order, the key strings of the
   record's registered handlers, so that looking a key up costs no string
   hashing. Returns the set of keys pushed (0 when the stack cannot grow:
   lookups then push their key themselves). */
uint32_t pushCallbackKeys(lua_State *L, const ParserRecord *record);

/* Delivers the text collected in charBuffer (record in PSTATE_COLLECTING). */
void flushCharData(ParserRecord *record);

/* The call step: calls the fetched callback with self and the nargs event
   arguments pushed after it, in protected mode. A failure is kept in the
   record (PSTATE_ERROR). Returns the protected call's status. */
int callCallback(ParserRecord *record, int nargs, int nresults);

#endif
