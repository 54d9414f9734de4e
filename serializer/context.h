/*
 * What the serializer's files share: the serializer context (its records
 * are in records.h), the process-wide options, escaping and the output
 * helpers.
 */
#ifndef VELLORAN_SERIALIZER_CONTEXT_H
#define VELLORAN_SERIALIZER_CONTEXT_H

#include <stddef.h>
#include <stdint.h>

#include <expat.h>

#include "host/abi.h"
#include "serializer/records.h"

#define SERIALIZER_READ_SIZE 16384          /* least read piece */
#define SERIALIZER_TAG_SIZE 256             /* tag buffers of the item writer */
#define ROOT_NAME_SIZE (SERIALIZER_ROOT_NAME_LIMIT + 1) /* root name with its terminating zero */
#define ROOT_LINE_SIZE (ROOT_NAME_SIZE + 8) /* "</" name ">" and a zero */
#define BASE64_LINE 80                      /* base64 characters per line */
#define REASON_SIZE 256                     /* why reading failed, with its terminator */

struct SerializerOptions {
  int32_t format;
  char rootName[ROOT_NAME_SIZE];
  int32_t ignoreWhitespace;
  int32_t rawNames;
};

struct SerializerContext {
  XML_Parser parser;
  int32_t parseStatus;
  ReadFunc readFunc;
  WriteFunc writeFunc;
  int32_t depth;
  void *streamHandle;
  /* Document writer: the document element, and the element whose table the
     next items belong to (null outside the document element). */
  WriteElement *writeRoot;
  WriteElement *writeOpen;
  /* Item reader: the flat list from the root element; its last record,
     which is the element being read or the one that just ended; and the
     first record that may still have to be handed over (null when none). */
  ItemRecord *itemList;
  ItemRecord *itemLast;
  ItemRecord *itemPending;
  /* Document reader: the top-level records, and the record being read or,
     once the document has been read, the one handed over next. */
  DocumentRecord *documentList;
  DocumentRecord *documentCurrent;
  int32_t sourceEncoding;
  int32_t targetEncoding;
  char *convertedText;
  char *workBuffer;
  int32_t workBufferSize;
  /* The format this serializer was opened with: it decides the layout of
     the records and of the stream, which cannot change half-way. */
  int32_t format;
  /* Reader: a handler failed; later events change nothing. */
  int32_t handlerFailed;
  /* Reader: the input ended and Expat accepted it as a whole document. */
  int32_t inputFinished;
  /* Document writer: the tree is written without indentation and line
     breaks (see writeDocument). */
  int32_t compactTree;
  /* Reader: bytes handed to Expat so far. */
  int64_t bytesRead;
  /* Reader: why reading failed ("" until it did); the first reason met
     stands. */
  char reason[REASON_SIZE];
  /* The options this serializer was opened with. Another serializer may be
     opened while this one is (the host can save a table from inside a
     save), so nothing here reads the process-wide copy after opening. */
  SerializerOptions options;
};

/* One copy for the whole plugin, reset by every InitSerializer, which
   copies it into the new context. */
extern SerializerOptions serializerOptions;

/* ---- escape.cpp ---- */
enum EscapeMode { ESCAPE_TEXT, ESCAPE_ATTRIBUTE };
/* Bytes of text that escapeText replaces. */
size_t countSpecial(const char *text, EscapeMode mode);
/* Copies text with its special characters replaced; returns the end of the
   copy (not terminated). The destination holds strlen + 6 per special. */
char *escapeText(char *destination, const char *text, EscapeMode mode);
/* Escaped size of text (without terminator), or SIZE_MAX when it exceeds
   what one write can carry. */
size_t escapedSize(const char *text, EscapeMode mode);
/* True when every byte is TAB, LF, CR or space (also for no bytes). */
bool isWhitespace(const char *text, size_t length);
/* True when the text begins with a digit, '-' or '.': untyped item text of
   that shape is read as a number, any other as a string. */
