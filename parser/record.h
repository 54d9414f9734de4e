/*
 * The record behind every parser object, its states, and the operations
 * that create, close and check it.
 */
#ifndef VELLORAN_PARSER_RECORD_H
#define VELLORAN_PARSER_RECORD_H

#include <expat.h>

#include "events/handlers.h"
#include "host/abi.h"

#define PARSER_METATABLE "xml.vlp.parser"

enum ParserState {
  PSTATE_NOT_STARTED = 0, /* created; no parse step has run yet */
  PSTATE_PARSING = 1,     /* a parse step has begun; no merged text pending */
  PSTATE_FINISHED = 2,    /* the final chunk has been parsed */
  PSTATE_ERROR = 3,       /* a callback failed: later callbacks are skipped */
  PSTATE_COLLECTING = 4   /* character data are being collected in charBuffer */
};

struct ParserRecord {
  lua_State *scriptState;  /* state of the Parse call in progress */
  XML_Parser expatParser;  /* null once closed */
  int32_t callbackRef;     /* registry reference to the callback table, or -1 */
  int32_t parseState;      /* a ParserState */
  luaL_Buffer *charBuffer; /* merged text; lives in the running parse step's frame */
  int32_t mergeCharData;   /* nonzero: consecutive character data become one call */
  int32_t callbackError;   /* in PSTATE_ERROR: what the parse step raises (see below) */

  /* The "%s" text of a registered error kept in callbackError, or null when
     callbackError is the status of a failed protected call. Errors found
     inside Expat handlers are kept here and raised once XML_Parse has
     returned, so that no error ever unwinds through Expat. */
  const char *errorArgument;
  /* Nonzero while this record's Expat parser is inside XML_Parse: a parse
     step on the same object from one of its own callbacks is refused. */
  int32_t running;
  /* Script callbacks now running inside this record's parse step. While a
     step runs, its handlers sit between callbacks only when an error of the
     script engine itself (not of a callback) has unwound the step through
     Expat: see isBroken. */
  int32_t callbackDepth;
  /* The record whose parse step feeds this record's events now: itself, or
     a child object parsing an external entity. Set by the parse step. */
  struct ParserRecord *stepRecord;
  /* Bit n set: the handler of callback key n is registered. */
  uint32_t keyMask;
  /* Stack slot of each registered key's string in a parse step (see
     pushCallbackKeys); fixed with the registered keys at creation. */
  uint8_t keySlot[KEY_COUNT];
  /* Keys whose strings the running parse step pushed (see
     pushCallbackKeys); 0 outside a parse step. */
  uint32_t stepKeys;
  /* Set when the unknown-encoding handler ran out of memory (see
     encodings::errorText). */
  int32_t encodingFault;
  /* Registry reference of the slot that keeps the error value of a failed
     callback until the parse step raises it (LUA_NOREF for child objects,
     whose events go to their parent's record), and whether the slot holds
     one now (a nil error value is not stored). Each record has its own
     slot, so no other parser's failure caught in between can replace it. */
  int32_t errorRef;
  int32_t errorKept;
  /* Most bytes of a script's text handed to Expat per call (see feedExpat
     in parser/feed.cpp), and the bytes handed to it so far. */
  int32_t pieceSize;
  int64_t bytesFed;
  /* Text kept back from Expat while it holds a long token open (see
     parser/feed.cpp): host memory of pendingCapacity bytes, or null. */
  char *pending;
  size_t pendingLength;
  size_t pendingCapacity;
};

/* Pushes a new parser object (userdata with the parser metatable) and
   returns its record: no Expat parser, no callback table, not started. */
ParserRecord *createParserRecord(lua_State *L);

/* Releases the callback table reference and the Expat parser. Harmless on a
   closed record; leaves parseState as it is. */
void closeParserRecord(lua_State *L, ParserRecord *record);

/* True when a parse step of this record was broken off: an error raised by
   the script engine inside an Expat handler (outside the protected call of
   a callback) unwound XML_Parse. Expat's state is then no longer sound, so
   only Free (which then closes without parsing) and __gc accept the
   object. Inside its own callbacks a running record is not broken. */
bool isBroken(const ParserRecord *record);

/* Argument 1 as an open, sound parser object. Returns 0 and sets *record,
   or the id of "Expat parser expected!" / "Parser is closed!" / "Invalid
   parser state!" (a broken parse step). */
int checkParserArg(lua_State *L, ParserRecord **record);

/* Keeps a registered error (with its "%s" text) to be raised by the parse
   step once Expat has returned; later callbacks of the step are skipped. */
void deferError(ParserRecord *record, int errorId, const char *argument);

/* Keeps the error value on top of the record's script stack (left there)
   as the error of a failed callback, with the protected call's status. */
void deferFailedCall(ParserRecord *record, int status);

/* Pushes what the parse step raises for a record in PSTATE_ERROR and
   returns the id to hand to RaiseError: the failed callback's own error
   value with its status, or a registered error (with its "%s" text set). */
int pushDeferredError(lua_State *L, ParserRecord *record);

#endif
