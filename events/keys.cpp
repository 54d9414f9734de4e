// The callback keys' names and the registration of their Expat handlers,
// made from the one list in events/keys.h.
#include "events/keys.h"

#include "events/callbacks.h"

#define KEY_NAME(id, name, setter, handlers, partner) name,
const char *const callbackKeys[] = {CALLBACK_KEYS(KEY_NAME) nullptr};
#undef KEY_NAME

namespace {

#define HANDLER_LIST(...) __VA_ARGS__
#define INSTALL_FUNCTION(id, name, setter, handlers, partner)                                   \
  void install##id(XML_Parser parser) {                                                         \
    setter(parser, HANDLER_LIST handlers);                                                      \
  }
CALLBACK_KEYS(INSTALL_FUNCTION)
#undef INSTALL_FUNCTION

struct HandlerRow {
  void (*install)(XML_Parser parser);
  CallbackKey partner;
};

#define HANDLER_ROW(id, name, setter, handlers, partner) {install##id, KEY_##partner},
const HandlerRow handlerRows[] = {CALLBACK_KEYS(HANDLER_ROW)};
#undef HANDLER_ROW

} // namespace

uint32_t registerKeyHandler(XML_Parser parser, int key) {
  handlerRows[key].install(parser);
  return 1u << key | 1u << handlerRows[key].partner;
}
