// SPDX-License-Identifier: MIT
// Windows side of the event log: the Application event log through an event
// source handle, and event-source registration in the registry.
#include <windows.h>

#include <new>
#include <string>

#include "platform/eventlog.h"

namespace Brimsel {
namespace platform {

struct EventSource {
  HANDLE hSource;
};

EventSource* openEventSource(const std::string& name) {
  const HANDLE handle = RegisterEventSourceA(nullptr, name.c_str());
  if (handle == nullptr) {
    return nullptr;
  }
  EventSource* source = new (std::nothrow) EventSource;
  if (source == nullptr) {
    DeregisterEventSource(handle);
    return nullptr;
  }
  source->hSource = handle;
  return source;
}

void closeEventSource(EventSource* source) {
  if (source != nullptr) {
    DeregisterEventSource(source->hSource);
    delete source;
  }
}

bool reportEvent(EventSource* source, int type, unsigned short category, unsigned long id,
                 const char* text) {
  if (source == nullptr) {
    return false;
  }
  std::string cut;
  LPCSTR strings[1] = {fitInsertion(text, kMaxInsertionWindows, cut)};
  return ReportEventA(source->hSource, static_cast<WORD>(type), category, static_cast<DWORD>(id),
                      nullptr, static_cast<WORD>(text != nullptr ? 1 : 0), 0,
                      text != nullptr ? strings : nullptr, nullptr) != FALSE;
}

namespace {

// The full path of `module`'s file (the executable's when null). The buffer
// grows until the path fits: a cut path would register a file that does not
// exist. Empty when the module is unknown.
std::string moduleFilePath(HMODULE module) {
  std::string buffer(256, '\0');
  for (;;) {
    const DWORD size = static_cast<DWORD>(buffer.size());
    const DWORD n = GetModuleFileNameA(module, &buffer[0], size);
    if (n == 0) {
      return std::string();
    }
    if (n < size) {
      buffer.resize(n);
      return buffer;
    }
    if (buffer.size() >= 32768) {
      return std::string();
    }
    buffer.resize(buffer.size() * 2);
  }
}

bool setDword(HKEY key, const char* name, DWORD value) {
  return RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                        sizeof value) == ERROR_SUCCESS;
}

bool setString(HKEY key, const char* name, const std::string& value) {
  // The terminating zero is part of the data.
  return RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

}  // namespace

bool registerEventSource(const std::string& source, const void* module) {
  // An empty name would put the values on the Application log's own key.
  if (source.empty()) {
    return false;
  }
  const std::string path = moduleFilePath(static_cast<HMODULE>(const_cast<void*>(module)));
  if (path.empty()) {
    return false;
  }
  const std::string keyName =
      std::string("SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\") + source;
  char emptyClass[] = "";
  HKEY key = nullptr;
  DWORD disposition = 0;
  if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, keyName.c_str(), 0, emptyClass, REG_OPTION_NON_VOLATILE,
                      KEY_ALL_ACCESS, nullptr, &key, &disposition) != ERROR_SUCCESS ||
      key == nullptr) {
    return false;
  }
  const bool written = setDword(key, "CategoryCount", 5) && setDword(key, "TypesSupported", 31) &&
                       setString(key, "EventMessageFile", path) &&
                       setString(key, "CategoryMessageFile", path);
  RegCloseKey(key);
  if (!written && disposition == REG_CREATED_NEW_KEY) {
    // Leave no half-written registration behind.
    RegDeleteKeyA(HKEY_LOCAL_MACHINE, keyName.c_str());
  }
  return written;
}

}  // namespace platform
}  // namespace Brimsel
