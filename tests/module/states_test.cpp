// The Lua module in a program of its own with two script states: each state
// has its own host context, and closing one (with parsers alive in the
// middle of a document) leaves the other whole and frees what was its own.
#include <string>

#include <gtest/gtest.h>

extern "C" {
#include <lauxlib.h>
#include <lualib.h>
}

namespace {

// Runs a chunk; its result as text, or "error: message".
std::string run(lua_State *L, const char *chunk) {
  int status = luaL_loadstring(L, chunk) || lua_pcall(L, 0, 1, 0);
  std::string text = lua_tostring(L, -1) ? lua_tostring(L, -1) : "nil";
  lua_pop(L, 1);
  return status ? "error: " + text : text;
}

// A state with the module required twice and a parser left in the middle
// of a document, collecting at every event; returns the events counted.
const char OPEN[] = "package.cpath = '" BINARY_DIR "/lua/?.so'; vx = require 'velloran.xml'\n"
                    R"lua(package.loaded['velloran.xml'] = nil
    assert(require('velloran.xml') == vx and not rawget(_G, 'xml'))
    events = 0
    local function count() events = events + 1; collectgarbage() end
    open = vx.CreateParser({startelement = count, endelement = count})
    assert(open:Parse('<a><b x="1">') == 1 and vx.CreateParser(open:GetCallbacks()):Parse('<c>'))
    return events)lua";
const char DECLARED[] = "return vx.SerializeTable({}):match('encoding=\"(.-)\"')";

TEST(ModuleStates, EachStateItsOwnAndClosingOneLeavesTheOther) {
  lua_State *states[3];
  auto open = [&](int i) {
    luaL_openlibs(states[i] = luaL_newstate());
    EXPECT_EQ(run(states[i], OPEN), "3");
  };
  open(0), open(1);
  EXPECT_EQ(run(states[0], "vx.SetHostEncoding('iso-8859-1')"), "nil");
  EXPECT_EQ(run(states[1], DECLARED), "utf-8");
  EXPECT_EQ(run(states[0], DECLARED), "iso-8859-1");
  lua_close(states[0]);
  EXPECT_EQ(run(states[1], "assert(open:Parse('</b></a>') + open:Parse() == 2) return events"),
            "5");
  lua_close(states[1]);
  open(2); // after every state that had the module has closed
  EXPECT_EQ(run(states[2], DECLARED), "utf-8");
  lua_close(states[2]);
}

} // namespace
