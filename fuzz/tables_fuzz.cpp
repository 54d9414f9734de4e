// The host's table functions under random script tables: the input builds
// a table (nesting, sparse and negative number keys, mixed-case and non-XML
// string keys, every value type, shared subtables, strings with control
// bytes and characters beyond Latin-1), options and the host's encoding;
// the table goes through SerializeTable/DeserializeTable and
// WriteTable/ReadTable while finalizers run saves and collections at random
// collector cycles. A save either fails with a refusal or gives back, in
// the item format, exactly what went in; a saved document loads.
#include <stdio.h>
#include <unistd.h>

#include <string>

#include "fuzz/support.h"
#include "tests/tables/meanwhile.h"
#include "velloran/services.h"

namespace {

const char *const DRIVER = R"lua(
local input, at
local function byte()
  at = at + 1
  return input:byte(at) or 0
end
local function pick(list) return list[byte() % #list + 1] end

local NUMBERS = {0, -0.0, 0.5, -2.5, 1e300, -1e-300, 1/0, -1/0, 2^53, 2^31 - 1, -2^31, 1/3}
local STRINGS = {"", " ", "\t\n", "12", "-x", ".5", "<&>'\"", "a\rb", "\r\n", "\0", "\1\2",
                 "\127", "caf\195\169", "\226\130\172", "\195", "]]>", "x y", "Name", "name"}
local KEYS = {"a", "A", "Name", "name", "_x9", "item", "a b", "1x", "", "caf\195\169",
              "xml", "item.3", ("k"):rep(129), "type"}
local ROOTS = {"root", "settings", "R", "caf\195\169", "a b", ("r"):rep(255), ("r"):rep(256)}

local function text()
  if byte() % 3 > 0 then return pick(STRINGS) end
  local t = {}
  for i = 1, byte() % 24 do t[i] = string.char(byte()) end
  return table.concat(t)
end
local function number()
  local b = byte()
  if b % 2 == 0 then return pick(NUMBERS) end
  return (b - 128) * (byte() % 4 == 0 and 1000003 or 1)
end
local function key()
  local b = byte() % 8
  if b < 3 then return pick(KEYS) end
  if b == 3 then return 2 ^ (byte() % 40) end
  if b == 4 then return -(byte() % 5) end
  if b == 5 then return byte() % 3 == 0 and 1.5 or 0 end
  return byte() % 6 + 1
end

local shared = {}
local function build(depth)
  local t = {}
  for _ = 1, byte() % 6 do
    local k, b, v = key(), byte() % 9
    if b == 0 then v = number()
    elseif b == 1 then v = text()
    elseif b == 2 then v = byte() % 2 == 0
    elseif b == 3 then v = loadstring("return " .. byte())
    elseif b == 4 and #shared > 0 then v = shared[byte() % #shared + 1]
    elseif b == 5 and depth < 6 then v = build(depth + 1) shared[#shared + 1] = v
    elseif b == 6 then v = byte() == 0 and t or {}
    else v = depth < 6 and build(depth + 1) or text() end
    t[k] = v
  end
  return t
end

-- t as it must come back: booleans as numbers, functions as their result.
local function same(a, b)
  if type(a) == "boolean" then a = a and 1 or 0 end
  if type(a) == "function" then return type(b) == "function" and a() == b() end
  if type(a) ~= "table" then return a == b or (a ~= a and b ~= b) end
  if type(b) ~= "table" then return false end
  for k, v in pairs(a) do if not same(v, b[k]) then return false end end
  for k in pairs(b) do if a[k] == nil then return false end end
  return true
end

local REFUSALS = {"cannot save", "bad option"}
local function refused(err)
  for _, r in ipairs(REFUSALS) do
    if tostring(err):find(r, 1, true) then return true end
  end
  error("not a refusal: " .. tostring(err), 0)
end

function fuzzTables(bytes, path)
  input, at, shared = bytes, 0, {}
  local flags = byte()
  local o = {format = pick({"items", "items", "named", "indexed"})}
  if flags % 2 == 1 then o.rootnode = pick(ROOTS) end
  if flags % 4 >= 2 then o.encoding = pick({"utf-8", "iso-8859-1"}) end
  if flags % 8 >= 4 then o.ignorewhitespace = byte() % 2 == 0 end
  if flags % 16 >= 8 then o.rawnames = false end
  o.functions = true
  local skip = flags >= 128 and byte() % 16 or nil
  local t = build(0)
  if o.format ~= "items" then t = {[o.format == "named" and pick(KEYS) or 0] = t} end

  local function run()
    local ok, textOrErr = pcall(velloran.SerializeTable, t, o)
    local wrote, err = pcall(velloran.WriteTable, path, t, o)
    if ok ~= wrote then error("SerializeTable and WriteTable disagree: " .. tostring(err), 0) end
    if not ok then return refused(textOrErr) end
    local back = velloran.DeserializeTable(textOrErr, o)
    local file = velloran.ReadTable(path, o)
    if o.format == "items" and o.rawnames ~= false then
      if not same(t, back) then error("the table came back changed", 0) end
      if not same(t, file) then error("the file came back changed", 0) end
    end
  end
  if skip then
    -- The finalizer's saves use the running one's options: a serializer
    -- that keeps its options process-wide would take any others over.
    meanwhile(function()
      local ok, text = pcall(velloran.SerializeTable, {x = {1}, y = "z"}, o)
      if ok then velloran.DeserializeTable(text, o) end
      collectgarbage()
    end, run, skip)
  else
    run()
  end
end
)lua";

std::string tablePath() {
  return "/dev/shm/fuzz_tables." + std::to_string(getpid()) + ".xml";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  static bool loaded = false;
  if (!loaded) {
    fuzz::run(MEANWHILE);
    fuzz::run(DRIVER);
    loaded = true;
  }
  lua_State *L = fuzz::host().state();
  velloran::setHostEncoding(size > 0 && data[0] % 3 == 0 ? ENCODING_ISO_8859_1 : ENCODING_UTF8);
  lua_getglobal(L, "fuzzTables");
  lua_pushlstring(L, reinterpret_cast<const char *>(data), size);
  std::string path = tablePath();
  lua_pushstring(L, path.c_str());
  if (lua_pcall(L, 2, 0, 0) != 0)
    fuzz::fail("tables", lua_tostring(L, -1));
  velloran::setHostEncoding(ENCODING_UTF8);
  remove(path.c_str());
  fuzz::requireNoLiveBlocks("tables");
  return 0;
}
