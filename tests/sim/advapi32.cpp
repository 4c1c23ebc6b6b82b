// Simulated registry: a tree of keys below HKEY_CURRENT_USER holding values of
// any type as raw bytes; handles that remember their key and access rights;
// failures injected per operation and key path. Key paths and value names are
// compared without regard to letter case, as on Windows.
#include "platform/advapi32.h"
#include <map>
#include <vector>
#include "tests/sim/sim.h"

namespace {
using namespace platform;

constexpr std::int32_t kInvalidHandle = 6, kInvalidParameter = 87, kKeyDeleted = 1018;

std::u16string upper(std::u16string_view s) {
  std::u16string u(s);
  for (auto& c : u)
    if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - u'a' + u'A');
  return u;
}

struct StoredValue {
  std::u16string name;
  sim::RegValue value;
};
std::map<std::u16string, std::map<std::u16string, StoredValue>> g_keys;  // upper path -> upper name -> value

struct OpenKey {
  std::u16string path;  // as the caller spelled it
  std::uint32_t access;
};
std::map<Hkey, OpenKey> g_open;

struct Failure {
  std::string op;
  std::u16string key;  // upper
  std::uint32_t access;
  std::int32_t error;
};
std::vector<Failure> g_failures;
int g_badCloses = 0;

const bool g_registered = (sim::onReset([] {
                             g_keys.clear();
                             g_open.clear();
                             g_failures.clear();
                             g_badCloses = 0;
                           }),
                           true);

std::int32_t injected(std::string_view op, std::u16string_view key, std::uint32_t access) {
  const std::u16string k = upper(key);
  for (const auto& f : g_failures)
    if (f.op == op && f.key == k && (f.access == 0 || f.access == access)) return f.error;
  return ERROR_SUCCESS;
}

void makeKey(std::u16string_view path) {
  const std::u16string k = upper(path);
  for (auto slash = k.find(u'\\'); slash != std::u16string::npos; slash = k.find(u'\\', slash + 1))
    g_keys[k.substr(0, slash)];
  g_keys[k];
}

const char* rootName(Hkey root) { return root == HKEY_CURRENT_USER ? "HKCU" : "?"; }

// The open key behind a handle, checked for the right the operation needs.
std::int32_t use(Hkey key, std::uint32_t right, const OpenKey** open) {
  auto it = g_open.find(key);
  if (it == g_open.end()) return kInvalidHandle;
  if (!g_keys.count(upper(it->second.path))) return kKeyDeleted;
  if ((it->second.access & right) != right) return ERROR_ACCESS_DENIED;
  *open = &it->second;
  return ERROR_SUCCESS;
}

const char16_t* pathOf(Hkey key) {
  auto it = g_open.find(key);
  return it == g_open.end() ? u"?" : it->second.path.c_str();
}

Hkey openHandle(std::u16string_view path, std::uint32_t access) {
  Hkey h = sim::handle<Hkey>();
  g_open[h] = {std::u16string(path), access};
  return h;
}
}  // namespace

