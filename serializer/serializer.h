/*
 * The serializer entry points through which the host saves and loads its
 * tables as XML.
 */
#ifndef VELLORAN_SERIALIZER_SERIALIZER_H
#define VELLORAN_SERIALIZER_SERIALIZER_H

#include "host/abi.h"

extern "C" {
void *InitSerializer(ReadFunc readFunc, WriteFunc writeFunc, void *streamHandle,
                     const TagItem *tags);
int FreeSerializer(void *context);
int SerializeItem(void *context, const ItemValue *key, const ItemValue *value);
int DeserializeItem(void *context, ItemValue *key, ItemValue *value, int *done);
}

#endif
