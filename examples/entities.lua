-- Parses a document whose external entities live in files, each resolved
-- against the base that Expat reports, and prints the document as an
-- indented outline of elements and text.
-- Usage: velloran examples/entities.lua examples/book.xml
local args = {...}
if #args == 0 and arg then args = arg end
local path = args[1] or "examples/book.xml"

local function readFile(name)
  local f = io.open(name, "rb")
  if not f then return nil end
  local text = f:read("*a")
  f:close()
  return text
end

local function directory(name)
  return name:match("^(.*)/[^/]*$") or "."
end

local depth = 0
local callbacks = {
  startelement = function(p, name, attributes)
    local shown = {}
    for k, v in pairs(attributes) do shown[#shown + 1] = k .. "=" .. v end
    table.sort(shown)
    print(string.rep("  ", depth) .. name .. (#shown > 0 and " [" .. table.concat(shown, " ") .. "]" or ""))
    depth = depth + 1
  end,
  endelement = function(p, name)
    depth = depth - 1
  end,
  characterdata = function(p, text)
    text = text:gsub("^%s+", ""):gsub("%s+$", "")
    if text ~= "" then print(string.rep("  ", depth) .. string.format("%q", text)) end
  end,
  -- child is a parser object that lives for this call only: feed it the
  -- entity's text and finish it. A nonzero result lets parsing go on.
  externalentityref = function(p, child, base, systemId, publicId)
    local file = systemId
    if base and not systemId:match("^/") then file = base .. "/" .. systemId end
    local text = readFile(file)
    if not text then
      print("cannot read external entity " .. file)
      return 0
    end
    print(string.rep("  ", depth) .. "(entity " .. file .. ")")
    if child:Parse(text) ~= 1 or child:Parse() ~= 1 then
      local message, line, column = child:GetError()
      print(string.format("%s:%d:%d: %s", file, line, column, message))
      return 0
    end
    return 1
  end,
}

local text = assert(readFile(path), "cannot read " .. path)
local p = xml.CreateParser(callbacks)
p:SetBase(directory(path)) -- system ids are resolved against this
if p:Parse(text) ~= 1 or p:Parse() ~= 1 then
  local message, line, column = p:GetError()
  print(string.format("%s:%d:%d: %s", path, line, column, message))
end
p:Free()
