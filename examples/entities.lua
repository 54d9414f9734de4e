-- Parses a document whose external entities live in files, each resolved
-- against the base that Expat reports, and prints the document as an
-- indented outline of elements and text.
-- Usage: velloran examples/entities.lua examples/book.xml
local args = {...}
if #args == 0 and arg then args = arg end
local path = args[1] or "examples/book.xml"
local files = dofile((arg and arg[0] or ""):match("^(.-)[^/]*$") .. "entity_files.lua")

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
  externalentityref = files.entityReader(function(file)
    print(string.rep("  ", depth) .. "(entity " .. file .. ")")
  end),
}

local p = xml.CreateParser(callbacks)
files.parseFile(p, path)
p:Free()
