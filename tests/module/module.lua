-- Run by rock.sh with lua5.1 and luajit: the module in a plain program.
local readme = assert(arg[1])
local vx = require "velloran.xml"
assert(rawget(_G, "xml") == nil and rawget(_G, "velloran") == nil)

-- callbacks, with collections at every event while parsers are alive
local log = {}
local function record(p, ...) log[#log + 1] = table.concat({...}, " "); collectgarbage() end
local cb = {startelement = function(p, name) record(p, "start", name) end,
            characterdata = function(p, text) record(p, "text", text) end}
local p = vx.CreateParser(cb)
for i = 1, 3 do vx.CreateParser(cb):Parse("<x>") end
assert(p:Parse("<a>fish &amp; ") == 1 and p:Parse("chips</a>") == 1 and p:Parse() == 1)
assert(table.concat(log, ";") == "start x;start x;start x;start a;text fish & ;text chips",
       table.concat(log, ";"))
p:Free()

-- a table as XML text and as a file
local t = {volume = 0.75, recent = {"a.wav", "b.png"}, name = "caf\195\169"}
local back = vx.DeserializeTable(vx.SerializeTable(t))
assert(back.volume == 0.75 and back.recent[2] == "b.png" and back.name == t.name)
local path = os.tmpname()
vx.WriteTable(path, t)
assert(vx.ReadTable(path).recent[1] == "a.wav")
os.remove(path)

-- the README's examples, the globals they use taken from the module
local function squeeze(s) return (s:gsub("%s+", " "):gsub("^ ", ""):gsub(" $", "")) end
local file = assert(io.open(readme, "rb"))
local blocks = 0
for block in file:read("*a"):gmatch("```lua\n(.-)```") do
  blocks = blocks + 1
  local printed, shown = {}, {}
  local env = setmetatable({xml = vx, velloran = vx, print = function(...)
    local parts = {}
    for i = 1, select("#", ...) do parts[i] = tostring((select(i, ...))) end
    printed[#printed + 1] = squeeze(table.concat(parts, " "))
  end}, {__index = _G})
  setfenv(assert(loadstring(block, "=README")), env)()
  for line in block:gmatch("%-%->([^\n]*)") do shown[#shown + 1] = squeeze(line) end
  assert(table.concat(printed, "\n") == table.concat(shown, "\n"), block)
end
file:close()
assert(blocks >= 5, "the README's examples")
print("ok", blocks .. " README examples")
