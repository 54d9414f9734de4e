// The Lua examples of README.md run as shown and print what their
// "--> " comments say.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/lua_test.h"

namespace {

std::vector<std::string> luaBlocks() {
  std::ifstream file(std::string(SOURCE_DIR) + "/README.md");
  std::stringstream text;
  text << file.rdbuf();
  std::string readme = text.str();
  std::vector<std::string> blocks;
  const std::string open = "```lua\n", close = "```";
  for (size_t at = readme.find(open); at != std::string::npos; at = readme.find(open, at)) {
    size_t start = at + open.size();
    size_t end = readme.find(close, start);
    if (end == std::string::npos)
      break;
    blocks.push_back(readme.substr(start, end - start));
    at = end + close.size();
  }
  return blocks;
}

const char *const CHECK_PRINTS = R"lua(
local block = README_BLOCK
local printed = {}
print = function(...)
  local parts = {}
  for i = 1, select("#", ...) do parts[#parts + 1] = tostring((select(i, ...))) end
  printed[#printed + 1] = table.concat(parts, " ")
end
assert(loadstring(block, "=README"))()
local expected = {}
for line in block:gmatch("[^\n]+") do
  local shown = line:match("%-%->%s*(.-)%s*$")
  if shown then expected[#expected + 1] = shown end
end
local function squeeze(s) return (s:gsub("%s+", " "):gsub("^ ", ""):gsub(" $", "")) end
assert(#printed == #expected, #printed .. " lines printed, " .. #expected .. " shown")
for i = 1, #expected do
  assert(squeeze(printed[i]) == squeeze(expected[i]),
         "printed '" .. printed[i] .. "', README shows '" .. expected[i] .. "'")
end
)lua";

using Readme = LuaTest;

TEST_F(Readme, LuaExamplesRunAsShown) {
  std::vector<std::string> blocks = luaBlocks();
  ASSERT_GE(blocks.size(), 3u) << "README.md holds the script API examples";
  for (const std::string &block : blocks) {
    velloran::Host fresh(PLUGIN_PATH);
    ASSERT_TRUE(fresh.ok()) << fresh.error();
    lua_State *L = fresh.state();
    lua_pushlstring(L, block.data(), block.size());
    lua_setglobal(L, "README_BLOCK");
    std::string message;
    EXPECT_TRUE(fresh.run(CHECK_PRINTS, &message)) << message << "\nin:\n" << block;
  }
}

} // namespace
