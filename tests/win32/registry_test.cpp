// The registry and folder adapters against the real platform, in a key and a
// folder of their own that are removed afterwards.
#include <gtest/gtest.h>
#include <string>
#include "platform/advapi32.h"
#include "platform/kernel32.h"

// The portable names, taken before <windows.h> makes macros of the same names;
// each must carry the platform's value.
namespace portable {
const platform::Hkey kCurrentUser = platform::HKEY_CURRENT_USER;
constexpr std::uint32_t kQueryValue = platform::KEY_QUERY_VALUE, kSetValue = platform::KEY_SET_VALUE,
                        kAllAccess = platform::KEY_ALL_ACCESS, kNonVolatile = platform::REG_OPTION_NON_VOLATILE,
                        kSz = platform::REG_SZ, kExpandSz = platform::REG_EXPAND_SZ, kDword = platform::REG_DWORD;
constexpr std::int32_t kFileNotFound = platform::ERROR_FILE_NOT_FOUND, kPathNotFound = platform::ERROR_PATH_NOT_FOUND,
                       kAccessDenied = platform::ERROR_ACCESS_DENIED, kMoreData = platform::ERROR_MORE_DATA,
                       kAlreadyExists = platform::ERROR_ALREADY_EXISTS, kFileExists = platform::ERROR_FILE_EXISTS;
constexpr std::uint32_t kRetryCancel = platform::MB_RETRYCANCEL;
constexpr std::int32_t kRetry = platform::IDRETRY, kCancel = platform::IDCANCEL;
}  // namespace portable

#include "platform/win32/win.h"

static_assert(portable::kQueryValue == KEY_QUERY_VALUE && portable::kSetValue == KEY_SET_VALUE &&
              portable::kAllAccess == KEY_ALL_ACCESS && portable::kNonVolatile == REG_OPTION_NON_VOLATILE);
static_assert(portable::kSz == REG_SZ && portable::kExpandSz == REG_EXPAND_SZ && portable::kDword == REG_DWORD);
static_assert(portable::kFileNotFound == ERROR_FILE_NOT_FOUND && portable::kPathNotFound == ERROR_PATH_NOT_FOUND &&
              portable::kAccessDenied == ERROR_ACCESS_DENIED && portable::kMoreData == ERROR_MORE_DATA &&
              portable::kAlreadyExists == ERROR_ALREADY_EXISTS && portable::kFileExists == ERROR_FILE_EXISTS);
static_assert(portable::kRetryCancel == MB_RETRYCANCEL && portable::kRetry == IDRETRY && portable::kCancel == IDCANCEL);

namespace {

std::u16string u16(const std::wstring& w) { return std::u16string(w.begin(), w.end()); }

class RegistryAdapter : public ::testing::Test {
 protected:
  std::wstring path = L"Software\\CorvaneTest-" + std::to_wstring(::GetCurrentProcessId());
  std::u16string key = u16(path);

  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, path.c_str());  // values and subkeys
    ::RegDeleteKeyW(HKEY_CURRENT_USER, path.c_str());
    EXPECT_FALSE(exists());
  }

  bool exists() {
    HKEY k;
    if (::RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS) return false;
    ::RegCloseKey(k);
    return true;
  }
  // Raw type and bytes as the platform stores them.
  bool read(const wchar_t* name, DWORD* type, std::string* bytes) {
    BYTE data[256];
    DWORD size = sizeof data;
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, type, data, &size) !=
        ERROR_SUCCESS)
      return false;
    bytes->assign(reinterpret_cast<char*>(data), size);
    return true;
  }
  platform::Hkey open(std::uint32_t access) {
    platform::Hkey k = nullptr;
    EXPECT_EQ(platform::RegOpenKeyExW(portable::kCurrentUser, key.c_str(), 0, access, &k), 0);
    return k;
  }
};

