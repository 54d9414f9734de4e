/*
 * The serializer's entry points. InitSerializer chooses, once, the role
 * (a writer when writeFunc is given, else a reader) and the routines of
 * that role for the format; the other entry points go through them.
 */
#include "host/services.h"
#include "serializer/context.h"
#include "serializer/serializer.h"

struct FormatRecord {
  int32_t format;
  const WriterRoutines *writer;
  const ReaderRoutines *reader;
};

static const FormatRecord formatTable[] = {
    {FORMAT_ITEMS, &itemsWriter, &itemsReader},
    {FORMAT_NAMED, &namedWriter, &namedReader},
    {FORMAT_INDEXED, &indexedWriter, &indexedReader},
    {0, nullptr, nullptr},
};

static const FormatRecord *findFormat(int32_t format) {
  for (const FormatRecord *f = formatTable; f->writer; f++)
    if (f->format == format)
      return f;
  return nullptr;
}

extern "C" void *InitSerializer(ReadFunc readFunc, WriteFunc writeFunc, void *streamHandle,
                                const TagItem *tags) {
  SerializerContext *context = newContext(streamHandle);
  if (!context)
    return nullptr;
  const FormatRecord *format = findFormat(applySettings(context, tags));
  /* A reading serializer needs its readFunc. */
  if (!format || (!readFunc && !writeFunc)) {
    host::FreeMem(context);
    return nullptr;
  }
  if (writeFunc ? !openWriter(context, format->writer, writeFunc)
                : !openReader(context, format->reader, readFunc)) {
    host::FreeMem(context);
    /* A reader fails to open only for want of memory. */
    if (!writeFunc)
      host::SetErrorArgument(SERIALIZER_NO_MEMORY);
    return nullptr;
  }
  return context;
}

extern "C" int FreeSerializer(void *handle) {
  SerializerContext *context = static_cast<SerializerContext *>(handle);
  if (!context)
    return 0;
  const WriterRoutines *writer = context->writer;
  int result = writer && writer->close ? writer->close(context) : 1;
  releaseContext(context);
  return result;
}

extern "C" int SerializeItem(void *handle, const ItemValue *key, const ItemValue *value) {
  SerializerContext *context = static_cast<SerializerContext *>(handle);
  if (!context || !context->writer || !key || !value)
    return 0;
  return context->writer->item(context, key, value);
}

extern "C" int DeserializeItem(void *handle, ItemValue *key, ItemValue *value, int *done) {
  SerializerContext *context = static_cast<SerializerContext *>(handle);
  if (!context || !context->reader || !key || !value || !done)
    return 0;
  return readItem(context, key, value, done);
}
