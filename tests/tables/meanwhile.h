// Finalizers in the middle of a save or load, for the tables tests and the
// tables fuzz target.
#ifndef VELLORAN_TESTS_TABLES_MEANWHILE_H
#define VELLORAN_TESTS_TABLES_MEANWHILE_H

// meanwhile(f, body, skip): runs body() with f() called from a finalizer at
// every collector cycle after the first skip ones; returns how often f ran.
// (A cycle ends every few allocations here; a larger step multiplier
// overflows Lua 5.1's C stack when a finalizer collects.)
// everyCycle(setup, f, body): meanwhile for skip = 0, 1, ... until body ends
// before f runs, and that skip; setup() makes the state f and body share.
static const char *const MEANWHILE = R"lua(
function meanwhile(f, body, skip)
  local armed, inside, cycles, ran = true, false, 0, 0
  local function arm()
    local p = newproxy(true)
    getmetatable(p).__gc = function()
      if armed and not inside then -- no f (and no new finalizer) inside f
        inside = true
        cycles = cycles + 1
        if cycles > skip then ran = ran + 1 f() end
        arm()
        inside = false
      end
    end
  end
  collectgarbage("setpause", 0)
  collectgarbage("setstepmul", 1000)
  collectgarbage()
  arm()
  local ok, err = pcall(body)
  armed = false
  collectgarbage("setpause", 200)
  collectgarbage("setstepmul", 200)
  collectgarbage()
  assert(ok, err)
  return ran
end
function everyCycle(setup, f, body)
  for skip = 0, 100000 do
    local state = setup()
    if meanwhile(function() f(state) end, function() body(state) end, skip) == 0 then
      return skip
    end
  end
end
)lua";

#endif
