#include "plugin/errors.h"

#include "host/services.h"

int errorIds[ERROR_MESSAGE_COUNT];

const char *const errorMessages[ERROR_MESSAGE_COUNT] = {
#define ERROR_TEXT(id, message) message,
    PLUGIN_ERROR_MESSAGES(ERROR_TEXT)
#undef ERROR_TEXT
};

void registerErrors() {
  /* The result is stored as it is: the host decides what an id looks like. */
  for (int i = 0; i < ERROR_MESSAGE_COUNT; i++)
    errorIds[i] = host::RegisterError(errorMessages[i]);
}
