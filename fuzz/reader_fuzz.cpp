// The reader under damaged files: the input's first bytes choose the read
// size, the target encoding, raw names and whitespace handling; the rest is
// read with DeserializeItem in each of the three formats until done or
// failure. Items must be well formed (the reading loop checks and touches
// them), and nothing may stay allocated after FreeSerializer.
#include "fuzz/support.h"
#define SERTEST_NO_GTEST
#include "tests/serializer/support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  fuzz::Bytes in = {data, size, 0};
  unsigned options = in.next();
  unsigned chunk = in.next();
  std::string text(reinterpret_cast<const char *>(data) + in.at, size - in.at);

  Option whitespace = {nullptr, "ignorewhitespace", "", static_cast<double>(options >> 3 & 1)};
  Option root = {&whitespace, "RootNode", "r", 0};
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
    auto tags = sertest::tagList(
        {{SERTAG_FORMAT, static_cast<uintptr_t>(format)},
         {SERTAG_TARGET_ENCODING, options & 1 ? ENCODING_ISO_8859_1 : ENCODING_UTF8},
         {SERTAG_RAW_NAMES, options >> 1 & 1},
         {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(options & 4 ? &root : nullptr)}});
    sertest::ReadResult r =
        sertest::readItems(tags, text, chunk ? static_cast<int32_t>(chunk) : 16384, 0);
    if (!r.bad.empty() || (r.opened && r.freed != 1))
      fuzz::fail("reader", r.bad.empty() ? "FreeSerializer did not answer 1" : r.bad.c_str());
    /* Encoding maps are shared until ClosePlugin; none may be left in use. */
    sertest::plugin().ClosePlugin();
    fuzz::requireNoLiveBlocks("reader");
  }
  return 0;
}
