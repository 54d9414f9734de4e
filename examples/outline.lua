-- Prints the outline of an XML document: elements indented by depth, with
-- their attributes and their text.
--
--   velloran examples/outline.lua [FILE]
local path = arg[1] or "examples/outline.xml"

local depth = 0
local text = {}

local function flushText()
  local s = table.concat(text):gsub("^%s+", ""):gsub("%s+$", ""):gsub("%s+", " ")
  text = {}
  if s ~= "" then
    print(string.rep("  ", depth) .. '"' .. s .. '"')
  end
end

local parser = xml.CreateParser({
  startelement = function(p, name, attributes)
    flushText()
    local names = {}
    for key in pairs(attributes) do names[#names + 1] = key end
    table.sort(names)
    local shown = {}
    for _, key in ipairs(names) do shown[#shown + 1] = key .. "=" .. attributes[key] end
    print(string.rep("  ", depth) .. name ..
          (#shown > 0 and " [" .. table.concat(shown, " ") .. "]" or ""))
    depth = depth + 1
  end,
  endelement = function(p, name)
    flushText()
    depth = depth - 1
  end,
  characterdata = function(p, s)
    text[#text + 1] = s
  end,
})

local file = assert(io.open(path, "rb"))
-- Feed the document in small chunks, as a stream would arrive.
while true do
  local chunk = file:read(64)
  if not chunk then break end
  if parser:Parse(chunk) == 0 then break end
end
file:close()

if parser:Parse() == 0 then
  local message, line, column = parser:GetError()
  io.stderr:write(string.format("%s:%d:%d: %s\n", path, line, column, message))
  os.exit(1)
end
parser:Free()
