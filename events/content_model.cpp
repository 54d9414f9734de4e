// The "elementdecl" handler: Expat's content model becomes nested script
// tables. Node tables hold "type", "quantifier", "name" (named nodes only)
// and "children" (an array at keys 0 to n-1, nodes with children only).
//
// The conversion walks the tree without recursion and uses a fixed number of
// script stack slots, however deep the model is nested: the children table
// of each open level is kept in a helper table (key = depth), and the walk
// position of each level in a work list held by a userdata of that table
// (key 0), so that both belong to the script engine and nothing is left
// behind if it raises.
#include "events/callbacks.h"

#include <string.h>

#include "host/services.h"
#include "parser/dispatch.h"

namespace {

/* Where the walk stands on one open level of the tree. */
struct ModelStep {
  const XML_Content *node; /* the node whose children are being converted */
  unsigned int next;       /* index of the next child to convert */
};

/* Script stack slots that the conversion needs at most, the array it fills
   included: helper table, parent array, node table, its children array, a
   copy of the helper and of that array, and two more while a level opens
   (or a field's key and value copy while one is set). */
const int MODEL_STACK_SLOTS = 9;
const int MODEL_FIRST_STEPS = 16;

/* The open levels: steps[0 .. depth-1]; grows by doubling. */
struct ModelWalk {
  ModelStep *steps;
  int capacity;
  int depth;
};

} // namespace

/* Stores the value on top of the stack as field name of the table beneath
   it, and pops the value. */
static void setField(lua_State *L, const char *name) {
  host::lua_pushstring(L, name);
  host::lua_pushvalue(L, -2);
  host::lua_settable(L, -4);
  host::lua_settop(L, -2);
}

/* Makes room for one more level. The helper table is on top of the stack;
   a larger work list replaces the old one at its key 0. */
static void growWalk(lua_State *L, ModelWalk *walk) {
  if (walk->depth < walk->capacity)
    return;
  int capacity = walk->capacity ? walk->capacity * 2 : MODEL_FIRST_STEPS;
  ModelStep *steps =
      static_cast<ModelStep *>(host::lua_newuserdata(L, sizeof(ModelStep) * capacity));
  if (walk->depth)
    memcpy(steps, walk->steps, sizeof(ModelStep) * walk->depth);
  host::lua_rawseti(L, -2, 0);
  walk->steps = steps;
  walk->capacity = capacity;
}

/* Opens a level for node's children. Expects the helper table and, above
   it, the array to fill; pops both. */
static void openLevel(lua_State *L, ModelWalk *walk, const XML_Content *node) {
  host::lua_pushvalue(L, -2);
  growWalk(L, walk);
  host::lua_settop(L, -2);
  host::lua_rawseti(L, -2, walk->depth + 1);
  host::lua_settop(L, -2);
  walk->steps[walk->depth].node = node;
  walk->steps[walk->depth].next = 0;
  walk->depth++;
}

/* Fills the array table on top of the stack with the children of top. */
static void convertChildren(lua_State *L, const XML_Content *top) {
  ModelWalk walk = {nullptr, 0, 0};
  host::lua_newtable(L); /* array, helper */
  host::lua_pushvalue(L, -1);
  host::lua_pushvalue(L, -3);
  openLevel(L, &walk, top);
  while (walk.depth > 0) {
    ModelStep *step = &walk.steps[walk.depth - 1];
    if (step->next == step->node->numchildren) {
      walk.depth--;
      continue;
    }
    unsigned int index = step->next++;
    const XML_Content *node = &step->node->children[index];
    host::lua_rawgeti(L, -1, walk.depth); /* helper, array of this level */
    host::lua_newtable(L);                /* helper, array, node */
    host::lua_pushnumber(L, node->type);
    setField(L, "type");
    host::lua_pushnumber(L, node->quant);
    setField(L, "quantifier");
    if (node->name) {
      host::lua_pushstring(L, node->name);
      setField(L, "name");
    }
    if (node->numchildren) {
      /* The node's array is stored at once and filled when its level is
         walked, so the fields keep their order. */
      host::lua_newtable(L); /* helper, array, node, children */
      host::lua_pushstring(L, "children");
      host::lua_pushvalue(L, -2);
      host::lua_settable(L, -4);
      host::lua_pushvalue(L, -4);
      host::lua_pushvalue(L, -2);
      openLevel(L, &walk, node);
      host::lua_settop(L, -2);
    }
    host::lua_rawseti(L, -2, static_cast<int>(index));
    host::lua_settop(L, -2);
  }
  host::lua_settop(L, -2); /* the helper */
}

/* The model's children as nested tables, or nil. A fixed number of slots,
   within what every command's frame has free, whatever the depth. */
static void pushChildren(lua_State *L, const void *data) {
  const auto *model = static_cast<const XML_Content *>(data);
  if (!model->numchildren) {
    host::lua_pushnil(L);
    return;
  }
  host::lua_checkstack(L, MODEL_STACK_SLOTS);
  host::lua_newtable(L);
  convertChildren(L, model);
}

/* Expat hands the model over to this handler: it is freed on every path. */
void XMLCALL onElementDecl(void *userData, const XML_Char *name, XML_Content *model) {
  ScriptEvent event = {KEY_ELEMENTDECL, 4,
                       {stringArg(name), numberArg(model->type), numberArg(model->quant),
                        pushedArg(pushChildren, model)}};
  dispatchEvent(userData, &event);
  XML_FreeContentModel(static_cast<ParserRecord *>(userData)->expatParser, model);
}
