-- Streaming memory: reads an "items" file with velloran.ReadTable and
-- reports the plugin's peak of live tagged memory during the read.
--
--   velloran bench/stream.lua make FILE MEGABYTES   writes the file
--   velloran bench/stream.lua read FILE             reads it back
--
-- "make" writes copies of one table of records under keys 1, 2, ... until
-- the file is at least MEGABYTES large. "read" prints
-- "read=SECONDS peak=BYTES size=BYTES".
local mode, path = arg[1], arg[2]
local options = {format = "items"}

local function fileSize(name)
  local f = assert(io.open(name, "rb"))
  local size = f:seek("end")
  f:close()
  return size
end

if mode == "make" then
  local wanted = tonumber(arg[3]) * 1000 * 1000
  local block = {}
  for i = 1, 10000 do
    block[i] = {name = "entry " .. i, size = i * 3, ratio = i / 7, kind = {"a", "b"}}
  end
  -- Measure one copy, then write as many as the size needs.
  velloran.WriteTable(path, {block}, options)
  local copies = math.ceil(wanted / fileSize(path))
  local t = {}
  for i = 1, copies do t[i] = block end
  velloran.WriteTable(path, t, options)
  print(string.format("size=%d copies=%d", fileSize(path), copies))
elseif mode == "read" then
  collectgarbage()
  velloran.memory(true)
  local start = os.clock()
  local t = velloran.ReadTable(path, options)
  local elapsed = os.clock() - start
  local peak = velloran.memory().peak
  assert(type(t) == "table" and #t > 0)
  print(string.format("read=%.6f peak=%d size=%d", elapsed, peak, fileSize(path)))
else
  error("unknown mode " .. tostring(mode))
end
