// Callback keys and the character-data row, until the event handlers land.
#include "events/handlers.h"
#include "parser/dispatch.h"

const char *const callbackKeys[] = {
    "startcdatasection", "endcdatasection", "characterdata", "comment", "defaulthandler",
    "defaultexpand", "startelement", "endelement", "externalentityref", "startnamespacedecl",
    "endnamespacedecl", "notationdecl", "notstandalone", "processinginstruction",
    "unparsedentitydecl", "startdoctypedecl", "entitydecl", "attlistdecl", "elementdecl",
    "enddoctypedecl", "skippedentity", "xmldecl", nullptr};

static void installCharacterData(XML_Parser parser) {
  XML_SetCharacterDataHandler(parser, onCharacterData);
}

const HandlerRow handlerRows[] = {
    {{"characterdata", nullptr}, installCharacterData},
    {{nullptr, nullptr}, nullptr},
};