bool looksNumeric(const char *text, size_t length);
/* True when length bytes cannot stand as XML character data: a zero byte,
   a control byte other than TAB, LF and CR, or, in UTF-8, a malformed
   sequence or a noncharacter that XML excludes. */
bool isUnfitForXml(const char *text, size_t length, int32_t encoding);
/* True when the zero-terminated text, in the given encoding, is an XML
   element or attribute name that this reader accepts. */
bool isXmlName(const char *name, int32_t encoding);
/* True when the name, in the source encoding, is still an XML name once
   converted to the target encoding. */
bool isWritableName(SerializerContext *context, const char *name);

/* ---- output.cpp ---- */
int writeBytes(SerializerContext *context, const char *bytes, size_t length);
int writeText(SerializerContext *context, const char *text, int indent, int lineBreak);
int writeBase64(SerializerContext *context, const void *data, int32_t length);

/* ---- writer_items.cpp / writer_document.cpp / writer_tree.cpp ---- */
int serializeItemsItem(SerializerContext *context, const ItemValue *key, const ItemValue *value);
int serializeDocumentItem(SerializerContext *context, const ItemValue *key, const ItemValue *value);
/* Writes the collected tree of element records, from writeRoot. */
int writeDocument(SerializerContext *context);
/* A number key as the 32-bit element index it names; false when it names
   none. */
bool indexOfKey(const ItemValue *key, int32_t *index);

/* ---- reasons.cpp ---- */
/* Keeps why reading failed, unless a reason is kept already: the text
   (printf-like), then " at line L, column C" when at is given. */
void keepReason(SerializerContext *context, const TextPosition *at, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
/* Keeps "not enough memory" (unless a reason is kept already). */
void keepNoMemory(SerializerContext *context);
/* Where Expat is now: the start of the event it reports. */
TextPosition expatPosition(XML_Parser parser);
/* Room for a name (or a type value) as a reason shows it. */
#define SHOWN_NAME_SIZE 72
/* The name as reasons show it: cut at a character boundary to fit, "..."
   marking the cut. */
const char *shownName(const char *name, char buffer[SHOWN_NAME_SIZE]);
/* Keeps the reason of a text of the element that could not be converted to
   the target encoding. */
void keepUnconverted(SerializerContext *context, const char *name, const TextPosition *at);
/* Hands the reason to the host (SetErrorArgument), finding it in Expat's
   error when no handler kept one; the open element is the innermost one
   that had begun when the input ended (null: none). */
void reportReason(SerializerContext *context, const char *openName, const TextPosition *openAt);

/* ---- reader*.cpp ---- */
/* Sets the Expat handlers of the context's format. */
void registerReaderHandlers(SerializerContext *context);
void registerItemsHandlers(XML_Parser parser);
void registerDocumentHandlers(XML_Parser parser);
/* Stops the parse with an error (after its reason has been kept); events
   that Expat still reports after this change nothing. */
void failParse(SerializerContext *context);
/* Maps the name in place through the host's MapChar, character by
   character; a character whose mapped form has another length stays. */
void mapName(char *name);
/* Appends length bytes read for an element; on failure stops the parse. */
void appendCharData(SerializerContext *context, CharData *text, const XML_Char *bytes, int length);
/* What building the next item from the records read so far came to: an
   item to hand over, nothing (more input is needed, or the records are
   exhausted), or a failure that ends the reading. */
enum BuildResult { BUILD_ITEM, BUILD_NOTHING, BUILD_FAILED };
BuildResult buildItemsItem(SerializerContext *context, ItemValue *key, ItemValue *value);
BuildResult buildDocumentItem(SerializerContext *context, ItemValue *key, ItemValue *value);
/* Hands text read as UTF-8 over in the target encoding (through
   convertedText); false when the conversion failed. */
bool handOverText(SerializerContext *context, ItemValue *value, char *text, int32_t length);

#endif
