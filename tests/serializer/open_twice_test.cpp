// Each open serializer keeps the options it was opened with, whatever
// another serializer opened meanwhile uses.
#include "tests/serializer/support.h"

namespace {

using namespace sertest;

TEST(OpenTwice, EachSerializerKeepsItsOwnOptions) {
  const Option rootA = {nullptr, "rootnode", "a", 0}, rootB = {nullptr, "rootnode", "b", 0};
  std::vector<TagItem> tagsA = tagList({{SERTAG_FORMAT, FORMAT_ITEMS},
                                        {SERTAG_RAW_NAMES, 1},
                                        {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&rootA)}});
  std::vector<TagItem> tagsB = tagList(
      {{SERTAG_FORMAT, FORMAT_ITEMS}, {SERTAG_OPTIONS, reinterpret_cast<uintptr_t>(&rootB)}});
  Stream written, other, read;
  read.data = "<a><Key>1</Key></a>";
  void *writer = plugin().InitSerializer(nullptr, writeStream, &written, tagsA.data());
  void *reader = plugin().InitSerializer(readStream, nullptr, &read, tagsA.data());
  void *second = plugin().InitSerializer(nullptr, writeStream, &other, tagsB.data());
  ASSERT_TRUE(writer && reader && second);
  EXPECT_EQ(plugin().FreeSerializer(second), 1);

  ItemValue key, value;
  int done = 0;
  ASSERT_EQ(plugin().DeserializeItem(reader, &key, &value, &done), 1);
  std::string bad;
  EXPECT_EQ(fromItemValue(key, true, &bad), S("Key")) << "the reader's raw names";
  EXPECT_EQ(plugin().FreeSerializer(reader), 1);
  EXPECT_EQ(plugin().FreeSerializer(writer), 1);
  EXPECT_EQ(written.data.substr(written.data.size() - 5), "</a>\n");
}

} // namespace
