// SPDX-License-Identifier: MIT
/// \file
/// EventLogger, which writes diagnostics to the system's event log.
#ifndef BRIMSEL_EVENTLOGGER_H
#define BRIMSEL_EVENTLOGGER_H

#include <brimsel/export.h>

#include <atomic>
#include <string>

#if defined(_WIN32)
// Windows' own module handle type (HINSTANCE with STRICT handles), declared
// here so that this header needs no Windows header.
struct HINSTANCE__;
#endif

namespace Brimsel {

class Exception;

/// Writes diagnostics to the system's event log.
///
/// A program constructs one logger under an event source name. The logger
/// opens that source and becomes the process-wide logger that theLogger()
/// returns; from then on it writes errors, warnings, messages, debug and trace
/// lines and caught exceptions as entries. Each entry has an event type
/// (error, warning or information), a category chosen by the layer of the
/// software that reports it, a fixed event identifier, and the caller's text as
/// its one insertion string.
///
/// Where the entries go:
///  - Windows: the Application event log (RegisterEventSourceA / ReportEventA).
///    brimsel.dll carries the message table with the category names and the
///    message texts, which the event viewer finds once registerEventSource()
///    has registered the source with the library's file as its message file.
///  - Linux: one datagram per entry to the local syslog socket /dev/log, in the
///    traditional form `"<PRI>Mmm dd hh:mm:ss SOURCE[PID]: MESSAGE"`, facility
///    user, severity err / warning / info for error / warning / information
///    entries. MESSAGE is `"[<category text> 0x<identifier>] <message text>"`,
///    the message text being the catalogue's with `%1` replaced by the
///    insertion string, for example
///    `[UI Events 0xC0020107] A Message was posted. Legend was: started`.
///    Registration writes a small text file per source below
///    /etc/brimsel/eventlog/Application/ holding the same four values that the
///    Windows registry holds (CategoryCount=5, TypesSupported=31,
///    EventMessageFile=..., CategoryMessageFile=...).
///
/// Contract:
///  - No operation raises an Exception; failures are reported by results.
///  - A source that the platform refuses to open (on Linux: no syslog socket)
///    still gives a logger, whose writers all return false.
///  - Every writer returns true when the entry was handed to the platform and
///    false when the logger has no open source, when the level filters the
///    entry out, or when the platform refuses the entry.
///  - The level filters messages, debug and trace lines only; errors, warnings,
///    unknown-exception entries and exceptions are always written. A new logger
///    starts at LEVEL_QUIET (nothing beyond those): a program that wants
///    messages, debug or trace lines raises the level after construction. A
///    filtered-out call neither allocates nor makes a system call.
///  - The text is passed unchanged (not formatted or translated); a
///    multi-line text stays one entry. As with the Windows event log, which
///    takes zero-terminated texts, a text ends at its first zero byte. A text
///    longer than the platform takes is cut so that the entry is still
///    written, and the cut is marked by "..." at its end: on Windows the text
///    keeps at most 31,839 characters (the most ReportEventA accepts), on
///    Linux the whole datagram at most 64 KiB.
///  - Copies share the event source, which is closed once, after the last copy
///    that holds it is destroyed or assigned another source.
///  - theLogger() is the most recently constructed logger (from a source name),
///    or null when there is none; copies never become it, and a logger that is
///    destroyed while it is the process-wide logger resets it to null.
///  - Any thread may write entries at the same time through one logger; set
///    the module handle before other threads use the logger.
class BRIMSEL_API EventLogger {
 public:
#if defined(_WIN32)
  /// A module handle as Windows gives it (HINSTANCE, HMODULE).
  typedef HINSTANCE__* ModuleHandle;
#else
  /// Names the module whose file is registered as the message file. On
  /// Windows a module handle as Windows gives it (HINSTANCE, HMODULE); on
  /// Linux any address inside the module: its base address or the address of
  /// one of its functions or objects (not a dlopen() handle).
  typedef const void* ModuleHandle;
#endif

  /// How much beyond errors, warnings, unknown-exception entries and
  /// exceptions is written. Each level admits what the ones below admit; a
  /// value below 0 admits what 0 admits, one above 3 what 3 admits.
  enum Level : int {
    LEVEL_QUIET = 0,    ///< Nothing more.
    LEVEL_MESSAGE = 1,  ///< Messages (logMessage()).
    LEVEL_DEBUG = 2,    ///< And debug lines (logDebug()).
    LEVEL_TRACE = 3     ///< And trace lines (logTrace()).
  };

