// The callback keys that a callback table may hold, in their fixed order.
#include "events/handlers.h"

const char *const callbackKeys[] = {
    "startcdatasection",
    "endcdatasection",
    "characterdata",
    "comment",
    "defaulthandler",
    "defaultexpand",
    "startelement",
    "endelement",
    "externalentityref",
    "startnamespacedecl",
    "endnamespacedecl",
    "notationdecl",
    "notstandalone",
    "processinginstruction",
    "unparsedentitydecl",
    "startdoctypedecl",
    "entitydecl",
    "attlistdecl",
    "elementdecl",
    "enddoctypedecl",
    "skippedentity",
    "xmldecl",
    nullptr,
};

static_assert(sizeof(callbackKeys) / sizeof(callbackKeys[0]) == KEY_COUNT + 1,
              "one name per callback key, then the null end");
