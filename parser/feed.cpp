/*
 * Handing a script's text to Expat.
 *
 * Expat (2.5) scans a token still open at the end of what it was given
 * again from its start with every later XML_Parse. A long attribute value
 * or comment fed in small pieces would so cost time that grows with the
 * square of its length. Within one text the pieces grow with the open
 * token; across texts the parser object keeps what the script hands it in
 * a buffer of its own while that is shorter than the token Expat holds,
 * and hands it over once it is at least as long. The token at least
 * doubles with every hand-over, so every byte is scanned a bounded number
 * of times, and the kept text is never longer than the open token. Expat
 * sees the same bytes in the same order: events and positions are the
 * same, only character data may be cut at other places, and an error in
 * kept text is reported by the call that hands it over (at the latest the
 * final one).
 */
#include "parser/feed.h"

#include <string.h>

#include "host/services.h"
#include "parser/positions.h"
#include "parser/record.h"

namespace {

const char *const PENDING_TAG = "parsertext";

/* The bytes handed to Expat that it holds unparsed: the token still open
   at their end (0 when Expat tells no position). */
uint64_t heldBytes(const ParserRecord *record) {
  return static_cast<uint64_t>(expatHeldBytes(record->expatParser, record->bytesFed));
}

/* The size of the next piece of a text of length bytes: at least as long
   as the open token, so that the pieces double while it stays open. */
size_t nextPiece(const ParserRecord *record, size_t length) {
  size_t piece = static_cast<size_t>(
      expatNextPiece(record->expatParser, record->bytesFed, record->pieceSize));
  return length < piece ? length : piece;
}

/* Feeds a text in pieces (XML_Parse takes an int length). With merging
   off, character data therefore also arrive split where pieces meet. */
XML_Status feedPieces(ParserRecord *record, const char *text, size_t length) {
  XML_Status status = XML_STATUS_OK;
  while (length > 0 && status == XML_STATUS_OK) {
    size_t piece = nextPiece(record, length);
    status = XML_Parse(record->expatParser, text, static_cast<int>(piece), XML_FALSE);
    record->bytesFed += static_cast<int64_t>(piece);
    text += piece;
    length -= piece;
  }
  return status;
}

/* Keeps the text back when, with what is kept already, it is shorter than
   the open token (and Expat would take more at all). The buffer is made
   as long as the token at once: the kept text never outgrows it. False
   when the text is to be handed over now, also when memory is lacking.
   A child object (an external entity's, whose events go to its parent's
   record) keeps nothing: it is closed when its callback returns, finished
   or not, and text kept back would be lost with it. */
bool keepText(ParserRecord *record, const char *text, size_t length) {
  if (length == 0)
    return true;
  XML_Parser parser = record->expatParser;
  XML_ParsingStatus status;
  XML_GetParsingStatus(parser, &status);
  if (status.parsing != XML_PARSING || XML_GetErrorCode(parser) != XML_ERROR_NONE ||
      XML_GetUserData(parser) != record)
    return false;
  uint64_t held = heldBytes(record);
  if (length >= held || record->pendingLength + length >= held)
    return false;
  if (!record->pending) {
    record->pending = static_cast<char *>(host::AllocMem(static_cast<size_t>(held), 0, PENDING_TAG));
    if (!record->pending)
      return false;
    record->pendingCapacity = static_cast<size_t>(held);
  }
  memcpy(record->pending + record->pendingLength, text, length);
  record->pendingLength += length;
  return true;
}

/* Hands the kept text to Expat, first filling the buffer from the text
   (*text and *length advance past what was taken): the buffer is as long
   as the token was when it was made. The buffer stays the record's until
   it is freed, should an error of the script engine unwind Expat. */
XML_Status handOverPending(ParserRecord *record, const char **text, size_t *length) {
  if (*text) {
    size_t room = record->pendingCapacity - record->pendingLength;
    size_t taken = *length < room ? *length : room;
    memcpy(record->pending + record->pendingLength, *text, taken);
    record->pendingLength += taken;
    *text += taken;
    *length -= taken;
  }
  XML_Status status = feedPieces(record, record->pending, record->pendingLength);
  dropPendingText(record);
  return status;
}

} // namespace

bool expatSetupFailed(XML_Parser parser) {
  XML_ParsingStatus status;
  XML_GetParsingStatus(parser, &status);
  return status.parsing == XML_INITIALIZED && XML_GetErrorCode(parser) != XML_ERROR_NONE;
}

XML_Status feedExpat(ParserRecord *record, const char *text, size_t length) {
  XML_Parser parser = record->expatParser;
  if (expatSetupFailed(parser))
    return XML_STATUS_ERROR;
  if (text && keepText(record, text, length))
    return XML_STATUS_OK;
  if (record->pendingLength > 0) {
    XML_Status status = handOverPending(record, &text, &length);
    if (status != XML_STATUS_OK)
      return status;
    if (text && keepText(record, text, length))
      return XML_STATUS_OK;
  }
  if (!text)
    return XML_Parse(parser, nullptr, 0, XML_TRUE);
  return feedPieces(record, text, length);
}

void dropPendingText(ParserRecord *record) {
  if (record->pending)
    host::FreeMem(record->pending);
  record->pending = nullptr;
  record->pendingLength = record->pendingCapacity = 0;
}
