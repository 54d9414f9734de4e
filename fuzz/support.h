// What every fuzz target shares: one stand-in host with the plugin bound,
// and checks that stop the run (abort, so libFuzzer keeps the input) when
// the plugin misbehaves without crashing.
#ifndef VELLORAN_FUZZ_SUPPORT_H
#define VELLORAN_FUZZ_SUPPORT_H

#include <stddef.h>
#include <stdint.h>

#include "velloran/host.h"

namespace fuzz {

/* The host, created on first use; aborts when the plugin does not load. */
velloran::Host &host();

/* Runs a chunk in the host; aborts with its message when it fails. */
void run(const char *chunk);

/* Aborts with a message naming the target and the fault. */
[[noreturn]] void fail(const char *what, const char *detail);

/* Aborts when any AllocMem block is still live (listing the tags). */
void requireNoLiveBlocks(const char *where);

/* Reads the input as a stream of small numbers: byte by byte, and 0 once
   the input is used up. */
struct Bytes {
  const uint8_t *data;
  size_t size;
  size_t at;
  unsigned next() {
    return at < size ? data[at++] : 0;
  }
  bool empty() const {
    return at >= size;
  }
};

} // namespace fuzz

#endif
