/*
 * Base64 (RFC 4648, standard alphabet, '=' padding). Decoding accepts only
 * the alphabet and correct padding, and never writes more bytes than the
 * capacity that the caller gives in the length cell.
 */
#include "velloran/slots.h"

namespace velloran {

namespace {

const char ALPHABET[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

/* Value of a base64 character, or -1. */
int digitValue(unsigned char c) {
  if (c >= 'A' && c <= 'Z')
    return c - 'A';
  if (c >= 'a' && c <= 'z')
    return c - 'a' + 26;
  if (c >= '0' && c <= '9')
    return c - '0' + 52;
  if (c == '+')
    return 62;
  if (c == '/')
    return 63;
  return -1;
}

} // namespace

int base64Encode(const void *source, int32_t length, char *destination, int32_t *outLength,
                 const TagItem *) {
  if (length < 0 || (length > 0 && !source) || !destination || length / 3 > (INT32_MAX - 4) / 4)
    return 0;
  const unsigned char *in = static_cast<const unsigned char *>(source);
  char *out = destination;
  int32_t i = 0;
  for (; length - i >= 3; i += 3) {
    uint32_t v = in[i] << 16 | in[i + 1] << 8 | in[i + 2];
    *out++ = ALPHABET[v >> 18];
    *out++ = ALPHABET[v >> 12 & 63];
    *out++ = ALPHABET[v >> 6 & 63];
    *out++ = ALPHABET[v & 63];
  }
  if (length - i > 0) {
    uint32_t v = in[i] << 16 | (length - i == 2 ? in[i + 1] << 8 : 0);
    *out++ = ALPHABET[v >> 18];
    *out++ = ALPHABET[v >> 12 & 63];
    *out++ = length - i == 2 ? ALPHABET[v >> 6 & 63] : '=';
    *out++ = '=';
  }
  *out = 0;
  if (outLength)
    *outLength = static_cast<int32_t>(out - destination);
  return 1;
}

int base64Decode(const char *source, int32_t length, void *destination, int32_t *inOutLength,
                 const TagItem *) {
  if (!inOutLength || length < 0 || length % 4 != 0 || (length > 0 && !source))
    return 0;
  const unsigned char *in = reinterpret_cast<const unsigned char *>(source);
  int padding = 0;
  if (length > 0 && in[length - 1] == '=')
    padding = length > 1 && in[length - 2] == '=' ? 2 : 1;
  int32_t size = length / 4 * 3 - padding;
  if (size > *inOutLength || (size > 0 && !destination))
    return 0;
  unsigned char *out = static_cast<unsigned char *>(destination);
  int32_t n = 0;
  for (int32_t i = 0; i < length; i += 4) {
    bool last = i + 4 == length;
    int digits = last ? 4 - padding : 4;
    uint32_t v = 0;
    for (int k = 0; k < 4; k++) {
      int d = k < digits ? digitValue(in[i + k]) : 0;
      if (d < 0)
        return 0; /* outside the alphabet, or '=' before the end */
      v = v << 6 | d;
    }
    for (int k = 0; k < digits - 1; k++)
      out[n++] = static_cast<unsigned char>(v >> (16 - 8 * k));
  }
  *inOutLength = n;
  return 1;
}

} // namespace velloran