namespace platform {
using sim::record;

std::int32_t RegOpenKeyExW(Hkey root, const char16_t* subKey, std::uint32_t options, std::uint32_t access,
                           Hkey* result) {
  record("RegOpenKeyExW", rootName(root), subKey, options, access);
  *result = nullptr;
  if (root != HKEY_CURRENT_USER) return kInvalidHandle;
  if (std::int32_t e = injected("RegOpenKeyExW", subKey, access)) return e;
  if (!g_keys.count(upper(subKey))) return ERROR_FILE_NOT_FOUND;
  *result = openHandle(subKey, access);
  return ERROR_SUCCESS;
}

std::int32_t RegCreateKeyExW(Hkey root, const char16_t* subKey, std::uint32_t reserved, char16_t* keyClass,
                             std::uint32_t options, std::uint32_t access, void* security, Hkey* result,
                             std::uint32_t* disposition) {
  record("RegCreateKeyExW", rootName(root), subKey, reserved, keyClass, options, access, security);
  if (root != HKEY_CURRENT_USER || reserved != 0) return kInvalidParameter;
  if (std::int32_t e = injected("RegCreateKeyExW", subKey, access)) return e;
  const bool existed = g_keys.count(upper(subKey)) != 0;
  makeKey(subKey);
  *result = openHandle(subKey, access);
  if (disposition) *disposition = existed ? 2 : 1;  // REG_OPENED_EXISTING_KEY : REG_CREATED_NEW_KEY
  return ERROR_SUCCESS;
}

std::int32_t RegQueryValueExW(Hkey key, const char16_t* name, std::uint32_t* reserved, std::uint32_t* type,
                              std::uint8_t* data, std::uint32_t* size) {
  record("RegQueryValueExW", pathOf(key), name, data != nullptr, size ? *size : 0u);
  const OpenKey* open = nullptr;
  if (std::int32_t e = use(key, KEY_QUERY_VALUE, &open)) return e;
  if (reserved != nullptr || (data != nullptr && size == nullptr)) return kInvalidParameter;
  if (std::int32_t e = injected("RegQueryValueExW", open->path, 0)) return e;
  auto& values = g_keys[upper(open->path)];
  auto it = values.find(upper(name));
  if (it == values.end()) return ERROR_FILE_NOT_FOUND;
  const sim::RegValue& v = it->second.value;
  if (type) *type = v.type;
  if (size == nullptr) return ERROR_SUCCESS;
  const auto needed = static_cast<std::uint32_t>(v.bytes.size());
  if (data == nullptr) {
    *size = needed;
    return ERROR_SUCCESS;
  }
  // Like the platform, no terminator is added; a short buffer gets what fits
  // (the platform leaves it undefined) and the size it would need.
  const std::uint32_t copied = std::min(*size, needed);
  for (std::uint32_t i = 0; i < copied; ++i) data[i] = static_cast<std::uint8_t>(v.bytes[i]);
  const bool fits = *size >= needed;
  *size = needed;
  return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

std::int32_t RegSetValueExW(Hkey key, const char16_t* name, std::uint32_t reserved, std::uint32_t type,
                            const std::uint8_t* data, std::uint32_t size) {
  record("RegSetValueExW", pathOf(key), name, type, size);
  const OpenKey* open = nullptr;
  if (std::int32_t e = use(key, KEY_SET_VALUE, &open)) return e;
  if (reserved != 0 || (data == nullptr && size != 0)) return kInvalidParameter;
  if (std::int32_t e = injected("RegSetValueExW", open->path, 0)) return e;
  g_keys[upper(open->path)][upper(name)] = {name, {type, std::string(reinterpret_cast<const char*>(data), size)}};
  return ERROR_SUCCESS;
}

std::int32_t RegDeleteValueW(Hkey key, const char16_t* name) {
  record("RegDeleteValueW", pathOf(key), name);
  const OpenKey* open = nullptr;
  if (std::int32_t e = use(key, KEY_SET_VALUE, &open)) return e;
  if (std::int32_t e = injected("RegDeleteValueW", open->path, 0)) return e;
  return g_keys[upper(open->path)].erase(upper(name)) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

std::int32_t RegCloseKey(Hkey key) {
  record("RegCloseKey", pathOf(key));
  if (!g_open.erase(key)) {
    ++g_badCloses;
    return kInvalidHandle;
  }
  return ERROR_SUCCESS;
}

}  // namespace platform

namespace sim {

void regPutKey(std::u16string_view key) { makeKey(key); }
void regPut(std::u16string_view key, std::u16string_view name, std::uint32_t type, std::string bytes) {
  makeKey(key);
  g_keys[upper(key)][upper(name)] = {std::u16string(name), {type, std::move(bytes)}};
}
void regPutDword(std::u16string_view key, std::u16string_view name, std::uint32_t value) {
  std::string bytes;
  for (int i = 0; i < 4; ++i) bytes += static_cast<char>((value >> (8 * i)) & 0xFF);
  regPut(key, name, REG_DWORD, bytes);
}
void regPutString(std::u16string_view key, std::u16string_view name, std::u16string_view text) {
  regPut(key, name, REG_SZ, utf16le(text, true));
}
bool regHasKey(std::u16string_view key) { return g_keys.count(upper(key)) != 0; }
std::optional<RegValue> regGet(std::u16string_view key, std::u16string_view name) {
  auto k = g_keys.find(upper(key));
  if (k == g_keys.end()) return std::nullopt;
  auto v = k->second.find(upper(name));
  if (v == k->second.end()) return std::nullopt;
  return v->second.value;
}
std::vector<std::u16string> regValueNames(std::u16string_view key) {
  std::vector<std::u16string> names;
  auto k = g_keys.find(upper(key));
  if (k != g_keys.end())
    for (const auto& [upperName, v] : k->second) names.push_back(v.name);
  return names;
}
std::u16string regString(std::u16string_view key, std::u16string_view name) {
  std::u16string text;
  if (auto v = regGet(key, name))
    for (std::size_t i = 0; i + 1 < v->bytes.size(); i += 2) {
      auto c = static_cast<char16_t>(static_cast<std::uint8_t>(v->bytes[i]) |
                                     static_cast<std::uint8_t>(v->bytes[i + 1]) << 8);
      if (c == 0) break;
      text += c;
    }
  return text;
}
void regDeleteKey(std::u16string_view key) {
  const std::u16string k = upper(key);
  for (auto it = g_keys.begin(); it != g_keys.end();)
    it = (it->first == k || it->first.rfind(k + u'\\', 0) == 0) ? g_keys.erase(it) : std::next(it);
}
void regFail(std::string_view op, std::u16string_view key, std::int32_t error, std::uint32_t access) {
  g_failures.push_back({std::string(op), upper(key), access, error});
}
int regKeysOpen() { return static_cast<int>(g_open.size()); }
int regBadCloses() { return g_badCloses; }

std::string utf16le(std::u16string_view text, bool terminator) {
  std::string bytes;
  for (char16_t c : text) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
  if (terminator) bytes += std::string(2, '\0');
  return bytes;
}

}  // namespace sim
