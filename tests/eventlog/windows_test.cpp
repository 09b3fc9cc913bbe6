// The Windows side: the message table and version resource that brimsel.dll
// carries, the registry entries of a registered source, and entries written
// to the event log.
#if defined(_WIN32)

#include <brimsel/eventlogger.h>
#include <brimsel/exception.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

using Brimsel::EventLogger;

namespace {

HMODULE library() { return GetModuleHandleA("brimsel.dll"); }

std::string moduleFile(HMODULE module) {
  char path[MAX_PATH * 4];
  const DWORD n = GetModuleFileNameA(module, path, sizeof path);
  return std::string(path, n);
}

// The text of message `id` in brimsel.dll's table, English (United States),
// with `insertion` as %1 (or the inserts left as they are).
std::string messageText(DWORD id, const char* insertion = nullptr) {
  char buffer[512];
  DWORD flags = FORMAT_MESSAGE_FROM_HMODULE;
  DWORD_PTR args[1] = {reinterpret_cast<DWORD_PTR>(insertion)};
  if (insertion == nullptr) {
    flags |= FORMAT_MESSAGE_IGNORE_INSERTS;
  } else {
    flags |= FORMAT_MESSAGE_ARGUMENT_ARRAY;
  }
  const DWORD n = FormatMessageA(flags, library(), id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), buffer,
                                 sizeof buffer, insertion == nullptr ? nullptr : reinterpret_cast<va_list*>(args));
  return std::string(buffer, n);
}

TEST(MessageTable, HoldsTheCategoryTexts) {
  ASSERT_NE(nullptr, library());
  const std::vector<std::pair<DWORD, std::string>> categories = {
      {1, "Dal Events"}, {2, "Data Events"}, {3, "Data Events"}, {4, "UI Events"}, {5, "Daemon Events"}};
  for (const auto& c : categories) {
    EXPECT_EQ(c.second + "\r\n", messageText(c.first)) << c.first;
  }
  EXPECT_EQ("", messageText(6));
}

TEST(MessageTable, HoldsTheEventMessages) {
  const std::vector<std::pair<DWORD, std::string>> events = {
      {0x40020101, "A Brimsel Exception Critical Error occured. Legend was: %1"},
      {0x40020102, "A SQL Exception Critical Error occured. Legend was: %1"},
      {0x40020103, "A DAL Exception Critical Error occured. Legend was: %1"},
      {0x40020104, "An unknown exception was caught."},
      {0x40020106, "An Error was posted. Legend was: %1"},
      {0x80020100, "A Brimsel Exception Warning occured. Legend was: %1"},
      {0x80020105, "A Warning was posted. Legend was: %1"},
      {0xC0020107, "A Message was posted. Legend was: %1"},
      {0xC0020108, "Debug info was posted. Legend was: %1"},
      {0xC0020109, "Trace info was posted. Legend was: %1"}};
  for (const auto& e : events) {
    EXPECT_EQ(e.second + "\r\n", messageText(e.first)) << std::hex << e.first;
  }
  // What the event viewer shows: the insertion string in place of %1.
  EXPECT_EQ("An Error was posted. Legend was: disk full\r\n", messageText(0x40020106, "disk full"));
}

// Resource number 1, English (United States), every entry stored as UTF-16.
TEST(MessageTable, IsResourceOneInUnicode) {
  HRSRC found = FindResourceExA(library(), reinterpret_cast<LPCSTR>(RT_MESSAGETABLE), MAKEINTRESOURCEA(1),
                                MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
  ASSERT_NE(nullptr, found);
  HGLOBAL loaded = LoadResource(library(), found);
  ASSERT_NE(nullptr, loaded);
  const BYTE* data = static_cast<const BYTE*>(LockResource(loaded));
  ASSERT_NE(nullptr, data);
  const auto* table = reinterpret_cast<const MESSAGE_RESOURCE_DATA*>(data);
  size_t entries = 0;
  for (DWORD b = 0; b < table->NumberOfBlocks; ++b) {
    const MESSAGE_RESOURCE_BLOCK& block = table->Blocks[b];
    const BYTE* at = data + block.OffsetToEntries;
    for (DWORD id = block.LowId; id <= block.HighId; ++id) {
      const auto* entry = reinterpret_cast<const MESSAGE_RESOURCE_ENTRY*>(at);
      EXPECT_EQ(1, entry->Flags) << std::hex << id;  // 1: UTF-16
      at += entry->Length;
      ++entries;
    }
  }
  EXPECT_EQ(15u, entries);
}

TEST(VersionResource, CarriesVersionAndProductName) {
  const std::string path = moduleFile(library());
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(path.c_str(), 0, size, info.data()));

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &length));
  ASSERT_GE(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(0x00030000u, fixed->dwFileVersionMS);
  EXPECT_EQ(0x00010000u, fixed->dwFileVersionLS);
  EXPECT_EQ(0x00030000u, fixed->dwProductVersionMS);
  EXPECT_EQ(0x00010000u, fixed->dwProductVersionLS);

  char* name = nullptr;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\StringFileInfo\\040904b0\\ProductName", reinterpret_cast<void**>(&name),
                             &length));
  EXPECT_STREQ("Brimsel Foundation Class Library", name);
}

