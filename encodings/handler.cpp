/*
 * The unknown-encoding handler that every Expat parser of the plugin gets,
 * and the error text that tells a map that could not be built for want of
 * memory from an encoding that is not known.
 */
#include <string.h>

#include "encodings/cache.h"
#include "encodings/encodings.h"

namespace encodings {

namespace {

void XMLCALL releaseFromParser(void *charMap) {
  releaseMap(static_cast<CharMap *>(charMap));
}

/* Expat asks once per parser, for the encoding that the document declares
   or that was set with XML_SetEncoding. */
int XMLCALL onUnknownEncoding(void *faultCell, const XML_Char *name, XML_Encoding *info) {
  BuildResult result;
  CharMap *m = acquireMap(name, &result);
  if (!m) {
    if (result == BUILD_OUT_OF_MEMORY && faultCell)
      *static_cast<int32_t *>(faultCell) = 1;
    return XML_STATUS_ERROR;
  }
  memcpy(info->map, m->map, sizeof info->map);
  info->data = m;
  info->convert = m->multiByte ? convertSequence : nullptr;
  info->release = releaseFromParser;
  return XML_STATUS_OK;
}

} // namespace

void installHandler(XML_Parser parser, int32_t *faultCell) {
  XML_SetUnknownEncodingHandler(parser, onUnknownEncoding, faultCell);
}

const char *errorText(XML_Parser parser, int32_t fault) {
  XML_Error code = XML_GetErrorCode(parser);
  if (fault && code == XML_ERROR_UNKNOWN_ENCODING)
    code = XML_ERROR_NO_MEMORY;
  return XML_ErrorString(code);
}

} // namespace encodings
