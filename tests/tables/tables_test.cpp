// Scripts save and load tables as XML through the host's table functions,
// with their options; saves that no reader could read are refused.
#include "tests/lua_test.h"

namespace {

using Tables = LuaFileTest;

TEST_F(Tables, EveryValueTypeSurvivesTheItemsFormat) {
  lua(R"(
    local t = {
      "first", "second", 3,
      title = "Hello & <welcome>", empty = "", spaces = "   ", digits = "007", minus = "-x",
      binary = "\0\1\2\255", latin = "caf\195\169", cr = "a\r\nb\rc", Case = {x = 1}, case = 2,
      numbers = {-1, 0, 0.5, -0.25, 1e300, -1e-300, 2^53, 1/3, 0.1 + 0.2, 123456789012345678},
      nested = {deeper = {deepest = {}}, list = {1, {2, {3}}}}, emptytable = {},
      [-7] = "negative key", [1000] = "far key", [2.5e3] = "another", [2^31 - 1] = "top",
      yes = 1, no = 0, tiny = 5e-324, twice = function(x) return 2 * x end,
    }
    local back = roundTrip(t, {functions = true})
    eq(back.twice(21), 42)
    t.twice, back.twice = nil, nil
    expectEqual(t, back)
    -- booleans become the numbers 1 and 0
    expectEqual(roundTrip({on = true, off = false}), {on = 1, off = 0})
  )");
}

TEST_F(Tables, SameTableSameBytes) {
  lua(R"(
    local a = velloran.SerializeTable({b = 1, a = 2, [10] = 3, 4, 5, [-1] = 6})
    eq(velloran.SerializeTable({[-1] = 6, [10] = 3, a = 2, b = 1, 4, 5}), a)
    local order = {}
    for name in a:gmatch("\t<([%w_.%-]+)>") do order[#order + 1] = name end
    eq(table.concat(order, " "), "item.1 item.2 item.-1 item.10 a b")
  )");
}

// Each row: the message, then the call that must fail with it.
TEST_F(Tables, RefusalsNameThePath) {
  lua(R"lua(
    local S, D = velloran.SerializeTable, velloran.DeserializeTable
    local cyclic = {settings = {window = {}}}
    cyclic.settings.window[3] = cyclic.settings
    for _, row in ipairs{
      {"contains itself at 'settings.window[3]'", S, cyclic},
      {"cannot save a boolean key at 'list[true]'", S, {list = {[true] = 1}}},
      {"cannot save a userdata value at 'out'", S, {out = io.stdout}},
      {"cannot save a thread value", S, {co = coroutine.create(function() end)}},
      {'"items" format at \'[1.5]\'', S, {[1.5] = 1}},
      {'"items" format at \'["a b"]\'', S, {["a b"] = 1}},
      {"cannot save a C function", S, {f = print}},
      {"unknown option 'colour'", S, {}, {colour = 1}},
      {"bad option 'format'", S, {}, {format = "yaml"}},
      {"bad option 'rootnode' ('1a' cannot be written as an XML name)", S, {}, {rootnode = "1a"}},
      {"a function under the key 'f': load functions only", D, S({f = function() end})},
    } do
      expectError(unpack(row))
    end
  )lua");
}

// Each row: format, XML, why it is no table and where. Both reading
// functions give the same message, ReadTable with the file's name.
TEST_F(Tables, ReadingErrorsSayWhyAndWhere) {
  lua(R"(
    local cut = velloran.SerializeTable({a = {b = {c = 1}}, d = 2})
    for _, row in ipairs{
      {"items", "<root>\n<a>1</a>\n<b>2</c>\n</root>", "mismatched tag at line 3, column 7"},
      {"items", cut:sub(1, cut:find("<c") + 3), "the document ends inside <c> at line 5, column 4"},
      {"items", cut:sub(1, -9), "the document ends inside <root> at line 2, column 1"},
      {"items", "<other><a>1</a></other>",
       "the document element must be <root>, not <other> at line 1, column 1"},
      {"items", '<root><a type="zz">1</a></root>', 'unknown type "zz" of element <a> at line 1, column 7'},
      {"items", '<root>\n  <a foo="1">1</a></root>',
       'unknown attribute "foo" of element <a> at line 2, column 3'},
      {"items", "<root><a" .. ("\195\169"):rep(40) .. ' type="q"/></root>',
       'unknown type "q" of element <a' .. ("\195\169"):rep(33) .. '...> at line 1, column 7'},
      {"items", "<root/>\n<root/>", "a second document element at line 2, column 1"},
      {"items", "<root><n>1,5</n></root>", "a number that does not read back in <n> at line 1, column 7"},
      {"items", '<root><b type="binary">!</b></root>',
       "base64 text that does not decode in <b> at line 1, column 7"},
      {"items", "", "no element found at line 1, column 1"},
      {"named", "<a><b>1</b>", "the document ends inside <a> at line 1, column 1"},
      {"named", "<a/><b/>", "a second document element at line 1, column 5"},
      {"indexed", "<a>&nowhere;</a>", "undefined entity at line 1, column 4"},
      {"indexed", "<a>\n<b x='1' x='2'/></a>", "duplicate attribute at line 2, column 10"},
      {"indexed", "<a/>junk", "junk after document element at line 1, column 5"},
    } do
      local want = 'not a valid XML table in "' .. row[1] .. '" format: ' .. row[3]
      local ok, err = pcall(velloran.DeserializeTable, row[2], {format = row[1]})
      eq(err, want, row[2])
      local f = assert(io.open(path, "wb")) f:write(row[2]) f:close()
      ok, err = pcall(velloran.ReadTable, path, {format = row[1]})
      eq(err, want .. " in '" .. path .. "'", row[2])
    end
    eq(select(2, pcall(velloran.ReadTable, "/proc/self/mem")),
       "cannot read '/proc/self/mem': Input/output error")
  )");
}

// An allocation that fails at any point of a read is said as it is.
TEST_F(Tables, ReadingWithoutMemorySaysSo) {
  lua(R"(
    local t = {title = "a & b", list = {1, "x", {deep = "\0\1"}}}
    local docs = {items = velloran.SerializeTable(t),
                  named = '<d a="1">text<c>\195\169</c><c/></d>'}
    docs.indexed = docs.named
    for format, doc in pairs(docs) do
      local f = assert(io.open(path, "wb")) f:write(doc) f:close()
      for _, arm in ipairs{failAllocMem, failMalloc} do
        for _, read in ipairs{function() return velloran.DeserializeTable(doc, {format = format}) end,
                              function() return velloran.ReadTable(path, {format = format}) end} do
          local n, ok, err = 0
          repeat
            n = n + 1
            arm(n)
            ok, err = pcall(read)
            arm(0)
            assert(ok or err == "not enough memory", format .. " at " .. n .. ": " .. tostring(err))
          until ok
          assert(n > 2, "allocations failed: " .. n)
        end
      end
    end
  )");
}

// A table inside itself is found at any depth, and only there.
TEST_F(Tables, DeepCyclesAndSharedTables) {
  lua(R"(
    local root = {}
    local t = root
    for i = 1, 300 do t.next = {} t = t.next end
    t.shared = root.next.next
    expectError("contains itself", velloran.SerializeTable, root)
    t.shared = nil
    for i = 1, 300 do t[i] = {i} end -- siblings reuse the path's addresses
    root.first, root.again = t[1], t[1] -- the same table twice, not inside itself
    local back = velloran.DeserializeTable(velloran.SerializeTable(root))
    for i = 1, 300 do back = back.next end
    eq(#back, 300) eq(back[300][1], 300)
  )");
}

TEST_F(Tables, FilesStreamAndFailedWritesKeepTheOldFile) {
  lua(R"(
    local t = {window = {width = 640, height = 480, title = "Main"}, recent = {"a.txt", "b.txt"}}
    velloran.WriteTable(path, t)
    expectEqual(velloran.ReadTable(path), t)
    expectError("cannot save a userdata value", velloran.WriteTable, path, {bad = io.stdout})
    expectEqual(velloran.ReadTable(path), t) -- the old file is intact
    assert(not io.open(path .. ".part"), "no temporary file is left")
    expectError("cannot open", velloran.ReadTable, path .. ".missing")
  )");
}

using DuplicateAttributes = LuaFileTest;

TEST_F(DuplicateAttributes, RefusedWithTheElementsPathAndTheOldFileKept) {
  lua(R"lua(
    local same = {[0] = {key = "a", value = "1"}, [1] = {key = "a", value = "2"}}
    local tables = {named = {doc = {nodes = {e = {attrs = same}}}},
                    indexed = {[0] = {name = "doc", nodes = {[0] = {name = "e", attrs = same}}}}}
    local where = {named = "doc.nodes.e.attrs", indexed = "[0].nodes[0].attrs"}
    for format, t in pairs(tables) do
      velloran.WriteTable(path, {[0] = {name = "old"}}, {format = "indexed"})
      local e = expectError(where[format], velloran.WriteTable, path, t, {format = format})
      eq(velloran.ReadTable(path, {format = "indexed"})[0].name, "old", e)
    end
  )lua");
}

using Options = LuaTest;

// Item names keep their case in EveryValueTypeSurvivesTheItemsFormat.
TEST_F(Options, NamesKeepTheirCaseUnlessFoldingIsAsked) {
  lua(R"(
    eq(velloran.DeserializeTable("<Doc/>", {format = "indexed"})[0].name, "Doc")
    eq(velloran.DeserializeTable("<Doc/>", {format = "indexed", rawnames = false})[0].name, "doc")
  )");
}

TEST_F(Options, RootNamesThatDoNotFitAreRefusedWhole) {
  lua(R"(
    local fits = ("\195\169"):rep(127) .. "a"   -- 255 bytes
    local text = velloran.SerializeTable({x = 1}, {rootnode = fits})
    eq(velloran.DeserializeTable(text, {rootnode = fits}).x, 1)
    expectError("256 bytes; a root name holds at most 255",
                velloran.SerializeTable, {}, {rootnode = ("\195\169"):rep(128)})
  )");
}

} // namespace
