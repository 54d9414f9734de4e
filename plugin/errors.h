/*
 * The plugin's error messages. InitPlugin registers them with the host in
 * this order and keeps the ids; commands return an id, handlers raise one.
 * An id of 0 means the message was never registered.
 */
#ifndef VELLORAN_PLUGIN_ERRORS_H
#define VELLORAN_PLUGIN_ERRORS_H

/* X(id, message) for each message, in the order of registration. */
#define PLUGIN_ERROR_MESSAGES(X)                                                                   \
  X(ERR_PARSER_CREATE, "XML_ParserCreate failed!")                                                 \
  X(ERR_INVALID_KEY, "Invalid key \"%s\" in callback table!")                                      \
  X(ERR_PARSER_EXPECTED, "Expat parser expected!")                                                 \
  X(ERR_PARSER_CLOSED, "Parser is closed!")                                                        \
  X(ERR_INVALID_STATE, "Invalid parser state!")                                                    \
  X(ERR_CLOSING, "Error closing parser: %s!") /* registered only: nothing returns it */            \
  X(ERR_NOT_A_FUNCTION, "XML callback \"%s\" is not a function!")                                  \
  X(ERR_GENERIC, "Generic XML error!")

enum ErrorMessage {
#define ERROR_ID(id, message) id,
  PLUGIN_ERROR_MESSAGES(ERROR_ID)
#undef ERROR_ID
  ERROR_MESSAGE_COUNT
};

/* The id the host gave each message; 0 until InitPlugin registered it. */
extern int errorIds[ERROR_MESSAGE_COUNT];

/* The texts, in the order of registration. */
extern const char *const errorMessages[ERROR_MESSAGE_COUNT];

/* Registers every message with the host and keeps the ids. */
void registerErrors();

#endif
