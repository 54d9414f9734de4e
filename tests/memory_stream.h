// A memory stream for the serializer's read and write callbacks, shared by
// the tests: writes append to `data` (the failAt-th write call fails, 1 = the
// first); reads hand out `data` at most `chunk` bytes at a time, stop at
// `end`, or, with readResult set, return that instead.
#ifndef VELLORAN_TESTS_MEMORY_STREAM_H
#define VELLORAN_TESTS_MEMORY_STREAM_H

#include <stdint.h>
#include <string.h>

#include <string>

struct Stream {
  std::string data;
  size_t position = 0;
  size_t end = std::string::npos;
  int32_t chunk = 16384;
  int32_t readResult = 0;
  long writes = 0;
  long failAt = 0;
};

inline int32_t writeStream(const void *buffer, int32_t length, void *handle) {
  Stream *s = static_cast<Stream *>(handle);
  if (++s->writes == s->failAt)
    return length > 0 ? length - 1 : -1;
  s->data.append(static_cast<const char *>(buffer), static_cast<size_t>(length));
  return length;
}

inline int32_t readStream(void *buffer, int32_t size, void *handle) {
  Stream *s = static_cast<Stream *>(handle);
  if (s->readResult)
    return s->readResult;
  size_t limit = s->end < s->data.size() ? s->end : s->data.size();
  size_t n = limit - (s->position < limit ? s->position : limit);
  n = n < static_cast<size_t>(size) ? n : static_cast<size_t>(size);
  n = n < static_cast<size_t>(s->chunk) ? n : static_cast<size_t>(s->chunk);
  memcpy(buffer, s->data.data() + s->position, n);
  s->position += n;
  return static_cast<int32_t>(n);
}

#endif
