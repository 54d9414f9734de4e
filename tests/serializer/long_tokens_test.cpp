// Long tokens are read in pieces that grow while the token stays open (a
// fixed piece size makes Expat scan the token again for every piece).
#include "tests/serializer/support.h"

namespace {

using namespace sertest;

TEST(LongTokens, PiecesGrowWhileATokenStaysOpen) {
  const std::string big(8 << 20, 'v');
  const std::pair<int, std::string> documents[] = {
      {FORMAT_NAMED, "<e a=\"" + big + "\"/>"},
      {FORMAT_ITEMS, "<root><!--" + big + "--><v>1</v></root>"}};
  for (const auto &document : documents) {
    Stream s;
    s.data = document.second;
    s.chunk = INT32_MAX;
    ReadResult r = readStreamItems(formatTags(document.first), &s, 0);
    EXPECT_TRUE(r.doneSeen && r.freed == 1) << "format " << document.first;
    // 8 MiB in pieces of 16 KiB would take 512 reads.
    EXPECT_LT(s.reads, 40) << "format " << document.first;
  }
}

} // namespace
