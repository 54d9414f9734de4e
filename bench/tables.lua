-- Document-to-tables and tables-to-document workloads for the stand-in
-- host: velloran.DeserializeTable of a document in the "indexed" format,
-- then velloran.SerializeTable of the table it gave.
--
--   velloran bench/tables.lua FILE
--
-- Prints "parse=SECONDS unparse=SECONDS" (processor time of each step).
local path = arg[1]
local f = assert(io.open(path, "rb"))
local text = f:read("*a")
f:close()

local options = {format = "indexed"}
collectgarbage()
local start = os.clock()
local t = velloran.DeserializeTable(text, options)
local middle = os.clock()
local out = velloran.SerializeTable(t, options)
local finish = os.clock()
assert(type(t) == "table" and #out > 0)
print(string.format("parse=%.6f unparse=%.6f", middle - start, finish - middle))
