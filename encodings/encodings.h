/*
 * Encodings that Expat does not know by itself, read through the C
 * library's iconv: an unknown-encoding handler for every Expat parser the
 * plugin creates.
 *
 * Single-byte encodings get a 256-entry map; multi-byte encodings whose
 * sequence length follows from the first byte (Shift_JIS, EUC-JP, EUC-KR,
 * Big5, GBK, ...) also get tables for their sequences. Maps are built on
 * first use, once per encoding name, and shared by every parser.
 * Encodings that Expat's model cannot take (stateful ones such as
 * ISO-2022-JP and UTF-7, or GB18030, whose lengths depend on more than the
 * first byte) are refused, so the parse ends with "unknown encoding".
 */
#ifndef VELLORAN_ENCODINGS_ENCODINGS_H
#define VELLORAN_ENCODINGS_ENCODINGS_H

#include <stdint.h>

#include <expat.h>

namespace encodings {

/* Installs the handler on the parser. When building a map runs out of
   memory, the handler sets *faultCell (if not null) to 1 and the parse ends
   with Expat's "unknown encoding"; errorText then tells "out of memory". */
void installHandler(XML_Parser parser, int32_t *faultCell);

/* Expat's message for the parser's error, or "out of memory" when the
   handler ran out of memory (fault is the parser's fault cell). Null when
   there is no error. */
const char *errorText(XML_Parser parser, int32_t fault);

/* Drops the shared maps (at ClosePlugin). A map that a parser still uses
   lives on until that parser is freed. Later parses build maps anew. */
void releaseMaps();

} // namespace encodings

#endif
