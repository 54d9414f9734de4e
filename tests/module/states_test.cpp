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

lua_State *open() {
  lua_State *L = luaL_newstate();
  luaL_openlibs(L);
  EXPECT_EQ(run(L, R"lua(
    package.cpath = ")lua" BINARY_DIR R"lua(/lua/?.so"
    vx = require "velloran.xml"
    package.loaded["velloran.xml"] = nil
    assert(require("velloran.xml") == vx and not rawget(_G, "xml"))
    -- a parser left in the middle of a document, collections at every event
    events = 0
    local function count() events = events + 1; collectgarbage() end
    local cb = {startelement = count, endelement = count}
    open = vx.CreateParser(cb)
    assert(open:Parse('<a><b x="1">') == 1)
    vx.CreateParser(cb):Parse("<c>")
    collectgarbage()
    return events)lua"),
            "3");
  return L;
}

const char DECLARED[] = "return vx.SerializeTable({}):match('encoding=\"(.-)\"')";

TEST(ModuleStates, EachStateItsOwnAndClosingOneLeavesTheOther) {
  lua_State *a = open(), *b = open();
  EXPECT_EQ(run(a, "vx.SetHostEncoding('iso-8859-1')"), "nil");
  EXPECT_EQ(run(b, DECLARED), "utf-8");
  EXPECT_EQ(run(a, DECLARED), "iso-8859-1");
  EXPECT_EQ(run(b, "return vx.DeserializeTable(vx.SerializeTable({'\\195\\169'}))[1]"), "\xc3\xa9");
  lua_close(a);
  EXPECT_EQ(run(b, "assert(open:Parse('</b></a>') == 1 and open:Parse() == 1); return events"),
            "5");
  lua_close(b);
  lua_State *c = open();
  EXPECT_EQ(run(c, DECLARED), "utf-8");
  lua_close(c);
}

} // namespace
