/*
 * The commands of the two script libraries, one row each: X(name, function,
 * help) with the name scripts call, the function in namespace parser and
 * the help text (null for a command without help). parser/commands.h
 * declares the functions from these rows and plugin/libraries.cpp makes
 * each library's command and help tables from them.
 */
#ifndef VELLORAN_PLUGIN_COMMANDS_H
#define VELLORAN_PLUGIN_COMMANDS_H

/* Library 0, "xml". */
#define XML_COMMANDS(X)                                                                            \
  X("CreateParser", CreateParser, "p=xml.CreateParser(t[,sep$,merge]) -- create new parser")

/* Library 1, "parser:": the methods of parser objects; __gc is the
   collector hook. */
// clang-format off
#define PARSER_COMMANDS(X)                                                                         \
  X("Free", Free, "parser:Free() -- free parser")                                                  \
  X("Parse", Parse, "ok=parser:Parse(s$) -- parse XML code")                                       \
  X("GetPosition", GetPosition,                                                                    \
    "line,col,pos=parser:GetPosition() -- get current parsing position")                          \
  X("SetEncoding", SetEncoding, "parser:SetEncoding(e$) -- set parser encoding")                   \
  X("GetCallbacks", GetCallbacks, "cb=parser:GetCallbacks() -- get parser callbacks")              \
  X("GetBase", GetBase, "s$=parser:GetBase() -- get base for relative URIs")                       \
  X("SetBase", SetBase, "parser:SetBase(s$) -- set base for relative URIs")                        \
  X("Stop", Stop, "ok=parser:Stop() -- stop the parser")                                           \
  X("GetError", GetError,                                                                          \
    "s$,line,col,pos=parser:GetError() -- get extended error information (V2.0)")                  \
  X("SetParamEntityParsing", SetParamEntityParsing,                                                \
    "ok=parser:SetParamEntityParsing(mode) -- set parameter entity parsing")                       \
  X("UseForeignDTD", UseForeignDTD,                                                                \
    "parser:UseForeignDTD([flag]) -- use a DTD for documents without one")                        \
  X("GetInputContext", GetInputContext,                                                            \
    "s$=parser:GetInputContext() -- get the document text of the current event")                  \
  X("__gc", Collect, nullptr)
// clang-format on

#endif
