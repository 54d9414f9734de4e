-- Long-token workload for the stand-in host: one attribute value or
-- comment of MEGABYTES MiB, parsed in texts of PIECE bytes or in one Parse.
--
--   velloran bench/long_tokens.lua attribute|comment MEGABYTES PIECE|whole
--
-- The document is made first (not timed); the cutting into texts is part
-- of the time. Prints "parse=SECONDS" (processor time).
local kind, megabytes, piece = arg[1], tonumber(arg[2]), arg[3]
local value = string.rep("v", megabytes * 1024 * 1024)
local doc = kind == "attribute" and '<d a="' .. value .. '"/>' or '<d><!--' .. value .. '--></d>'
value = nil
local seen = 0
local p = xml.CreateParser({startelement = function(p, name, attrs) seen = seen + #(attrs.a or "") end,
                            comment = function(p, text) seen = seen + #text end})
collectgarbage()
local start = os.clock()
local ok = true
if piece == "whole" then
  ok = p:Parse(doc) == 1
else
  local size = assert(tonumber(piece), "piece size or whole")
  for at = 1, #doc, size do
    ok = ok and p:Parse(doc:sub(at, at + size - 1)) == 1
  end
end
ok = ok and p:Parse() == 1
local elapsed = os.clock() - start
assert(ok and seen == megabytes * 1024 * 1024, "the token did not arrive whole")
p:Free()
print(string.format("parse=%.6f", elapsed))
