// SPDX-License-Identifier: MIT
// The event catalogue of EventLogger: event types, categories, event
// identifiers and their texts. On Windows the texts live in brimsel.dll's
// message table (resources/messages.mc), where the event viewer reads them;
// Linux has no such table, so the syslog writer renders entries from the
// texts here. Both must say the same; the tests read each back.
#ifndef BRIMSEL_EVENTCATALOGUE_H
#define BRIMSEL_EVENTCATALOGUE_H

#include <brimsel/eventlogger.h>

namespace Brimsel {
namespace catalogue {

// Event types, with the values the Windows event log gives them.
enum EventType { TYPE_ERROR = 1, TYPE_WARNING = 2, TYPE_INFORMATION = 4 };

// Event identifiers. Their severity bits are part of the fixed value only;
// the type of an entry is chosen by the operation that writes it.
const unsigned long EXCEPTION_WARNING = 0x80020100UL;
const unsigned long EXCEPTION_CRITICAL = 0x40020101UL;
const unsigned long SQL_EXCEPTION_CRITICAL = 0x40020102UL;
const unsigned long DAL_EXCEPTION_CRITICAL = 0x40020103UL;
const unsigned long UNKNOWN_EXCEPTION = 0x40020104UL;
const unsigned long WARNING_POSTED = 0x80020105UL;
const unsigned long ERROR_POSTED = 0x40020106UL;
const unsigned long MESSAGE_POSTED = 0xC0020107UL;
const unsigned long DEBUG_POSTED = 0xC0020108UL;
const unsigned long TRACE_POSTED = 0xC0020109UL;

// The category of an entry reported by `layer`. Every layer is named, so
// that a new one cannot go unmapped; a value that names no layer falls to
// category 4, with the client and the user interface.
inline unsigned short categoryOf(EventLogger::Layer layer) {
  switch (layer) {
    case EventLogger::LAYER_DAL:
      return 1;  // "Dal Events"
    case EventLogger::LAYER_DATA:
      return 2;  // "Data Events"
    case EventLogger::LAYER_SERVICE:
      return 3;  // "Data Events"
    case EventLogger::LAYER_CLIENT:
    case EventLogger::LAYER_UI:
      return 4;  // "UI Events"
    case EventLogger::LAYER_DAEMON:
      return 5;  // "Daemon Events"
  }
  return 4;
}

// The text of category 1 to 5, or null for any other number.
inline const char* categoryText(unsigned short category) {
  switch (category) {
    case 1:
      return "Dal Events";
    case 2:
    case 3:
      return "Data Events";  // two categories, one text
    case 4:
      return "UI Events";
    case 5:
      return "Daemon Events";
    default:
      return nullptr;
  }
}

// The message text of an event identifier, %1 standing for the insertion
// string; null for an identifier that is not in the catalogue.
inline const char* eventText(unsigned long id) {
  switch (id) {
    case EXCEPTION_CRITICAL:
      return "A Brimsel Exception Critical Error occured. Legend was: %1";
    case SQL_EXCEPTION_CRITICAL:
      return "A SQL Exception Critical Error occured. Legend was: %1";
    case DAL_EXCEPTION_CRITICAL:
      return "A DAL Exception Critical Error occured. Legend was: %1";
    case UNKNOWN_EXCEPTION:
      return "An unknown exception was caught.";
    case ERROR_POSTED:
      return "An Error was posted. Legend was: %1";
    case EXCEPTION_WARNING:
      return "A Brimsel Exception Warning occured. Legend was: %1";
    case WARNING_POSTED:
      return "A Warning was posted. Legend was: %1";
    case MESSAGE_POSTED:
      return "A Message was posted. Legend was: %1";
    case DEBUG_POSTED:
      return "Debug info was posted. Legend was: %1";
    case TRACE_POSTED:
      return "Trace info was posted. Legend was: %1";
    default:
      return nullptr;
  }
}

}  // namespace catalogue
}  // namespace Brimsel

#endif  // BRIMSEL_EVENTCATALOGUE_H
