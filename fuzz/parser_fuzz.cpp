// The parser object under hostile documents: the input's first bytes choose
// the options (merging, namespace separator, how the parse ends, what the
// callbacks do from inside), the rest is the document, fed to Parse in
// chunks of pseudo-random sizes. All 22 callbacks are present; some call
// the object's methods, stop it, fail on purpose, or parse external
// entities with child objects. Any error other than the expected ones, any
// result other than 0 or 1, and, in the quiet mode, any difference between
// the chunked parse and the parse in one piece is a finding.
#include "fuzz/support.h"

namespace {

const char *const DRIVER = R"lua(
local KEYS = {
  "startcdatasection", "endcdatasection", "characterdata", "comment", "defaulthandler",
  "defaultexpand", "startelement", "endelement", "externalentityref", "startnamespacedecl",
  "endnamespacedecl", "notationdecl", "notstandalone", "processinginstruction",
  "unparsedentitydecl", "startdoctypedecl", "entitydecl", "attlistdecl", "elementdecl",
  "enddoctypedecl", "skippedentity", "xmldecl"}

local EXPECTED = {"deliberate", "Invalid parser state!", "Parser is closed!",
                  "is not a function!"}

local function expected(err)
  for _, text in ipairs(EXPECTED) do
    if string.find(tostring(err), text, 1, true) then return true end
  end
  return false
end

-- Parse must give 0 or 1 or an expected error; Free nothing or an
-- expected error.
local function check(ok, result, what)
  if ok then
    if what == "Free" then
      if result ~= nil then error("Free returned " .. tostring(result)) end
    elseif result ~= 0 and result ~= 1 then error(what .. " returned " .. tostring(result)) end
  elseif not expected(result) then
    error(what .. " raised an unexpected error: " .. tostring(result))
  end
end

-- Text form of an event argument: tables (attributes, content models) in
-- key order, so that two runs can be compared.
local function describe(v, depth)
  if type(v) ~= "table" then return tostring(v) end
  if depth > 20 then return "{...}" end
  local keys = {}
  for k in pairs(v) do keys[#keys + 1] = k end
  table.sort(keys, function(a, b) return tostring(a) < tostring(b) end)
  local parts = {}
  for _, k in ipairs(keys) do parts[#parts + 1] = tostring(k) .. "=" .. describe(v[k], depth + 1) end
  return "{" .. table.concat(parts, ",") .. "}"
end

-- A pseudo-random stream of numbers from a seed, for chunk sizes and actions.
local function stream(seed)
  local x = seed
  return function(n)
    x = (x * 1103515245 + 12345) % 2147483648
    return math.floor(x / 65536) % n
  end
end

-- Feeds text to p in chunks whose sizes come from rnd; returns the results.
local function feed(p, text, rnd, maxChunk)
  local results = {}
  local at = 1
  while at <= #text do
    local size = 1 + rnd(maxChunk)
    local ok, r = pcall(p.Parse, p, text:sub(at, at + size - 1))
    check(ok, r, "Parse")
    results[#results + 1] = ok and r or "error"
    at = at + size
  end
  return results
end

-- Callbacks that only record the events (quiet mode).
local function recorder(log)
  local cb = {}
  for _, key in ipairs(KEYS) do
    cb[key] = function(self, ...)
      local parts = {key}
      for i = 1, select("#", ...) do
        local v = select(i, ...)
        parts[#parts + 1] = (key == "externalentityref" and i == 1) and "child" or describe(v, 0)
      end
      local entry = table.concat(parts, ":")
      -- text may come in more pieces when cut differently: join neighbours
      local last = log[#log]
      if (key == "characterdata" or key == "defaulthandler" or key == "defaultexpand")
         and last and last.key == key then
        last.text = last.text .. entry:sub(#key + 2)
      else
        log[#log + 1] = {key = key, text = entry:sub(#key + 2)}
      end
      if key == "notstandalone" then return 1 end
      if key == "externalentityref" then return 1 end
    end
  end
  return cb
end

local function try(what, f, ...)
  local ok, r = pcall(f, ...)
  check(ok, r, what)
  return ok, r
end

local function flatten(log)
  local out = {}
  for i, e in ipairs(log) do out[i] = e.key .. ":" .. e.text end
  return table.concat(out, "\n")
end

local function quiet(body, sep, merge, rnd)
  local wholeLog, cutLog = {}, {}
  local p = xml.CreateParser(recorder(wholeLog), sep, merge)
  local r1 = p:Parse(body)
  local r2 = p:Parse()
  local e1 = p:GetError()
  p:Free()
  local q = xml.CreateParser(recorder(cutLog), sep, merge)
  local results = feed(q, body, rnd, 16)
  local s2 = q:Parse()
  local e2 = q:GetError()
  q:Free()
  local failedAt = r1 == 0 and "chunk" or (r2 == 0 and "final") or "none"
  local cutFailed = "none"
  for _, r in ipairs(results) do if r == 0 then cutFailed = "chunk" end end
  if cutFailed == "none" and s2 == 0 then cutFailed = "final" end
  -- Expat itself may find a different first error in a document that it
  -- gets in other pieces (UTF-16 cut inside a character, for one), and
  -- report different events before it: compare documents it accepts.
  if (failedAt == "none") ~= (cutFailed == "none") then
    error("whole and cut parses end differently: " .. tostring(e1) .. " / " .. tostring(e2))
  end
  if failedAt == "none" and flatten(wholeLog) ~= flatten(cutLog) then
    error("whole and cut parses report different events:\n" .. flatten(wholeLog) ..
          "\n----\n" .. flatten(cutLog))
  end
end

local function busy(body, sep, merge, rnd, actions, endWithFree)
  local entityDepth = 0
  local cb = {}
  local p
  for _, key in ipairs(KEYS) do
    cb[key] = function(self, ...)
      for i = 1, select("#", ...) do describe((select(i, ...)), 0) end
      local action = rnd(actions)
      if action == 0 then
        local line, col, pos = self:GetPosition()
        assert(line >= 1 and col >= 1 and pos >= 0, "position out of range")
        local context = self:GetInputContext()
        assert(context == nil or type(context) == "string", "input context not a string")
      elseif action == 1 then
        local msg, line, col, pos = self:GetError()
        assert(line >= 1 and col >= 1 and pos >= 0, "error position out of range")
      elseif action == 2 then
        assert(self:GetCallbacks() == cb, "another callback table")
      elseif action == 3 then
        local r = self:Stop()
        assert(r == 0 or r == 1)
      elseif action == 4 then
        try("Parse", self.Parse, self, "<x/>")
      elseif action == 5 then
        error("deliberate")
      elseif action == 6 then
        self:SetBase(tostring(rnd(100)))
        self:GetBase()
      elseif action == 7 then
        cb[KEYS[1 + rnd(#KEYS)]] = ({0, "0", {}, cb[key]})[1 + rnd(4)]
      elseif action == 8 then
        collectgarbage()
      elseif action == 9 then
        try("Free", self.Free, self)
      end
      if key == "notstandalone" then return rnd(2) end
      if key == "externalentityref" then
        local child = ...
        if entityDepth < 3 then
          entityDepth = entityDepth + 1
          local from = 1 + rnd(#body + 1)
          feed(child, body:sub(from, from + rnd(200)), rnd, 32)
          try("Parse", child.Parse, child)
          entityDepth = entityDepth - 1
        end
        return rnd(3) > 0 and 1 or 0
      end
    end
  end
  if rnd(4) == 0 then cb._nonstrict = 1 end
  p = xml.CreateParser(cb, sep, merge)
  -- external DTDs and parameter entities through children too
  p:SetParamEntityParsing(rnd(3))
  feed(p, body, rnd, 1 + rnd(64))
  if endWithFree then
    try("Free", p.Free, p)
  else
    try("Parse", p.Parse, p)
  end
  pcall(p.Free, p)
end

function drive(data)
  if #data < 3 then return end
  local options, seed1, seed2 = data:byte(1, 3)
  local body = data:sub(4)
  local merge = options % 2
  local sep = ({nil, "|", " ", "\0"})[1 + math.floor(options / 2) % 4]
  local rnd = stream(seed1 * 256 + seed2)
  if math.floor(options / 8) % 4 == 0 then
    quiet(body, sep, merge, rnd)
  else
    busy(body, sep, merge, rnd, 6 + 2 * (math.floor(options / 32) % 4), options >= 128)
  end
end
)lua";

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
  fuzz::run(DRIVER);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
  lua_State *L = fuzz::host().state();
  lua_getglobal(L, "drive");
  lua_pushlstring(L, reinterpret_cast<const char *>(data), size);
  if (lua_pcall(L, 1, 0, 0) != 0)
    fuzz::fail("parser", lua_tostring(L, -1));
  lua_gc(L, LUA_GCCOLLECT, 0);
  return 0;
}
