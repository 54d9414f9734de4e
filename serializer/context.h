/*
 * What the serializer's files share: the serializer context with the
 * state of its role (its records are in records.h), the routines of each
 * role and format, escaping and the output helpers.
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

/* The named options and tags a serializer was opened with. Another
   serializer may be opened while this one is (the host can save a table
   from inside a save), so each keeps its own copy. */
struct SerializerOptions {
  char rootName[ROOT_NAME_SIZE];
  int32_t ignoreWhitespace;
  int32_t rawNames;
};

struct WriterRoutines;
struct ReaderRoutines;

/* The document formats' writer: the tree collected from the items
   (writer_document.cpp) and written when the top-level table ends
   (writer_tree.cpp). */
struct TreeWriter {
  /* The document element, and the element whose table the next items
     belong to (null outside the document element). */
  WriteElement *root;
  WriteElement *open;
  /* The tree is written without indentation and line breaks (see
     writeDocument). */
  int32_t compact;
  char *workBuffer;
  int32_t workBufferSize;
};

struct WriterState {
  WriteFunc writeFunc;
  /* Tables open (items), or the level of the element being written. */
  int32_t depth;
  TreeWriter tree;
};

/* The item format's reader: the flat list from the root element; its last
   record, which is the element being read or the one that just ended; and
   the first record that may still have to be handed over (null when
   none). */
struct ItemReader {
  ItemRecord *list;
  ItemRecord *last;
  ItemRecord *pending;
};

/* The document formats' reader: the top-level records, and the record
   being read or, once the document has been read, the one handed over
   next. */
struct DocumentReader {
  DocumentRecord *list;
  DocumentRecord *current;
};

struct ReaderState {
  ReadFunc readFunc;
  XML_Parser parser;
  int32_t parseStatus;
  /* A handler failed; later events change nothing. */
  int32_t handlerFailed;
  /* The input ended and Expat accepted it as a whole document. */
  int32_t inputFinished;
  /* Bytes handed to Expat so far. */
  int64_t bytesRead;
  /* The last text handed over after conversion (freed with the next). */
  char *convertedText;
  /* Why reading failed ("" until it did); the first reason met stands. */
  char reason[REASON_SIZE];
  /* Only the reader of the context's format is used. */
  union {
    ItemReader items;
    DocumentReader document;
  };
};

/* A serializer is a writer or a reader, of one format, from its opening to
   its end: the routines of that role and format are chosen once, and only
   the state of that role is used. */
struct SerializerContext {
  const WriterRoutines *writer; /* null in a reader */
  const ReaderRoutines *reader; /* null in a writer */
  void *streamHandle;
  int32_t sourceEncoding;
  int32_t targetEncoding;
  SerializerOptions options;
  union {
    WriterState write;
    ReaderState read;
  };
};

/* What writing does in each format. */
struct WriterRoutines {
  /* Writes the beginning of the document (after checking what it needs);
     0 when the serializer cannot be opened. */
  int (*open)(SerializerContext *context);
  int (*item)(SerializerContext *context, const ItemValue *key, const ItemValue *value);
  /* Writes the end of the document (null: nothing to write). */
  int (*close)(SerializerContext *context);
  /* Frees what the format holds (null: nothing). */
  void (*release)(SerializerContext *context);
};

/* What building the next item from the records read so far came to: an
   item to hand over, nothing (more input is needed, or the records are
   exhausted), or a failure that ends the reading. */
enum NextItem { NEXT_ITEM, NEXT_NOTHING, NEXT_FAILED };

/* What reading does in each format; see readItem (reader.cpp) for the order
   in which they are called. */
struct ReaderRoutines {
  void (*registerHandlers)(XML_Parser parser);
  NextItem (*next)(SerializerContext *context, ItemValue *key, ItemValue *value);
  /* The records built nothing more: what has been handed over may go
     (null: nothing to do). */
  void (*consumed)(SerializerContext *context);
  /* Expat has stopped; false when the format cannot go on from where it
     stopped (null: it always can). */
  bool (*parsed)(SerializerContext *context);
  /* Nothing more to hand over: reads what may still follow; false when
     that fails (null: nothing follows). */
  bool (*finish)(SerializerContext *context);
  /* The innermost element that has begun and not ended (null: none). */
  void (*openElement)(SerializerContext *context, const char **name, const TextPosition **at);
  void (*release)(SerializerContext *context);
};

extern const WriterRoutines itemsWriter, namedWriter, indexedWriter;
extern const ReaderRoutines itemsReader, namedReader, indexedReader;

/* ---- context.cpp ---- */
/* A new context in the host's encoding (null, the reason given to the
   host, when there is no memory for it). */
SerializerContext *newContext(void *streamHandle);
/* Takes the encodings and options from the tags into the context; returns
   the format asked for. */
int32_t applySettings(SerializerContext *context, const TagItem *tags);
/* Opens the context as a writer (the declaration and the format's
   beginning written) or as a reader (its Expat parser made); false when it
   cannot be opened. */
bool openWriter(SerializerContext *context, const WriterRoutines *writer, WriteFunc writeFunc);
bool openReader(SerializerContext *context, const ReaderRoutines *reader, ReadFunc readFunc);
/* Frees the context and what it holds; nothing is written. */
void releaseContext(SerializerContext *context);

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
/* Writes one line without indentation, format holding one "%s" for
   argument: the declaration or a root tag. */
int writeLine(SerializerContext *context, const char *format, const char *argument);
/* The declaration, which every format begins with. */
int writeDeclaration(SerializerContext *context);

/* ---- writer_items.cpp / writer_document.cpp / writer_tree.cpp ---- */
/* Writes the collected tree of element records, from its root. */
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
/* DeserializeItem: the next item, or *done at the end; 0 on failure. */
int readItem(SerializerContext *context, ItemValue *key, ItemValue *value, int *done);
/* Parses until an end tag suspends Expat (item format), the input ends or
   an error stops it. */
void parseInput(SerializerContext *context);
/* Stops the parse with an error (after its reason has been kept); events
   that Expat still reports after this change nothing. */
void failParse(SerializerContext *context);
/* The context of a handler's userData; null once a handler has failed. */
inline SerializerContext *liveContext(void *userData) {
  SerializerContext *context = static_cast<SerializerContext *>(userData);
  return context->read.handlerFailed ? nullptr : context;
}
/* Maps the name in place through the host's MapChar, character by
   character; a character whose mapped form has another length stays. */
void mapName(char *name);
/* Appends length bytes read for an element; on failure stops the parse. */
void appendCharData(SerializerContext *context, CharData *text, const XML_Char *bytes, int length);
/* Hands text read as UTF-8 over in the target encoding (through
   convertedText); false when the conversion failed. */
bool handOverText(SerializerContext *context, ItemValue *value, char *text, int32_t length);

#endif
