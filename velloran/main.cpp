/*
 * velloran: the stand-in Velloran host's command line. Runs a script the way
 * the standalone lua interpreter does, with the plugin's libraries bound.
 */
#include <limits.h>
#include <stdio.h>
#include <string.h>
#include <strings.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "velloran/host.h"
#include "velloran/services.h"

namespace {

const char *const USAGE =
    "usage: velloran [options] [SCRIPT [ARGS...]]\n"
    "Runs a Lua 5.1 script with the xml.vlp plugin bound (globals xml, velloran).\n"
    "Options:\n"
    "  -e CODE           run CODE (may be repeated; without a script only the code runs)\n"
    "  -                 read the script from standard input\n"
    "  --                stop handling options\n"
    "  --plugin PATH     plugin file (default: xml.vlp next to this program)\n"
    "  --encoding NAME   host text encoding: utf-8 (default) or iso-8859-1\n"
    "  --commands        list every library's commands, help strings and constants\n"
    "  --version         show the host's and the plugin's version\n"
    "  --help            show this text\n";

const char *const HOST_VERSION = "velloran 1.0 (stand-in Velloran host for Linux)";

struct EncodingName {
  const char *name;
  int id;
};
const EncodingName encodingNames[] = {
    {"utf-8", ENCODING_UTF8},
    {"iso-8859-1", ENCODING_ISO_8859_1},
    {nullptr, 0},
};

struct Options {
  std::vector<const char *> chunks; /* -e, in order */
  std::string plugin;
  int encoding = ENCODING_UTF8;
  bool commands = false, version = false, help = false;
  int script = 0; /* argv index of the script; 0 when there is none */
  bool scriptFromStdin = false;
};

int usageError(const char *fault, const char *what) {
  fprintf(stderr, "velloran: %s%s\n%s", fault, what, USAGE);
  return 1;
}

std::string defaultPluginPath() {
  char self[PATH_MAX];
  ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0)
    return "xml.vlp";
  std::string path(self, n);
  return path.substr(0, path.rfind('/') + 1) + "xml.vlp";
}

/* Returns 0 when the options are good, else the exit status. */
int parseOptions(int argc, char **argv, Options *o) {
  int i = 1;
  for (; i < argc; i++) {
    const char *a = argv[i];
    if (a[0] != '-' || strcmp(a, "-") == 0)
      break;
    if (strcmp(a, "--") == 0) {
      i++;
      break;
    }
    bool takesValue =
        strcmp(a, "-e") == 0 || strcmp(a, "--plugin") == 0 || strcmp(a, "--encoding") == 0;
    if (takesValue && i + 1 >= argc)
      return usageError("option needs an argument: ", a);
    if (strcmp(a, "-e") == 0) {
      o->chunks.push_back(argv[++i]);
    } else if (strcmp(a, "--plugin") == 0) {
      o->plugin = argv[++i];
    } else if (strcmp(a, "--encoding") == 0) {
      const char *name = argv[++i];
      const EncodingName *e = encodingNames;
      while (e->name && strcasecmp(e->name, name) != 0)
        e++;
      if (!e->name)
        return usageError("unknown encoding: ", name);
      o->encoding = e->id;
    } else if (strcmp(a, "--commands") == 0) {
      o->commands = true;
    } else if (strcmp(a, "--version") == 0) {
      o->version = true;
    } else if (strcmp(a, "--help") == 0) {
      o->help = true;
    } else {
      return usageError("unrecognized option: ", a);
    }
  }
  if (i < argc) {
    o->script = i;
    o->scriptFromStdin = strcmp(argv[i], "-") == 0 && strcmp(argv[i - 1], "--") != 0;
  }
  if (o->plugin.empty())
    o->plugin = defaultPluginPath();
  return 0;
}

void printCommands(const velloran::Plugin *plugin) {
  const std::vector<velloran::Library> &libraries = velloran::pluginLibraries(plugin);
  for (size_t i = 0; i < libraries.size(); i++) {
    const velloran::Library &library = libraries[i];
    if (library.methods)
      printf("library %zu: %s (methods of \"%s\")\n", i, library.base.c_str(),
             library.metatable.c_str());
    else
      printf("library %zu: %s\n", i, library.base.c_str());
    for (int c = 0; library.commands[c].name; c++) {
      const char *help = library.help ? library.help[c].text : nullptr;
      printf("  %-16s %s\n", library.commands[c].name, help ? help : "(no help text)");
    }
    if (library.constants && library.constants->name) {
      printf("  constants:\n");
      for (const ConstantRecord *k = library.constants; k->name; k++)
        printf("    %s.%s = %.14g\n", library.base.c_str(), k->name, k->value);
    }
  }
}

