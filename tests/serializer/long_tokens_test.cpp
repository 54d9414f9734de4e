// Long tokens are read in pieces that grow while the token stays open (a
// fixed piece size makes Expat scan the token again for every piece).
#include "tests/serializer/support.h"

namespace {

using namespace sertest;

struct CountingStream : Stream {
  long reads = 0;
};

int32_t countingRead(void *buffer, int32_t size, void *handle) {
  static_cast<CountingStream *>(handle)->reads++;
  return readStream(buffer, size, handle);
}

TEST(LongTokens, PiecesGrowWhileATokenStaysOpen) {
  const std::string big(8 << 20, 'v');
  const std::string documents[] = {"<e a=\"" + big + "\"/>",
                                   "<root><!--" + big + "--><v>1</v></root>"};
  const int formats[] = {FORMAT_NAMED, FORMAT_ITEMS};
  for (int i = 0; i < 2; i++) {
    CountingStream s;
    s.data = documents[i];
    s.chunk = INT32_MAX;
    std::vector<TagItem> tags = tagList({{SERTAG_FORMAT, static_cast<uintptr_t>(formats[i])}});
    void *context = plugin().InitSerializer(countingRead, nullptr, &s, tags.data());
    ItemValue key, value;
    int done = 0;
    while (plugin().DeserializeItem(context, &key, &value, &done) == 1 && !done) {
    }
    EXPECT_EQ(done, 1) << "format " << formats[i];
    EXPECT_EQ(plugin().FreeSerializer(context), 1);
    // 8 MiB in pieces of 16 KiB would take 512 reads.
    EXPECT_LT(s.reads, 40) << "format " << formats[i];
  }
}

} // namespace
