-- Event workload for the stand-in host: parses a document with empty
-- script callbacks, merging on.
--
--   velloran bench/events.lua FILE three|all|count [whole|chunked]
--
-- three: "startelement", "endelement" and "characterdata";
-- all:   all 22 callback keys;
-- count: the three keys, counting calls (prints "events=N", not timed).
-- whole: the text read first, then given to one Parse call (default);
-- chunked: the file read and parsed in 64 KB pieces, as a script reads a
-- big file (the reading is then part of the time).
-- Prints "parse=SECONDS" (processor time of the parse, with the reading of
-- the pieces when chunked).
local path, mode, feed = arg[1], arg[2] or "three", arg[3] or "whole"
assert(feed == "whole" or feed == "chunked", "unknown feed " .. feed)

local f = assert(io.open(path, "rb"))
local text = feed == "whole" and f:read("*a")
local function pieces()
  if feed == "chunked" then return f:read(65536) end
  local piece = text
  text = nil
  return piece
end

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
local events = 0
local function count() events = events + 1 end
keys.count = keys.three
local callbacks = {}
for _, key in ipairs(assert(keys[mode], "unknown mode " .. tostring(mode))) do
  callbacks[key] = mode == "count" and count or none
end
-- "notstandalone" must say yes, or Expat stops at a document with a DTD.
if callbacks.notstandalone then callbacks.notstandalone = function() return 1 end end

collectgarbage()
local start = os.clock()
local p = xml.CreateParser(callbacks)
local ok = true
for piece in pieces do
  ok = ok and p:Parse(piece) == 1
end
ok = ok and p:Parse() == 1
local elapsed = os.clock() - start
if not ok then
  local message, line = p:GetError()
  error(string.format("%s: %s at line %s", path, tostring(message), tostring(line)))
end
p:Free()
f:close()
print(string.format("parse=%.6f", elapsed))
if mode == "count" then print("events=" .. events) end
