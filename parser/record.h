/*
 * The record behind every parser object, its states, and the operations
 * that create, close and check it.
 */
#ifndef VELLORAN_PARSER_RECORD_H
#define VELLORAN_PARSER_RECORD_H

#include <expat.h>

#include "events/keys.h"
#include "host/abi.h"

#define PARSER_METATABLE "xml.vlp.parser"

/* Where the object is in its life; whether a step failed or is collecting
   text are conditions of their own (failed, collecting). */
enum ParserState {
  PSTATE_NOT_STARTED = 0, /* created; no parse step has run yet */
  PSTATE_PARSING = 1,     /* a parse step has begun */
  PSTATE_FINISHED = 2     /* the final chunk has been parsed */
};

/* Merged character data, collected in host memory until delivered. */
struct CollectedText {
  char *data;
  size_t length;
  size_t capacity;
};

/* What a parse step lends the record whose events it feeds (the stepping
   object's own, or its parent's when a child object parses an external
   entity): set when the step begins and put back as it was when it ends
   (see beginStep). */
struct StepContext {
  lua_State *scriptState; /* state of the Parse call in progress */
  CollectedText *text;    /* lives in the step's frame */
  uint32_t keys;          /* keys whose strings the step pushed (pushCallbackKeys) */
};

struct ParserRecord {
  XML_Parser expatParser;  /* null once closed */
  int32_t callbackRef;     /* registry reference to the callback table, or -1 */
  int32_t parseState;      /* a ParserState */
  int32_t mergeCharData;   /* nonzero: consecutive character data become one call */
  /* Set when an error is kept for the parse step to raise: later callbacks
     of the step are skipped. */
  int32_t failed;
  /* Set while character data are being collected in step.text. */
  int32_t collecting;
  int32_t callbackError;   /* with failed: what the parse step raises (see below) */

  /* The "%s" text of a registered error kept in callbackError, or null when
     callbackError is the status of a failed protected call. Errors found
     inside Expat handlers are kept here and raised once XML_Parse has
     returned, so that no error ever unwinds through Expat. */
  const char *errorArgument;
  /* Nonzero while this record's Expat parser is inside XML_Parse: a parse
     step on the same object from one of its own callbacks is refused. */
  int32_t running;
  /* The running parse step's context; all null outside a step. */
  StepContext step;
  /* Bit n set: the handler of callback key n is registered. */
  uint32_t keyMask;
  /* Stack slot of each registered key's string in a parse step (see
     pushCallbackKeys); fixed with the registered keys at creation. */
  uint8_t keySlot[KEY_COUNT];
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

/* Lends the record to a parse step; returns what to put back with endStep. */
StepContext beginStep(ParserRecord *record, StepContext step);

/* Frees the step's collected text and puts back the context saved. */
void endStep(ParserRecord *record, StepContext saved);

/* Pushes a child object for an external entity met by parent's parse
   (which keeps receiving its events): it shares the parent's callback
   table and has no Expat parser yet. */
ParserRecord *openChildRecord(lua_State *L, const ParserRecord *parent);

/* Gives the child object its Expat parser for the entity; false when Expat
   cannot make one. */
bool openChildParser(ParserRecord *child, XML_Parser parser, const XML_Char *context);

/* Releases the callback table reference and the Expat parser. Harmless on a
   closed record; leaves parseState as it is. */
void closeParserRecord(lua_State *L, ParserRecord *record);

/* Argument 1 as an open, sound parser object. Returns 0 and sets *record,
   or the id of "Expat parser expected!" / "Parser is closed!". */
int checkParserArg(lua_State *L, ParserRecord **record);

/* Keeps a registered error (with its "%s" text) to be raised by the parse
   step once Expat has returned; later callbacks of the step are skipped. */
void deferError(ParserRecord *record, int errorId, const char *argument);

/* Keeps the error value on top of L's stack (left there) as the error of
   a failed protected call, with its status. */
void deferFailedCall(lua_State *L, ParserRecord *record, int status);

/* Keeps the script engine's own memory error, for a failure to allocate
   outside the engine (the text being collected). */
void deferNoMemory(ParserRecord *record);

/* Pushes what the parse step raises for a failed record and
   returns the id to hand to RaiseError: the failed callback's own error
   value with its status, or a registered error (with its "%s" text set). */
int pushDeferredError(lua_State *L, ParserRecord *record);

#endif