  /// The layer of the software that reports an entry; it chooses the entry's
  /// category: 0 -> 1 "Dal Events", 1 -> 2 "Data Events", 2 -> 3 "Data Events",
  /// 4 -> 4 "UI Events", 5 -> 5 "Daemon Events", and 3 or any other value -> 4
  /// "UI Events". The daemon client writes its trace lines on LAYER_CLIENT.
  enum Layer : int {
    LAYER_DAL = 0,      ///< The data access layer: category 1, "Dal Events".
    LAYER_DATA = 1,     ///< The data layer: category 2, "Data Events".
    LAYER_SERVICE = 2,  ///< The service layer: category 3, "Data Events".
    LAYER_CLIENT = 3,   ///< The daemon client: category 4, "UI Events".
    LAYER_UI = 4,       ///< The user interface: category 4, "UI Events".
    LAYER_DAEMON = 5    ///< The daemon: category 5, "Daemon Events".
  };

  /// Opens the event source `source` on the local computer (it does not
  /// register it) and makes this logger the process-wide logger. The module
  /// handle starts null and the level LEVEL_QUIET.
  EventLogger(const std::string& source);
  /// The copy shares the event source and takes the module and the level; it
  /// does not become the process-wide logger.
  EventLogger(const EventLogger& other);
  /// Shares `other`'s event source (releasing its own, which is closed when
  /// no other copy holds it) and takes its module and level; leaves the
  /// process-wide logger unchanged. Assignment to itself changes nothing.
  EventLogger& operator=(const EventLogger& other);
  /// Releases the event source (closed after the last copy) and, when this is
  /// the process-wide logger, resets theLogger() to null.
  virtual ~EventLogger();

  /// The most recently constructed logger, or null.
  static EventLogger* theLogger();

  /// The module whose file registerEventSource registers as the message file;
  /// null (the default) means the running program's executable. For the event
  /// viewer to show the texts, it must be the library's own file.
  void setModuleHandle(ModuleHandle module);

  /// Writes the registration of `source`: category count 5, supported types
  /// 31 and the module's file as event and category message file. Returns
  /// false, having written nothing, when the store (the registry key, or on
  /// Linux the source's file) cannot be created, when the module's file cannot
  /// be found, or when `source` is empty (on Linux also ".", ".." or a name
  /// with '/' or a zero byte); false also when a value cannot be written.
  /// Needs the right to write to the machine-wide store.
  bool registerEventSource(const std::string& source);

  /// The current level, as last set (any int, see Level).
  Level level() const { return static_cast<Level>(_nLevel.load(std::memory_order_relaxed)); }
  /// Sets the level; any thread may call it while others write entries.
  void setLevel(Level level) { _nLevel.store(level, std::memory_order_relaxed); }

  /// Error entry 0x40020106, whatever the level.
  bool logError(const std::string& msg, Layer layer);
  /// Warning entry 0x80020105, whatever the level.
  bool logWarning(const std::string& msg, Layer layer);
  /// Information entry 0xC0020107 from level 1 on; false below.
  bool logMessage(const std::string& msg, Layer layer);
  /// Information entry 0xC0020108 from level 2 on; false below.
  bool logDebug(const std::string& msg, Layer layer);
  /// Information entry 0xC0020109 from level 3 on; false below.
  bool logTrace(const std::string& msg, Layer layer);
  /// Error entry 0x40020104 without insertion string, whatever the level: for
  /// a handler that caught something other than an Exception.
  bool logUnknown(Layer layer);
  /// Whatever the level: a fatal exception gives error entry 0x40020101, a
  /// non-fatal one warning entry 0x80020100; the insertion string is the
  /// exception's legend alone.
  bool log(const Exception& e, Layer layer);

 protected:
  /// logMessage() without the level test: information entry 0xC0020107.
  bool logMessageP(const std::string& msg, Layer layer);
  /// logDebug() without the level test: information entry 0xC0020108.
  bool logDebugP(const std::string& msg, Layer layer);
  /// logTrace() without the level test: information entry 0xC0020109.
  bool logTraceP(const std::string& msg, Layer layer);

 private:
  struct Source;  // the shared, reference-counted event source

  bool write(int type, unsigned long id, const char* text, Layer layer);
  void release();

  Source* _pSource;          // null when the platform refused the source
  ModuleHandle _hModule;     // null until setModuleHandle
  std::atomic<int> _nLevel;  // a Level; atomic so that a level set while
                             // other threads log is a defined change

  static std::atomic<EventLogger*> _plogger;
};

}  // namespace Brimsel

#endif  // BRIMSEL_EVENTLOGGER_H
