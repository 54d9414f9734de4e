#include "plugin/errors.h"

#include "host/services.h"

int errorIds[ERROR_MESSAGE_COUNT];

const char *const errorMessages[ERROR_MESSAGE_COUNT] = {
    "XML_ParserCreate failed!",
    "Invalid key \"%s\" in callback table!",
    "Expat parser expected!",
    "Parser is closed!",
    "Invalid parser state!",
    "Error closing parser: %s!",
    "XML callback \"%s\" is not a function!",
    "Generic XML error!",
};

void registerErrors() {
  /* The result is stored as it is: the host decides what an id looks like. */
  for (int i = 0; i < ERROR_MESSAGE_COUNT; i++)
    errorIds[i] = host::RegisterError(errorMessages[i]);
}
