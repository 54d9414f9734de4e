/*
 * The text encodings the host knows (convert.cpp converts between them),
 * by the names that scripts give them.
 */
#ifndef VELLORAN_ENCODINGS_H
#define VELLORAN_ENCODINGS_H

namespace velloran {

/* Indexed by the ENCODING_ ids of the host interface; null-ended. */
extern const char *const hostEncodingNames[];

} // namespace velloran

#endif
