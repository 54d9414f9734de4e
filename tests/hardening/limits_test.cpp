// Limits: documents nested a million levels deep through the parser and
// the reader, tables ten thousand levels deep through the writer, the
// entity attacks, and a text of 100 MB. Each ends with a clear result, in
// time that grows linearly, and prints its figures.
#include <sys/resource.h>
#include <time.h>

#include "tests/hardening/support.h"

namespace {

using Limits = hardening::Script;

double now() {
  timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

long peakRssKb() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

int clockSeconds(lua_State *L) {
  lua_pushnumber(L, now());
  return 1;
}

int peakRss(lua_State *L) {
  lua_pushnumber(L, static_cast<lua_Number>(peakRssKb()) / 1024);
  return 1;
}

class Timed : public Limits {
protected:
  void SetUp() override {
    Limits::SetUp();
    lua_register(host.state(), "now", clockSeconds);
    lua_register(host.state(), "peakRssMb", peakRss);
  }
};

TEST_F(Timed, MillionLevelsThroughTheParserWithCallbacks) {
  lua(R"lua(
    local function deep(n)
      local starts, ends, text, maxDepth, depth = 0, 0, nil, 0, 0
      local p = xml.CreateParser({
        startelement = function(self, name, attrs)
          starts = starts + 1; depth = depth + 1
          if depth > maxDepth then maxDepth = depth end
        end,
        endelement = function() ends = ends + 1; depth = depth - 1 end,
        characterdata = function(self, s) text = s end})
      local doc = string.rep("<a>", n) .. "x" .. string.rep("</a>", n)
      local t = now()
      eq(p:Parse(doc), 1)
      eq(p:Parse(), 1)
      t = now() - t
      p:Free()
      eq(starts, n) eq(ends, n) eq(maxDepth, n) eq(text, "x")
      return t
    end
    local quarter, whole = deep(250000), deep(1000000)
    print(string.format("[ figures  ] parser with callbacks, depth 250,000: %.2f s; " ..
                        "depth 1,000,000: %.2f s", quarter, whole))
    assert(whole < 10 * quarter + 1, "time must grow linearly with the depth")
    -- an unclosed deep document fails cleanly at the end
    local p = xml.CreateParser({startelement = function() end})
    eq(p:Parse(string.rep("<a>", 1000000)), 1)
    eq(p:Parse(), 0)
    eq(p:GetError(), "no element found")
    p:Free()
  )lua");
}

TEST_F(Timed, EntityAttacksEndQuicklyWithExpatsError) {
  lua(R"lua(
    local laughs = {'<!DOCTYPE r [<!ENTITY l0 "lol">'}
    for i = 1, 12 do
      laughs[#laughs + 1] = string.format('<!ENTITY l%d "%s">', i, string.rep("&l" .. (i - 1) .. ";", 10))
    end
    laughs = table.concat(laughs) .. ']><r>&l12;</r>'
    local blob = string.rep("x", 50000)
    local quadratic = '<!DOCTYPE r [<!ENTITY a "' .. blob .. '">]><r>' ..
                      string.rep("&a;", 50000) .. '</r>'
    for _, attack in ipairs{{"billion laughs", laughs}, {"quadratic blowup", quadratic}} do
      for _, merge in ipairs{0, 1} do
        local delivered = 0
        local p = xml.CreateParser({characterdata = function(self, s) delivered = delivered + #s end},
                                   nil, merge)
        collectgarbage()
        local memory = collectgarbage("count")
        local t = now()
        local r = p:Parse(attack[2])
        t = now() - t
        local grown = collectgarbage("count") - memory
        eq(r, 0, attack[1])
        local message = p:GetError()
        assert(message:find("amplification", 1, true), message)
        p:Free()
        print(string.format("[ figures  ] %s (merge %d): %d bytes of input, stopped after %.3f s " ..
                            "with %d bytes of text delivered, script memory +%.1f MB, " ..
                            "process peak %.0f MB: %s", attack[1], merge, #attack[2], t, delivered,
                            grown / 1024, peakRssMb(), message))
        assert(t < 1, attack[1] .. " took " .. t .. " s")
      end
    end
  )lua");
}

TEST_F(Timed, HundredMegabyteTextThroughCharacterdata) {
  lua(R"lua(
    local size = 100 * 1024 * 1024
    local calls, length, ok = 0, 0, false
    local p = xml.CreateParser({characterdata = function(self, s)
      calls = calls + 1; length = #s
      ok = s:sub(1, 3) == "xyz" and s:sub(-3) == "xyz"
    end})
    local t = now()
    eq(p:Parse("<a>" .. string.rep("xyz", size / 3 + 1):sub(1, size - 3) .. "xyz</a>"), 1)
    eq(p:Parse(), 1)
    t = now() - t
    p:Free()
    eq(calls, 1, "one merged callback") eq(length, size) assert(ok)
    print(string.format("[ figures  ] 100 MB text through characterdata with merging: %.2f s, " ..
                        "process peak %.0f MB", t, peakRssMb()))
  )lua");
}

// The reader hands a 100 MB text of the item format over as one string.
TEST(LimitsReader, HundredMegabyteTextThroughTheItemsReader) {
  const size_t size = 100u * 1024 * 1024;
  hardening::Stream s;
  s.data = "<?xml version=\"1.0\"?>\n<root><s>";
  s.data.append(size, 'y');
  s.data += "</s></root>\n";
  auto tags = hardening::formatTags(FORMAT_ITEMS);
  double t = now();
  void *context =
      hardening::plugin().InitSerializer(hardening::readStream, nullptr, &s, tags.data());
  ASSERT_NE(context, nullptr);
  ItemValue key, value;
  int done = 0;
  ASSERT_EQ(hardening::plugin().DeserializeItem(context, &key, &value, &done), 1);
  EXPECT_EQ(value.type, ITEM_STRING);
  EXPECT_EQ(static_cast<size_t>(value.length), size);
  EXPECT_EQ(static_cast<const char *>(value.data)[size - 1], 'y');
  size_t peak = velloran::memoryStats().peak;
  done = 0;
  EXPECT_EQ(hardening::plugin().DeserializeItem(context, &key, &value, &done), 1);
  EXPECT_EQ(done, 1);
  EXPECT_EQ(hardening::plugin().FreeSerializer(context), 1);
  t = now() - t;
  EXPECT_LT(peak, 3 * size) << "the text buffer grows geometrically";
  printf("[ figures  ] 100 MB text through the items reader: %.2f s, AllocMem peak %.0f MB\n", t,
         static_cast<double>(peak) / (1024 * 1024));
}

// Counts the items of the named format for a document `depth` levels deep.
size_t readNamedDeep(int depth, double *seconds) {
  hardening::Stream s;
  for (int i = 0; i < depth; i++)
    s.data += "<a>";
  for (int i = 0; i < depth; i++)
    s.data += "</a>";
  auto tags = hardening::formatTags(FORMAT_NAMED);
  double t = now();
  void *context =
      hardening::plugin().InitSerializer(hardening::readStream, nullptr, &s, tags.data());
  size_t items = 0;
  for (;;) {
    ItemValue key, value;
    int done = 0;
    if (!hardening::plugin().DeserializeItem(context, &key, &value, &done) || done)
      break;
    items++;
  }
  hardening::plugin().FreeSerializer(context);
  *seconds = now() - t;
  return items;
}

TEST(LimitsReader, MillionLevelsThroughTheNamedReader) {
  double quarter, whole;
  // Seven items per element: table, text, attrs begin and end, nodes begin
  // and end, table end.
  EXPECT_EQ(readNamedDeep(250000, &quarter), 7u * 250000);
  EXPECT_EQ(readNamedDeep(1000000, &whole), 7u * 1000000);
  printf("[ figures  ] named format reader, depth 250,000: %.2f s; depth 1,000,000: %.2f s\n",
         quarter, whole);
  EXPECT_LT(whole, 10 * quarter + 1.0);
}

// A table nested 10,000 levels deep, written in each format and read back.
TEST(LimitsWriter, TenThousandLevelsInEveryFormat) {
  const int depth = 10000;
  double one = 1;
  ItemValue number = {ITEM_NUMBER, &one, 8}, begin = {ITEM_TABLE, nullptr, 1},
            end = {ITEM_TABLE, nullptr, 0};
  ItemValue a = {ITEM_STRING, const_cast<char *>("a"), 1},
            nodes = {ITEM_STRING, const_cast<char *>("nodes"), 5},
            name = {ITEM_STRING, const_cast<char *>("name"), 4};
  for (int format : {FORMAT_ITEMS, FORMAT_NAMED, FORMAT_INDEXED}) {
    size_t before = velloran::memoryStats().blocks;
    double started = now();
    hardening::Stream s;
    auto tags = hardening::formatTags(format);
    void *context =
        hardening::plugin().InitSerializer(nullptr, hardening::writeStream, &s, tags.data());
    ASSERT_NE(context, nullptr);
    const ItemValue &key = format == FORMAT_NAMED ? a : number;
    int accepted = 0, items = 0;
    for (int i = 0; i < depth; i++) {
      accepted +=
          hardening::plugin().SerializeItem(context, format == FORMAT_ITEMS ? &a : &key, &begin);
      items++;
      if (format == FORMAT_INDEXED) {
        accepted += hardening::plugin().SerializeItem(context, &name, &a);
        items++;
      }
      if (format != FORMAT_ITEMS && i + 1 < depth) {
        accepted += hardening::plugin().SerializeItem(context, &nodes, &begin);
        items++;
      }
    }
    for (int i = 0; i < depth; i++) {
      if (format != FORMAT_ITEMS && i > 0) {
        accepted += hardening::plugin().SerializeItem(context, &nodes, &end);
        items++;
      }
      accepted +=
          hardening::plugin().SerializeItem(context, format == FORMAT_ITEMS ? &a : &key, &end);
      items++;
    }
    EXPECT_EQ(accepted, items) << "format " << format;
    EXPECT_EQ(hardening::plugin().FreeSerializer(context), 1);
    EXPECT_EQ(velloran::memoryStats().blocks, before);

    double written = now() - started;
    hardening::Stream in{s.data};
    std::string outcome;
    std::vector<std::string> back = hardening::readAll(format, &in, &outcome);
    printf("[ figures  ] format %d, table depth %d: written in %.2f s, read back in %.2f s\n",
           format, depth, written, now() - started - written);
    EXPECT_EQ(outcome, "done") << "format " << format;
    size_t perLevel = format == FORMAT_ITEMS ? 2 : format == FORMAT_NAMED ? 7 : 8;
    EXPECT_EQ(back.size(), perLevel * depth) << "format " << format;
    EXPECT_EQ(velloran::memoryStats().blocks, before);
  }
}

} // namespace
