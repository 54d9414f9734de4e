/*
 * The stand-in host's services table: what the plugin receives in InitPlugin,
 * plus the controls that tests and the command line use to watch and steer
 * it (memory accounting, fault injection, the host's text encoding).
 *
 * All of it is process-wide: the service signatures carry no host context.
 */
#ifndef VELLORAN_SERVICES_H
#define VELLORAN_SERVICES_H

#include <stddef.h>

#include <map>
#include <string>

#include "host/abi.h"

namespace velloran {

/* The full services table handed to InitPlugin. */
const HostServices *hostServices();

/* Live AllocMem memory: bytes and blocks, the peak of live bytes, and the
   live bytes of every tag that has live blocks. */
struct MemoryStats {
  size_t bytes;
  size_t blocks;
  size_t peak;
  std::map<std::string, size_t> tags;
};
MemoryStats memoryStats();

/* Calls visit for every tag with live blocks, in name order, without
   copying anything (so the visitor may raise a script error). */
void visitMemoryTags(void (*visit)(void *context, const char *tag, size_t bytes), void *context);

/* Restarts the peak from the current live bytes. */
void resetMemoryPeak();

/* Fault injection: the n-th call from now fails (1 = the next one), once;
   0 disarms. AllocMem counts AllocMem calls; malloc counts the C library
   malloc and realloc slots (the allocator that Expat uses). */
void failAllocMemAfter(long n);
void failMallocAfter(long n);

/* The encoding QueryHostInfo reports (ENCODING_UTF8 unless set). */
void setHostEncoding(int id);
int hostEncoding();
/* The piece size QueryHostInfo reports for parser objects (0: the
   plugin's default); tests lower it. */
void setParsePiece(int32_t bytes);

} // namespace velloran

#endif
