// Numbers whose text does not look like a number (the host writes "inf"
// and "nan") are typed in the item format, so that they read back as
// numbers and not as strings.
#include <math.h>

#include <gtest/gtest.h>

#include "tests/serializer/support.h"

namespace {

using namespace sertest;

TEST(ItemNumbers, NonFiniteNumbersReadBackAsNumbers) {
  std::vector<Item> items;
  for (double x : {double(INFINITY), -double(INFINITY), double(NAN), 1.5, -0.25})
    items.push_back({S("n"), N(x)});
  WriteResult w = writeItems(formatTags(FORMAT_ITEMS), items);
  EXPECT_NE(w.text.find("<n type=\"number\">inf</n>"), std::string::npos) << w.text;
  EXPECT_NE(w.text.find("<n>1.5</n>"), std::string::npos) << w.text;
  EXPECT_EQ(readItems(formatTags(FORMAT_ITEMS), w.text).items, items);
}

} // namespace
