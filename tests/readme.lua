-- Runs the Lua examples of README.md: each block with globals of its own
-- (xml and velloran as the caller gives them) must print what its "-->"
-- comments say. Run by test_tables in the host and by module.lua; skip(name),
-- when given, leaves out a block whose document needs a converter the C
-- library lacks.
local readme, xml, velloran, skip = ...
local function squeeze(s) return (s:gsub("%s+", " "):gsub("^ ", ""):gsub(" $", "")) end
local file = assert(io.open(readme, "rb"))
local blocks = 0
for block in file:read("*a"):gmatch("```lua\n(.-)```") do
  blocks = blocks + 1
  local encoding = block:match('encoding="([^"]+)"')
  if encoding and skip and skip(encoding) then block = "" end
  local printed, shown = {}, {}
  local env = setmetatable({xml = xml, velloran = velloran, print = function(...)
    local parts = {}
    for i = 1, select("#", ...) do parts[i] = tostring((select(i, ...))) end
    printed[#printed + 1] = squeeze(table.concat(parts, " "))
  end}, {__index = _G})
  setfenv(assert(loadstring(block, "=README")), env)()
  for line in block:gmatch("%-%->([^\n]*)") do shown[#shown + 1] = squeeze(line) end
  assert(table.concat(printed, "\n") == table.concat(shown, "\n"), table.concat(printed, "\n"))
end
file:close()
assert(blocks >= 6, "README.md holds the script API examples")
