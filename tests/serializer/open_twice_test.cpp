// Each open serializer keeps the options it was opened with, whatever
// another serializer opened meanwhile uses.
#include "tests/serializer/support.h"

namespace {

using namespace sertest;

TEST(OpenTwice, EachSerializerKeepsItsOwnOptions) {
  const Option rootA = {nullptr, "rootnode", "a", 0}, rootB = {nullptr, "rootnode", "b", 0};
  auto tagsA = formatTags(FORMAT_ITEMS, &rootA);
  tagsA.insert(tagsA.begin(), {SERTAG_RAW_NAMES, 1});
  Stream written, read;
  read.data = "<a><Key>1</Key></a>";
  void *writer = plugin().InitSerializer(nullptr, writeStream, &written, tagsA.data());
  void *reader = plugin().InitSerializer(readStream, nullptr, &read, tagsA.data());
  ASSERT_TRUE(writer && reader);
  // Another serializer, with options of its own, opened and freed meanwhile.
  EXPECT_TRUE(writeItems(formatTags(FORMAT_ITEMS, &rootB), {}).allAccepted());
  ItemValue key, value;
  int done = 0;
  ASSERT_EQ(plugin().DeserializeItem(reader, &key, &value, &done), 1);
  EXPECT_EQ(std::string(static_cast<char *>(key.data), key.length), "Key") << "raw names";
  EXPECT_EQ(plugin().FreeSerializer(reader), 1);
  EXPECT_EQ(plugin().FreeSerializer(writer), 1);
  EXPECT_EQ(written.data.substr(written.data.size() - 5), "</a>\n");
}

} // namespace