/* Message handler: the error text with a traceback. */
int traceback(lua_State *L) {
  if (!lua_isstring(L, 1) && !luaL_callmeta(L, 1, "__tostring"))
    lua_pushfstring(L, "(error object is a %s value)", luaL_typename(L, 1));
  else if (!lua_isstring(L, 1))
    lua_replace(L, 1);
  lua_getglobal(L, "debug");
  if (!lua_istable(L, -1)) {
    lua_pop(L, 1);
    return 1;
  }
  lua_getfield(L, -1, "traceback");
  lua_pushvalue(L, -3);
  lua_pushinteger(L, 2);
  lua_call(L, 2, 1);
  return 1;
}

/* Calls the chunk below its nargs arguments with the traceback handler;
   reports a failure on standard error. */
bool call(lua_State *L, int nargs) {
  int base = lua_gettop(L) - nargs;
  lua_pushcfunction(L, traceback);
  lua_insert(L, base);
  int status = lua_pcall(L, nargs, 0, base);
  lua_remove(L, base);
  if (status == 0)
    return true;
  fprintf(stderr, "velloran: %s\n", lua_tostring(L, -1) ? lua_tostring(L, -1) : "(no message)");
  lua_pop(L, 1);
  return false;
}

bool reportLoadError(lua_State *L) {
  fprintf(stderr, "velloran: %s\n", lua_tostring(L, -1));
  lua_pop(L, 1);
  return false;
}

/* arg[0] is the script, arg[1]... its arguments, negative indexes the
   interpreter and its options; without a script arg[0] is the program. */
void setArgTable(lua_State *L, int argc, char **argv, int script) {
  lua_createtable(L, argc - script, script + 1);
  for (int i = 0; i < argc; i++) {
    lua_pushstring(L, argv[i]);
    lua_rawseti(L, -2, i - script);
  }
  lua_setglobal(L, "arg");
}

bool runScript(lua_State *L, const Options &o, int argc, char **argv) {
  const char *name = o.scriptFromStdin ? nullptr : argv[o.script];
  if (luaL_loadfile(L, name) != 0)
    return reportLoadError(L);
  int first = o.script ? o.script + 1 : argc;
  int nargs = argc - first;
  luaL_checkstack(L, nargs, "too many arguments to script");
  for (int i = first; i < argc; i++)
    lua_pushstring(L, argv[i]);
  return call(L, nargs);
}

struct Run {
  const Options *options;
  int argc;
  char **argv;
  int status;
};

/* Runs the -e chunks, then the script; under lua_cpcall, so that even a
   failure outside the chunks (no memory for arg) is reported, not fatal. */
int runAll(lua_State *L) {
  Run *r = static_cast<Run *>(lua_touserdata(L, 1));
  const Options &o = *r->options;
  lua_pop(L, 1);
  r->status = 1;
  setArgTable(L, r->argc, r->argv, o.script);
  for (size_t i = 0; i < o.chunks.size(); i++) {
    const char *chunk = o.chunks[i];
    if (luaL_loadbuffer(L, chunk, strlen(chunk), "=(command line)") != 0)
      return reportLoadError(L), 0;
    if (!call(L, 0))
      return 0;
  }
  if ((o.script || o.scriptFromStdin) && !runScript(L, o, r->argc, r->argv))
    return 0;
  r->status = 0;
  return 0;
}

} // namespace

int main(int argc, char **argv) {
  Options o;
  if (int status = parseOptions(argc, argv, &o))
    return status;
  if (o.help) {
    fputs(USAGE, stdout);
    return 0;
  }
  velloran::setHostEncoding(o.encoding);
  if (o.version || o.commands) {
    std::string error;
    const velloran::Plugin *plugin = velloran::loadPlugin(o.plugin.c_str(), &error);
    if (o.version)
      printf("%s, %s\n", HOST_VERSION, LUA_RELEASE);
    if (!plugin) {
      fprintf(stderr, "velloran: %s\n", error.c_str());
      return 1;
    }
    if (o.version)
      printf("%s: %s %d.%d (%s) %s\n", o.plugin.c_str(), plugin->info.name, plugin->info.version,
             plugin->info.revision, plugin->info.date, plugin->info.description);
    if (o.commands)
      printCommands(plugin);
    return 0;
  }
  if (!o.script && o.chunks.empty()) {
    if (isatty(STDIN_FILENO))
      return usageError("no script given", "");
    o.scriptFromStdin = true;
  }
  velloran::Host host(o.plugin.c_str());
  if (!host.ok()) {
    fprintf(stderr, "velloran: %s\n", host.error().c_str());
    return 1;
  }
  Run r = {&o, argc, argv, 1};
  if (lua_cpcall(host.state(), runAll, &r) != 0) {
    fprintf(stderr, "velloran: %s\n", velloran::describeValue(host.state(), -1).c_str());
    return 1;
  }
  return r.status;
}
