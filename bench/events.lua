-- Event workload for the stand-in host: parses a document with empty
-- script callbacks, merging on, the whole text in one Parse call.
--
--   velloran bench/events.lua FILE three|all
--
-- three: "startelement", "endelement" and "characterdata";
-- all:   all 22 callback keys.
-- Prints "parse=SECONDS" (processor time of the parse alone).
local path, mode = arg[1], arg[2] or "three"

local f = assert(io.open(path, "rb"))
local text = f:read("*a")
f:close()

local function none() end
local keys = {
  three = {"startelement", "endelement", "characterdata"},
  all = {"startcdatasection", "endcdatasection", "characterdata", "comment",
         "defaulthandler", "defaultexpand", "startelement", "endelement",
         "externalentityref", "startnamespacedecl", "endnamespacedecl",
         "notationdecl", "notstandalone", "processinginstruction",
         "unparsedentitydecl", "startdoctypedecl", "entitydecl", "attlistdecl",
         "elementdecl", "enddoctypedecl", "skippedentity", "xmldecl"},
}
local callbacks = {}
for _, key in ipairs(assert(keys[mode], "unknown mode " .. tostring(mode))) do
  callbacks[key] = none
end
-- "notstandalone" must say yes, or Expat stops at a document with a DTD.
if callbacks.notstandalone then callbacks.notstandalone = function() return 1 end end

collectgarbage()
local start = os.clock()
local p = xml.CreateParser(callbacks)
local ok = p:Parse(text) == 1 and p:Parse() == 1
local elapsed = os.clock() - start
if not ok then
  local message, line = p:GetError()
  error(string.format("%s: %s at line %s", path, tostring(message), tostring(line)))
end
p:Free()
print(string.format("parse=%.6f", elapsed))