TEST_F(RegistryAdapter, OpenNeverCreatesAndCreateMakesTheWholePath) {
  platform::Hkey k = nullptr;
  EXPECT_EQ(platform::RegOpenKeyExW(portable::kCurrentUser, key.c_str(), 0, KEY_SET_VALUE, &k),
            ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(exists());

  const std::u16string nested = key + u"\\Corvane\\Corvane1";
  std::uint32_t disposition = 0;
  ASSERT_EQ(platform::RegCreateKeyExW(portable::kCurrentUser, nested.c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k,
                                      &disposition),
            0);
  EXPECT_NE(k, nullptr);
  EXPECT_EQ(disposition, static_cast<std::uint32_t>(REG_CREATED_NEW_KEY));
  EXPECT_EQ(platform::RegCloseKey(k), 0);
  // Again: the existing key is opened.
  ASSERT_EQ(platform::RegCreateKeyExW(portable::kCurrentUser, nested.c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &k,
                                      &disposition),
            0);
  EXPECT_EQ(disposition, static_cast<std::uint32_t>(REG_OPENED_EXISTING_KEY));
  EXPECT_EQ(platform::RegCloseKey(k), 0);
  EXPECT_TRUE(exists());
}

TEST_F(RegistryAdapter, WritesTestsAndDeletesValuesWithTheRightsTheyNeed) {
  platform::Hkey all = nullptr;
  ASSERT_EQ(platform::RegCreateKeyExW(portable::kCurrentUser, key.c_str(), 0, nullptr,
                                      REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, &all,
                                      nullptr),
            0);
  const std::uint8_t one[4] = {1, 0, 0, 0};
  const char16_t folder[] = u"C:\\Users\\user1\\ReDoda\\";
  EXPECT_EQ(platform::RegSetValueExW(all, u"set", 0, REG_DWORD, one, 4), 0);
  EXPECT_EQ(platform::RegSetValueExW(all, u"ReDoda", 0, REG_SZ,
                                     reinterpret_cast<const std::uint8_t*>(folder), sizeof folder),
            0);
  EXPECT_EQ(platform::RegCloseKey(all), 0);

  DWORD type = 0;
  std::string bytes;
  ASSERT_TRUE(read(L"set", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(bytes, std::string("\x01\0\0\0", 4));
  ASSERT_TRUE(read(L"ReDoda", &type, &bytes));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(bytes.size(), 46u);
  EXPECT_EQ(bytes, std::string(reinterpret_cast<const char*>(folder), sizeof folder));

  // Existence is all a switch asks; a value of another kind or of no size still exists.
  ::RegSetKeyValueW(HKEY_CURRENT_USER, path.c_str(), L"empty", REG_BINARY, nullptr, 0);
  platform::Hkey query = open(KEY_QUERY_VALUE);
  for (auto name : {u"set", u"ReDoda", u"empty"})
    EXPECT_EQ(platform::RegQueryValueExW(query, name, nullptr, nullptr, nullptr, nullptr), 0);
  EXPECT_EQ(platform::RegQueryValueExW(query, u"simplemode", nullptr, nullptr, nullptr, nullptr),
            ERROR_FILE_NOT_FOUND);

  // A short read: more data, and the size it needs; nothing promises a terminator.
  std::uint8_t small[8];
  std::uint32_t size = sizeof small, valueType = 0;
  EXPECT_EQ(platform::RegQueryValueExW(query, u"ReDoda", nullptr, &valueType, small, &size),
            ERROR_MORE_DATA);
  EXPECT_EQ(size, 46u);
  EXPECT_EQ(platform::RegDeleteValueW(query, u"set"), ERROR_ACCESS_DENIED);
  EXPECT_EQ(platform::RegCloseKey(query), 0);

  platform::Hkey setOnly = open(KEY_SET_VALUE);
  EXPECT_EQ(platform::RegDeleteValueW(setOnly, u"set"), 0);
  EXPECT_EQ(platform::RegDeleteValueW(setOnly, u"set"), ERROR_FILE_NOT_FOUND);
  EXPECT_EQ(platform::RegCloseKey(setOnly), 0);
  EXPECT_FALSE(read(L"set", &type, &bytes));
}

TEST(FolderAdapter, CreateDirectoryAndMoveFileTellTheirOutcomes) {
  wchar_t temp[MAX_PATH];
  ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
  const std::wstring base = std::wstring(temp) + L"CorvaneTest-" + std::to_wstring(::GetCurrentProcessId());
  const std::u16string folder = u16(base + L"\\ReDoda\\");
  ASSERT_TRUE(::CreateDirectoryW(base.c_str(), nullptr));

  EXPECT_TRUE(platform::CreateDirectoryW(folder.c_str(), nullptr));  // a trailing backslash is fine
  EXPECT_FALSE(platform::CreateDirectoryW(folder.c_str(), nullptr));
  EXPECT_EQ(platform::GetLastError(), static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
  const std::u16string orphan = u16(base + L"\\Missing\\Shots");
  EXPECT_FALSE(platform::CreateDirectoryW(orphan.c_str(), nullptr));
  EXPECT_EQ(platform::GetLastError(), static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));

  // A kept picture takes a free name only: a rename onto an existing file
  // fails and says why.
  const std::u16string from = folder + u"a.part", to = folder + u"a.jpg";
  for (const auto& file : {from, to})
    ::CloseHandle(::CreateFileW(platform::win32::W(file.c_str()), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
  EXPECT_FALSE(platform::MoveFileExW(from.c_str(), to.c_str(), 0));
  const std::uint32_t error = platform::GetLastError();
  EXPECT_TRUE(error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) << error;
  EXPECT_TRUE(::DeleteFileW(platform::win32::W(from.c_str())));
  EXPECT_TRUE(::DeleteFileW(platform::win32::W(to.c_str())));

  ::RemoveDirectoryW((base + L"\\ReDoda").c_str());
  EXPECT_TRUE(::RemoveDirectoryW(base.c_str()));
}

// What the settings count on when the executable's path or an environment
// variable does not fit.
TEST(FolderAdapter, ModulePathAndEnvironmentReportWhatDoesNotFit) {
  char16_t path[2048];
  const std::uint32_t length = platform::GetModuleFileNameW(nullptr, path, 2048);
  ASSERT_GT(length, 4u);
  // A path that does not fit comes back as the full capacity; whether the cut
  // text ends in a terminator differs between platform versions.
  char16_t cut[5];
  EXPECT_EQ(platform::GetModuleFileNameW(nullptr, cut, 5), 5u);
  EXPECT_EQ(std::u16string(cut, 4), std::u16string(path, 4));

  ::SetEnvironmentVariableW(L"CORVANE_TEST", L"C:\\Users\\someone");
  char16_t value[8];
  EXPECT_EQ(platform::GetEnvironmentVariableW(u"CORVANE_TEST", value, 8), 17u);  // needed, terminator included
  char16_t room[64];
  EXPECT_EQ(platform::GetEnvironmentVariableW(u"CORVANE_TEST", room, 64), 16u);
  EXPECT_EQ(std::u16string(room), u"C:\\Users\\someone");
  ::SetEnvironmentVariableW(L"CORVANE_TEST", nullptr);
  EXPECT_EQ(platform::GetEnvironmentVariableW(u"CORVANE_TEST", room, 64), 0u);
}

}  // namespace
