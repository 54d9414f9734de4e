/*
 * Opening and closing a serializer: the tags and options of InitSerializer,
 * the process-wide options, the declaration and root lines, and freeing
 * everything a serializer holds.
 */
#include <string.h>

#include "encodings/encodings.h"
#include "host/services.h"
#include "serializer/context.h"
#include "serializer/serializer.h"

SerializerOptions serializerOptions;

static const char DEFAULT_ROOT_NAME[] = "root";

static void resetOptions() {
  serializerOptions.format = FORMAT_INDEXED;
  strcpy(serializerOptions.rootName, DEFAULT_ROOT_NAME);
  serializerOptions.ignoreWhitespace = 1;
  serializerOptions.rawNames = 0;
}

/* ---- named options (tag 3) ---- */

typedef void (*OptionSetter)(const Option *option);

static void setIgnoreWhitespace(const Option *option) {
  /* The number truncated toward zero is nonzero exactly when |x| >= 1. */
  double x = option->number;
  serializerOptions.ignoreWhitespace = (x >= 1.0 || x <= -1.0) ? 1 : 0;
}

static void setRootNode(const Option *option) {
  if (!option->text)
    return;
  size_t length = strlen(option->text);
  if (length > ROOT_NAME_SIZE - 1)
    length = ROOT_NAME_SIZE - 1;
  memcpy(serializerOptions.rootName, option->text, length);
  serializerOptions.rootName[length] = 0;
}

struct OptionRecord {
  const char *key;
  OptionSetter set;
};

static const OptionRecord optionTable[] = {
    {"ignorewhitespace", setIgnoreWhitespace},
    {"rootnode", setRootNode},
    {nullptr, nullptr},
};

static void applyOptions(const Option *option) {
  for (; option; option = option->next) {
    if (!option->key)
      continue;
    for (const OptionRecord *r = optionTable; r->key; r++)
      if (host::stricmp(option->key, r->key) == 0)
        r->set(option);
  }
}

/* ---- tags ---- */

static void applyTags(SerializerContext *context, const TagItem *tags) {
  for (const TagItem *t = tags; t && t->tag != TAG_DONE; t++) {
    switch (t->tag) {
    case SERTAG_SOURCE_ENCODING:
      context->sourceEncoding = static_cast<int32_t>(t->data);
      break;
    case SERTAG_TARGET_ENCODING:
      context->targetEncoding = static_cast<int32_t>(t->data);
      break;
    case SERTAG_OPTIONS:
      applyOptions(reinterpret_cast<const Option *>(t->data));
      break;
    case SERTAG_FORMAT:
      serializerOptions.format = static_cast<int32_t>(t->data);
      break;
    case SERTAG_RAW_NAMES:
      serializerOptions.rawNames = static_cast<int32_t>(t->data & 1);
      break;
    default:
      break;
    }
  }
}

static int32_t hostEncoding() {
  int32_t encoding = 0;
  const TagItem query[] = {{HOSTINFO_TAG_ENCODING, reinterpret_cast<uintptr_t>(&encoding)},
                           {TAG_DONE, 0}};
  host::QueryHostInfo(query);
  return encoding;
}

/* Writes one line without indentation: the declaration or a root tag. */
static int writeLine(SerializerContext *context, const char *format, const char *argument) {
  char line[ROOT_LINE_SIZE];
  host::snprintf(line, sizeof line, format, argument);
  return writeText(context, line, 0, 1);
}

static const char *declaredEncoding(int32_t encoding) {
  return encoding == ENCODING_UTF8 ? "utf-8" : "iso-8859-1";
}

/* Frees the context and what it holds; nothing is written. */
static void releaseContext(SerializerContext *context) {
  if (context->parser)
    XML_ParserFree(context->parser);
  freeWriteTree(context->writeRoot);
  freeItemRecords(context->itemList);
  freeDocumentTree(context->documentList);
  if (context->convertedText)
    host::FreeConvertedString(context->convertedText);
  if (context->workBuffer)
    host::FreeMem(context->workBuffer);
  host::FreeMem(context);
}

static bool isKnownFormat(int32_t format) {
  return format == FORMAT_ITEMS || format == FORMAT_NAMED || format == FORMAT_INDEXED;
}

extern "C" void *InitSerializer(ReadFunc readFunc, WriteFunc writeFunc, void *streamHandle,
                                const TagItem *tags) {
  int32_t encoding = hostEncoding();
  SerializerContext *context = static_cast<SerializerContext *>(
      host::AllocMem(sizeof(SerializerContext), 1, "serializeinfo"));
  if (!context) {
    host::SetErrorArgument(SERIALIZER_NO_MEMORY);
    return nullptr;
  }
  context->sourceEncoding = encoding;
  context->targetEncoding = encoding;
  resetOptions();
  applyTags(context, tags);
  context->options = serializerOptions;
  context->format = context->options.format;
  context->readFunc = readFunc;
  context->writeFunc = writeFunc;
  context->streamHandle = streamHandle;
  /* A reading serializer needs its readFunc. */
  if (!isKnownFormat(context->format) || (!readFunc && !writeFunc)) {
    host::FreeMem(context);
    return nullptr;
  }

  if (!writeFunc) {
    context->parser = XML_ParserCreate_MM(nullptr, host::expatMemory(), nullptr);
    if (!context->parser) {
      host::FreeMem(context);
      host::SetErrorArgument(SERIALIZER_NO_MEMORY);
      return nullptr;
    }
    encodings::installHandler(context->parser, nullptr);
    registerReaderHandlers(context);
    context->parseStatus = XML_STATUS_OK;
    return context;
  }

  /* A root name that is no XML name would write a document that no reader
     accepts. */
  if (context->format == FORMAT_ITEMS && !isWritableName(context, context->options.rootName)) {
    host::FreeMem(context);
    return nullptr;
  }
  if (!writeLine(context, "<?xml version=\"1.0\" encoding=\"%s\"?>",
                 declaredEncoding(context->targetEncoding)) ||
      (context->format == FORMAT_ITEMS &&
       !writeLine(context, "<%s>", context->options.rootName))) {
    host::FreeMem(context);
    return nullptr;
  }
  return context;
}

extern "C" int FreeSerializer(void *handle) {
  SerializerContext *context = static_cast<SerializerContext *>(handle);
  if (!context)
    return 0;
  int result = 1;
  if (context->writeFunc && context->format == FORMAT_ITEMS &&
      !writeLine(context, "</%s>", context->options.rootName))
    result = 0;
  releaseContext(context);
  return result;
}
