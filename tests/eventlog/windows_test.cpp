// The Windows side: the message table and version resource of the shipped
// brimsel.dll (loaded beside this program's static copy of the library), the
// registry values of a registered source, and entries written.
#if defined(_WIN32)
#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

using Brimsel::EventLogger;

namespace {

HMODULE library() {
  static const HMODULE module = LoadLibraryA("brimsel.dll");
  return module;
}

std::string moduleFile(HMODULE module) {
  char path[MAX_PATH * 4];
  return std::string(path, GetModuleFileNameA(module, path, sizeof path));
}

// Message `id` in English (United States), %1 replaced when `insertion` is given.
std::string messageText(DWORD id, const char* insertion = nullptr) {
  char buffer[512];
  DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>(insertion)};
  return std::string(buffer, FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | (insertion ? FORMAT_MESSAGE_ARGUMENT_ARRAY : FORMAT_MESSAGE_IGNORE_INSERTS),
                                            library(), id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer, sizeof buffer,
                                            insertion ? reinterpret_cast<va_list*>(args) : nullptr));
}

// Resource 1, fifteen UTF-16 entries: the five categories and ten events.
TEST(MessageTable, HoldsTheCategoryTextsAndEventMessages) {
  ASSERT_NE(library(), nullptr);
  const std::pair<DWORD, std::string> texts[] = {
      {1, "Dal Events"}, {2, "Data Events"}, {3, "Data Events"}, {4, "UI Events"}, {5, "Daemon Events"},
      {0x40020101, "A Brimsel Exception Critical Error occured. Legend was: %1"},
      {0x40020102, "A SQL Exception Critical Error occured. Legend was: %1"},
      {0x40020103, "A DAL Exception Critical Error occured. Legend was: %1"},
      {0x40020104, "An unknown exception was caught."}, {0x40020106, "An Error was posted. Legend was: %1"},
      {0x80020100, "A Brimsel Exception Warning occured. Legend was: %1"},
      {0x80020105, "A Warning was posted. Legend was: %1"}, {0xC0020107, "A Message was posted. Legend was: %1"},
      {0xC0020108, "Debug info was posted. Legend was: %1"}, {0xC0020109, "Trace info was posted. Legend was: %1"}};
  for (const auto& [id, text] : texts) EXPECT_EQ(messageText(id), text + "\r\n") << std::hex << id;
  EXPECT_EQ(messageText(0x40020106, "disk full"), "An Error was posted. Legend was: disk full\r\n");
  HRSRC found = FindResourceExA(library(), MAKEINTRESOURCEA(11), MAKEINTRESOURCEA(1), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  const auto* table = found ? static_cast<const MESSAGE_RESOURCE_DATA*>(LockResource(LoadResource(library(), found))) : nullptr;
  ASSERT_NE(table, nullptr);
  DWORD entries = 0;
  for (DWORD b = 0; b < table->NumberOfBlocks; ++b) {
    const unsigned char* p = reinterpret_cast<const unsigned char*>(table) + table->Blocks[b].OffsetToEntries;
    for (DWORD id = table->Blocks[b].LowId; id <= table->Blocks[b].HighId; ++id, ++entries) {
      const auto* entry = reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(p);
      EXPECT_EQ(entry->Flags & MESSAGE_RESOURCE_UNICODE, MESSAGE_RESOURCE_UNICODE) << std::hex << id;
      p += entry->Length;
    }
  }
  EXPECT_EQ(entries, 15u);
}

TEST(VersionResource, CarriesVersionAndProductName) {
  const std::string path = moduleFile(library());
  std::vector<char> info(GetFileVersionInfoSizeA(path.c_str(), nullptr));
  VS_FIXEDFILEINFO* fixed = nullptr;
  char* name = nullptr;
  UINT length = 0;
  ASSERT_TRUE(!info.empty() && GetFileVersionInfoA(path.c_str(), 0, static_cast<DWORD>(info.size()), info.data()) &&
              VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(std::vector<DWORD>({fixed->dwFileVersionMS, fixed->dwFileVersionLS, fixed->dwProductVersionMS, fixed->dwProductVersionLS}),
            std::vector<DWORD>({0x00030000u, 0x00010000u, 0x00030000u, 0x00010000u}));
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\ProductName", reinterpret_cast<void**>(&name), &length));
  EXPECT_STREQ(name, "Brimsel Foundation Class Library");
}

const std::string kKey = "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\";

// The value's type and bytes; nothing when missing.
std::pair<DWORD, std::string> readValue(const std::string& source, const char* name) {
  DWORD type = 0, size = 1024;
  std::string data(size, '\0');
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kKey + source).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return {};
  if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&data[0]), &size) != ERROR_SUCCESS) size = 0;
  RegCloseKey(key);
  return {type, data.substr(0, size)};
}

// Without a module the running executable, else the module's file; a handle
// of no module and an empty name are refused.
TEST(Registration, WritesTheFourValuesOfTheModuleFile) {
  EventLogger logger("Brimsel Test Executable");
  const DWORD counts[] = {5, 31};
  const std::string bytes(reinterpret_cast<const char*>(counts), sizeof counts);
  for (HMODULE module : {HMODULE(nullptr), library()}) {
    logger.setModuleHandle(module);
    ASSERT_TRUE(EventLogger(logger).registerEventSource("Brimsel Test Executable"));
    const std::string file = moduleFile(module) + '\0';
    EXPECT_EQ(readValue("Brimsel Test Executable", "CategoryCount"), std::make_pair(DWORD(REG_DWORD), bytes.substr(0, 4)));
    EXPECT_EQ(readValue("Brimsel Test Executable", "TypesSupported"), std::make_pair(DWORD(REG_DWORD), bytes.substr(4)));
    EXPECT_EQ(readValue("Brimsel Test Executable", "EventMessageFile"), std::make_pair(DWORD(REG_SZ), file));
    EXPECT_EQ(readValue("Brimsel Test Executable", "CategoryMessageFile"), std::make_pair(DWORD(REG_SZ), file));
  }
  EXPECT_FALSE(logger.registerEventSource(""));
  logger.setModuleHandle(reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10)));
  EXPECT_FALSE(logger.registerEventSource("Brimsel Test No Module"));
  EXPECT_EQ(readValue("Brimsel Test No Module", "CategoryCount").second, "");
  RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kKey + "Brimsel Test Executable").c_str());
}

// Copies share the source; it stays open while any copy holds it.
TEST(WindowsEventLog, WritersReturnTrueUntilTheLastCopyIsGone) {
  auto original = std::make_unique<EventLogger>("Brimsel Test Writer");
  EXPECT_FALSE(original->logMessage("filtered", EventLogger::LAYER_UI));
  EXPECT_TRUE(original->log(Brimsel::Exception(4302, true, "fatal"), EventLogger::LAYER_UI));
  original->setLevel(EventLogger::LEVEL_TRACE);
  EventLogger copy(*original), assigned("Brimsel Test Other");
  assigned = *original;
  original.reset();
  for (EventLogger* l : {&copy, &assigned}) {
    EXPECT_TRUE(l->logError("line one\r\nline two", EventLogger::Layer(-1)) && l->logWarning("w", EventLogger::LAYER_DAL) &&
                l->logMessage("m", EventLogger::LAYER_DATA) && l->logDebug("d", EventLogger::LAYER_SERVICE) &&
                l->logTrace("t", EventLogger::LAYER_DAEMON) && l->logUnknown(EventLogger::LAYER_UI));
  }
}

}  // namespace
#endif  // _WIN32