const char kKeyPrefix[] = "SYSTEM\\CurrentControlSet\\Services\\Eventlog\\Application\\";

struct RegistryValue {
  DWORD type = 0;
  std::vector<BYTE> data;
};

RegistryValue readValue(const std::string& source, const char* name) {
  RegistryValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, (kKeyPrefix + source).c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return value;
  }
  DWORD size = 0;
  if (RegQueryValueExA(key, name, nullptr, &value.type, nullptr, &size) == ERROR_SUCCESS) {
    value.data.resize(size);
    if (RegQueryValueExA(key, name, nullptr, &value.type, value.data.data(), &size) != ERROR_SUCCESS) {
      value.data.clear();
    }
  }
  RegCloseKey(key);
  return value;
}

DWORD dwordOf(const RegistryValue& value) {
  DWORD result = 0xFFFFFFFF;
  if (value.type == REG_DWORD && value.data.size() == sizeof result) {
    memcpy(&result, value.data.data(), sizeof result);
  }
  return result;
}

class WindowsRegistration : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const std::string& source : created_) {
      RegDeleteKeyA(HKEY_LOCAL_MACHINE, (kKeyPrefix + source).c_str());
    }
  }
  std::string source(const std::string& name) {
    created_.push_back(name);
    return name;
  }
  // The four values, the paths as REG_SZ with their terminating zero counted.
  void expectRegistered(const std::string& name, const std::string& path) {
    EXPECT_EQ(5u, dwordOf(readValue(name, "CategoryCount")));
    EXPECT_EQ(31u, dwordOf(readValue(name, "TypesSupported")));
    for (const char* value : {"EventMessageFile", "CategoryMessageFile"}) {
      const RegistryValue file = readValue(name, value);
      EXPECT_EQ(static_cast<DWORD>(REG_SZ), file.type) << value;
      ASSERT_EQ(path.size() + 1, file.data.size()) << value;
      EXPECT_EQ(path + '\0', std::string(file.data.begin(), file.data.end())) << value;
    }
  }

  std::vector<std::string> created_;
};

// An empty name would put the values on the Application log's own key.
TEST_F(WindowsRegistration, WithoutModuleRegistersTheRunningExecutable) {
  const std::string name = source("Brimsel Test Executable");
  EventLogger logger(name);
  ASSERT_TRUE(logger.registerEventSource(name));
  expectRegistered(name, moduleFile(nullptr));
  EXPECT_FALSE(logger.registerEventSource(""));
  // A handle of no module has no file to register: nothing is written.
  logger.setModuleHandle(reinterpret_cast<HINSTANCE>(static_cast<ULONG_PTR>(0x10)));
  const std::string unknown = source("Brimsel Test No Module");
  EXPECT_FALSE(logger.registerEventSource(unknown));
  EXPECT_EQ(0u, readValue(unknown, "CategoryCount").data.size());
}

TEST_F(WindowsRegistration, ModuleHandleChoosesTheRegisteredFile) {
  const std::string name = source("Brimsel Test Library");
  EventLogger logger("Brimsel Test Logger");
  logger.setModuleHandle(library());
  ASSERT_TRUE(logger.registerEventSource(name));
  expectRegistered(name, moduleFile(library()));
  // Registering again overwrites, and a copy keeps the module.
  EventLogger copy(logger);
  ASSERT_TRUE(copy.registerEventSource(name));
  expectRegistered(name, moduleFile(library()));
}

TEST(WindowsEventLog, WritersReturnTrueAndFilteredOnesFalse) {
  EventLogger logger("Brimsel Test Writer");
  EXPECT_TRUE(logger.logError("error", EventLogger::LAYER_DATA));
  EXPECT_TRUE(logger.logWarning("warning", EventLogger::LAYER_DAL));
  EXPECT_TRUE(logger.logUnknown(EventLogger::LAYER_DAEMON));
  EXPECT_TRUE(logger.log(Brimsel::Exception(4302, true, "fatal"), EventLogger::LAYER_UI));
  EXPECT_TRUE(logger.log(Brimsel::Exception(4302, false, "not fatal"), EventLogger::Layer(-1)));
  EXPECT_FALSE(logger.logMessage("filtered", EventLogger::LAYER_UI));
  logger.setLevel(EventLogger::LEVEL_TRACE);
  EXPECT_TRUE(logger.logMessage("message", EventLogger::LAYER_UI));
  EXPECT_TRUE(logger.logDebug("debug", EventLogger::LAYER_SERVICE));
  EXPECT_TRUE(logger.logTrace("line one\r\nline two", EventLogger::LAYER_CLIENT));
}

// Copies share the source; it stays open while any copy holds it.
TEST(WindowsEventLog, CopiesKeepTheSourceOpenUntilTheLastIsGone) {
  auto original = std::make_unique<EventLogger>("Brimsel Test Copies");
  EventLogger copy(*original);
  EventLogger assigned("Brimsel Test Copies Other");
  assigned = *original;
  assigned = assigned;
  original.reset();
  EXPECT_TRUE(copy.logError("from the copy", EventLogger::LAYER_UI));
  EXPECT_TRUE(assigned.logError("from the assigned one", EventLogger::LAYER_UI));
}

}  // namespace

#endif  // _WIN32
