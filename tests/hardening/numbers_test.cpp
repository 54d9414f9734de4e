// Numbers whose text does not look like a number (the host writes "inf"
// and "nan") are typed in the item format, so that they read back as
// numbers and not as strings.
#include <math.h>

#include "tests/hardening/support.h"

namespace {

TEST(ItemNumbers, NonFiniteNumbersReadBackAsNumbers) {
  const double values[] = {INFINITY, -INFINITY, NAN, 1.5, -0.25};
  hardening::Stream s;
  auto tags = hardening::formatTags(FORMAT_ITEMS);
  void *context =
      hardening::plugin().InitSerializer(nullptr, hardening::writeStream, &s, tags.data());
  ASSERT_NE(context, nullptr);
  for (double x : values) {
    ItemValue key = {ITEM_STRING, const_cast<char *>("n"), 1}, value = {ITEM_NUMBER, &x, 8};
    EXPECT_EQ(hardening::plugin().SerializeItem(context, &key, &value), 1);
  }
  EXPECT_EQ(hardening::plugin().FreeSerializer(context), 1);
  EXPECT_NE(s.data.find("<n type=\"number\">inf</n>"), std::string::npos) << s.data;
  EXPECT_NE(s.data.find("<n>1.5</n>"), std::string::npos) << s.data;

  hardening::Stream in{s.data};
  context = hardening::plugin().InitSerializer(hardening::readStream, nullptr, &in, tags.data());
  ASSERT_NE(context, nullptr);
  for (double x : values) {
    ItemValue key, value;
    int done = 0;
    ASSERT_EQ(hardening::plugin().DeserializeItem(context, &key, &value, &done), 1);
    ASSERT_EQ(value.type, ITEM_NUMBER) << x;
    double back;
    memcpy(&back, value.data, sizeof back);
    if (isnan(x))
      EXPECT_TRUE(isnan(back));
    else
      EXPECT_EQ(back, x);
  }
  EXPECT_EQ(hardening::plugin().FreeSerializer(context), 1);
}

} // namespace
