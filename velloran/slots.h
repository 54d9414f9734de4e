/*
 * The host's own service functions, one group per sub-table of the services
 * table. host_services.cpp places them in their slots; nothing else should
 * need them except tests that call a service directly.
 */
#ifndef VELLORAN_SLOTS_H
#define VELLORAN_SLOTS_H

#include "host/abi.h"

namespace velloran {

/* errors.cpp */
int registerError(const char *message);
void setErrorArgument(const char *text);
/* The message of a registered id with "%s" filled by the pending argument
   (which is then cleared); null for an id that was never registered. The
   text stays valid until the next call. */
const char *completeErrorMessage(int id, size_t *length);
/* Forgets the pending argument. */
void clearErrorArgument();
/* The pending argument, or null when none is set; valid until the next
   call that sets, clears or completes it. */
const char *pendingErrorArgument();

/* memory.cpp */
void *allocMem(size_t size, int clear, const char *tag);
void freeMem(void *block);

/* convert.cpp */
char *convertString(const char *text, int fromEncoding, int toEncoding, const TagItem *tags);
void freeConvertedString(char *text);
void queryHostInfo(const TagItem *tags);

/* crt.cpp */
void *hostMalloc(size_t size);
void *hostRealloc(void *block, size_t size);
void hostFree(void *block);
int stricmp(const char *a, const char *b);
void numberToString(char buffer[NUMBER_TEXT_SIZE], double value);

/* codec.cpp */
int base64Encode(const void *source, int32_t length, char *destination, int32_t *outLength,
                 const TagItem *tags);
int base64Decode(const char *source, int32_t length, void *destination, int32_t *inOutLength,
                 const TagItem *tags);

/* unicode.cpp */
uint32_t mapChar(uint32_t codePoint);
int isValidUTF8(const char *text);
uint32_t decodeUTF8Char(const char *text, int32_t *bytePosition);
int32_t encodeUTF8Char(char *buffer, uint32_t codePoint);
/* Decodes one strictly valid character from at most `available` bytes;
   returns its length (1 to 4) or 0 when the bytes there are not valid. */
int decodeUTF8(const unsigned char *text, size_t available, uint32_t *codePoint);

/* script.cpp */
const char *luaToString(lua_State *L, int index);
void luaNewTable(lua_State *L);
[[noreturn]] void raiseError(lua_State *L, int id);
void *checkUdata(lua_State *L, int index, const char *name);
void addLString(luaL_Buffer *buffer, const char *text, size_t length);
int findString(const char *name, const char *const list[]);

} // namespace velloran

#endif
