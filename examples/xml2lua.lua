-- Reads any XML document into tables and prints them as a Lua table
-- constructor; with --back, writes the tables out again as XML.
--
--   velloran examples/xml2lua.lua FILE [named|indexed] [--back]
local path = arg[1] or "examples/outline.xml"
local format = arg[2] or "indexed"
local back = arg[3] == "--back" or arg[2] == "--back"
if format == "--back" then format = "indexed" end

local function quote(v)
  if type(v) == "string" then return string.format("%q", v) end
  return tostring(v)
end

local function keyText(k)
  if type(k) == "string" and k:match("^[%a_][%w_]*$") then return k end
  return "[" .. quote(k) .. "]"
end

local function dump(t, indent)
  local keys = {}
  for k in pairs(t) do keys[#keys + 1] = k end
  table.sort(keys, function(a, b)
    if type(a) == type(b) then return a < b end
    return type(a) == "number"
  end)
  local lines = {"{"}
  for _, k in ipairs(keys) do
    local v = t[k]
    local text = type(v) == "table" and dump(v, indent .. "  ") or quote(v)
    lines[#lines + 1] = indent .. "  " .. keyText(k) .. " = " .. text .. ","
  end
  lines[#lines + 1] = indent .. "}"
  return table.concat(lines, "\n")
end

local file = assert(io.open(path, "rb"))
local text = file:read("*a")
file:close()

local options = {format = format}
local tables = velloran.DeserializeTable(text, options)
if back then
  io.write(velloran.SerializeTable(tables, options))
else
  print(dump(tables, ""))
end
