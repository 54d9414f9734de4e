/*
 * Opening and closing a serializer: the tags and options of InitSerializer,
 * the role's state, and freeing everything a serializer holds.
 */
#include <string.h>

#include "encodings/encodings.h"
#include "host/services.h"
#include "serializer/context.h"

static const char DEFAULT_ROOT_NAME[] = "root";

/* ---- named options (tag 3) ---- */

typedef void (*OptionSetter)(SerializerOptions *options, const Option *option);

static void setIgnoreWhitespace(SerializerOptions *options, const Option *option) {
  /* The number truncated toward zero is nonzero exactly when |x| >= 1. */
  double x = option->number;
  options->ignoreWhitespace = (x >= 1.0 || x <= -1.0) ? 1 : 0;
}

static void setRootNode(SerializerOptions *options, const Option *option) {
  if (!option->text)
    return;
  size_t length = strlen(option->text);
  if (length > ROOT_NAME_SIZE - 1)
    length = ROOT_NAME_SIZE - 1;
  memcpy(options->rootName, option->text, length);
  options->rootName[length] = 0;
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

static void applyOptions(SerializerOptions *options, const Option *option) {
  for (; option; option = option->next) {
    if (!option->key)
      continue;
    for (const OptionRecord *r = optionTable; r->key; r++)
      if (host::stricmp(option->key, r->key) == 0)
        r->set(options, option);
  }
}

/* ---- tags ---- */

int32_t applySettings(SerializerContext *context, const TagItem *tags) {
  int32_t format = FORMAT_INDEXED;
  SerializerOptions *options = &context->options;
  strcpy(options->rootName, DEFAULT_ROOT_NAME);
  options->ignoreWhitespace = 1;
  options->rawNames = 0;
  for (const TagItem *t = tags; t && t->tag != TAG_DONE; t++) {
    switch (t->tag) {
    case SERTAG_SOURCE_ENCODING:
      context->sourceEncoding = static_cast<int32_t>(t->data);
      break;
    case SERTAG_TARGET_ENCODING:
      context->targetEncoding = static_cast<int32_t>(t->data);
      break;
    case SERTAG_OPTIONS:
      applyOptions(options, reinterpret_cast<const Option *>(t->data));
      break;
    case SERTAG_FORMAT:
      format = static_cast<int32_t>(t->data);
      break;
    case SERTAG_RAW_NAMES:
      options->rawNames = static_cast<int32_t>(t->data & 1);
      break;
    default:
      break;
    }
  }
  return format;
}

static int32_t hostEncoding() {
  int32_t encoding = 0;
  const TagItem query[] = {{HOSTINFO_TAG_ENCODING, reinterpret_cast<uintptr_t>(&encoding)},
                           {TAG_DONE, 0}};
  host::QueryHostInfo(query);
  return encoding;
}

SerializerContext *newContext(void *streamHandle) {
  int32_t encoding = hostEncoding();
  SerializerContext *context = static_cast<SerializerContext *>(
      host::AllocMem(sizeof(SerializerContext), 1, "serializeinfo"));
  if (!context) {
    host::SetErrorArgument(SERIALIZER_NO_MEMORY);
    return nullptr;
  }
  context->sourceEncoding = encoding;
  context->targetEncoding = encoding;
  context->streamHandle = streamHandle;
  return context;
}

/* ---- opening ---- */

bool openWriter(SerializerContext *context, const WriterRoutines *writer, WriteFunc writeFunc) {
  context->writer = writer;
  context->write.writeFunc = writeFunc;
  return writer->open(context) != 0;
}

bool openReader(SerializerContext *context, const ReaderRoutines *reader, ReadFunc readFunc) {
  ReaderState *read = &context->read;
  read->parser = XML_ParserCreate_MM(nullptr, host::expatMemory(), nullptr);
  if (!read->parser)
    return false;
  context->reader = reader;
  read->readFunc = readFunc;
  encodings::installHandler(read->parser, nullptr);
  XML_SetUserData(read->parser, context);
  reader->registerHandlers(read->parser);
  read->parseStatus = XML_STATUS_OK;
  return true;
}

/* ---- closing ---- */

void releaseContext(SerializerContext *context) {
  if (context->reader) {
    XML_ParserFree(context->read.parser);
    context->reader->release(context);
    if (context->read.convertedText)
      host::FreeConvertedString(context->read.convertedText);
  } else if (context->writer && context->writer->release) {
    context->writer->release(context);
  }
  host::FreeMem(context);
}
