// Runs Lua chunks in a fresh stand-in host with the plugin bound.
#ifndef VELLORAN_TESTS_LUA_TEST_H
#define VELLORAN_TESTS_LUA_TEST_H

#include <stdint.h>
#include <stdio.h>

#include <string>

#include <gtest/gtest.h>

#include "velloran/host.h"
#include "velloran/services.h"

// Helpers every chunk can use:
//   expectError(pattern, f, ...) -- f(...) must fail with a message holding pattern
//   eq(a, b, what)             -- a must equal b
//   show(v)                    -- v as text, tables sorted by key, strings quoted,
//                                 numbers exact
//   cb, log = eventRecorder(keys) -- callbacks that append "key(args)" to log,
//                                 "child key(args)" when self is not `main`
//   ok, final = parseAll(cb, doc [, sep, merge, setup]) -- one Parse and the final
//                                 one by a new parser `main` with base "B", after
//                                 setup(main)
//   expectLog(log, text), expectEqual(got, want [, what]) -- compare via show
//   eachRow(rows, f)           -- f(row) for each row in order; an error names
//                                 the row by its `what`, which every row has
//   back, text = roundTrip(t, options) -- t through SerializeTable and back
//   failMalloc(n), failAllocMem(n) -- the n-th C library / AllocMem allocation
//                                 from now fails (0 disarms)
//   liveBlocks()               -- AllocMem blocks now live
static const char *const LUA_PRELUDE = R"lua(
function expectError(pattern, f, ...)
  local ok, err = pcall(f, ...)
  assert(not ok, "expected an error holding " .. pattern)
  assert(string.find(tostring(err), pattern, 1, true),
         "error '" .. tostring(err) .. "' does not hold '" .. pattern .. "'")
  return err
end
function show(v)
  local t = type(v)
  if t == "string" then return string.format("%q", v) end
  if t == "userdata" then return "obj" end
  if t == "number" then return string.format("%.17g", v) end
  if t ~= "table" then return tostring(v) end
  local keys = {}
  for k in pairs(v) do keys[#keys + 1] = k end
  table.sort(keys, function(a, b) return type(a) == type(b) and a < b or type(a) < type(b) end)
  for i, k in ipairs(keys) do
    keys[i] = (type(k) == "string" and k or "[" .. tostring(k) .. "]") .. "=" .. show(v[k])
  end
  return "{" .. table.concat(keys, ",") .. "}"
end

function eventRecorder(keys)
  local log, cb = {}, {}
  for _, k in ipairs(keys) do
    cb[k] = function(self, ...)
      local parts = {}
      for i = 1, select("#", ...) do parts[i] = show((select(i, ...))) end
      log[#log + 1] = (self ~= main and "child " or "") .. k .. "(" .. table.concat(parts, ",") .. ")"
    end
  end
  return cb, log
end

-- Parses doc in one chunk and finishes; main is the parser object.
function parseAll(cb, doc, sep, merge, setup)
  main = xml.CreateParser(cb, sep, merge)
  main:SetBase("B")
  if setup then setup(main) end
  local ok = main:Parse(doc)
  return ok, main:Parse()
end

function expectLog(log, want)
  local got = table.concat(log, "\n")
  if got ~= want then error("callbacks differ\n--- got:\n" .. got .. "\n--- want:\n" .. want, 2) end
end

function expectEqual(got, want, what)
  if show(got) == show(want) then return end
  error((what and what .. ": " or "") .. "got " .. show(got) .. ", want " .. show(want), 2)
end
function roundTrip(t, options)
  local xmltext = velloran.SerializeTable(t, options)
  return velloran.DeserializeTable(xmltext, options), xmltext
end
function eachRow(rows, f)
  for _, row in ipairs(rows) do
    local what = assert(row.what, "a row without a name")
    local ok, err = pcall(f, row)
    if not ok then error(what .. ": " .. tostring(err), 0) end
  end
end
function eq(a, b, what)
  if a ~= b then error((what or "value") .. ": expected " .. tostring(b) .. ", got " .. tostring(a), 2) end
end
)lua";

// failMalloc(n) and failAllocMem(n) for scripts.
template <void (*failAfter)(long)> int luaFailAfter(lua_State *L) {
  failAfter(static_cast<long>(luaL_checknumber(L, 1)));
  return 0;
}

class LuaTest : public ::testing::Test {
protected:
  velloran::Host host{PLUGIN_PATH};

  void SetUp() override {
    ASSERT_TRUE(host.ok()) << host.error();
    lua_register(host.state(), "failMalloc", luaFailAfter<velloran::failMallocAfter>);
    lua_register(host.state(), "failAllocMem", luaFailAfter<velloran::failAllocMemAfter>);
    lua_register(host.state(), "liveBlocks", [](lua_State *L) {
      lua_pushnumber(L, static_cast<lua_Number>(velloran::memoryStats().blocks));
      return 1;
    });
    std::string message;
    ASSERT_TRUE(host.run(LUA_PRELUDE, &message, "=prelude")) << message;
  }
  void TearDown() override {
    velloran::failMallocAfter(0);
    velloran::failAllocMemAfter(0);
  }

  // Registers name(): the count so far, which it then resets.
  void counter(const char *name, uint64_t *count) {
    lua_pushlightuserdata(host.state(), count);
    lua_pushcclosure(host.state(), [](lua_State *L) {
      auto *n = static_cast<uint64_t *>(lua_touserdata(L, lua_upvalueindex(1)));
      lua_pushnumber(L, static_cast<lua_Number>(*n));
      *n = 0;
      return 1;
    }, 1);
    lua_setglobal(host.state(), name);
  }

  // Runs chunk; the test fails with the chunk's error message.
  void lua(const std::string &chunk) {
    std::string message;
    EXPECT_TRUE(host.run(chunk, &message)) << message;
  }
};

// A test that works on a file `path` of its own (ctest runs tests side by
// side), removed at the end.
class LuaFileTest : public LuaTest {
protected:
  std::string path = std::string(BINARY_DIR) + "/" +
                     ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".xml";
  void SetUp() override {
    LuaTest::SetUp();
    lua("path = '" + path + "'");
  }
  void TearDown() override {
    remove(path.c_str());
    LuaTest::TearDown();
  }
};

#endif
