// The Lua examples of README.md run as shown and print what their
// "--> " comments say.
#include "tests/encodings/converters.h"
#include "tests/lua_test.h"

namespace {

using Readme = LuaTest;

TEST_F(Readme, LuaExamplesRunAsShown) {
  lua("readme = '" SOURCE_DIR "/README.md'");
  lua_register(host.state(), "skipWithoutConverter", [](lua_State *L) {
    lua_pushboolean(L, skipWithoutConverter(luaL_checkstring(L, 1)));
    return 1;
  });
  lua(R"lua(
    local function squeeze(s) return (s:gsub("%s+", " "):gsub("^ ", ""):gsub(" $", "")) end
    local file = assert(io.open(readme, "rb"))
    local blocks = 0
    for block in file:read("*a"):gmatch("```lua\n(.-)```") do
      blocks = blocks + 1
      local encoding = block:match('encoding="([^"]+)"')
      if encoding and skipWithoutConverter(encoding) then block = "" end
      -- each block runs with globals of its own and a print that records
      local printed = {}
      local env = setmetatable({print = function(...)
        local parts = {}
        for i = 1, select("#", ...) do parts[i] = tostring((select(i, ...))) end
        printed[#printed + 1] = squeeze(table.concat(parts, " "))
      end}, {__index = _G})
      setfenv(assert(loadstring(block, "=README")), env)()
      local shown = {}
      for line in block:gmatch("%-%->([^\n]*)") do shown[#shown + 1] = squeeze(line) end
      eq(table.concat(printed, "\n"), table.concat(shown, "\n"), "printed lines of\n" .. block)
    end
    file:close()
    assert(blocks >= 3, "README.md holds the script API examples")
  )lua");
}

} // namespace
