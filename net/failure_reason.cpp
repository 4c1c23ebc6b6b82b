// Why an exchange brought no link, said in one line a user can act on.
#include "net/failure_reason.h"
#include <cstdint>
#include <string_view>

namespace corvane {
namespace {

struct Words {
  std::uint32_t code;
  const char16_t* line;
};

// What the platform's error codes mean to the user. The certificate lines name
// what is wrong with it: "not trusted" sends the user to the administrator,
// "another name" to the address they typed.
constexpr Words kErrors[] = {
    {platform::ERROR_INTERNET_NAME_NOT_RESOLVED, u"The name of the service was not found."},
    {platform::ERROR_INTERNET_CANNOT_CONNECT, u"The service could not be reached."},
    {platform::ERROR_INTERNET_TIMEOUT, u"The service did not answer in time."},
    {platform::ERROR_INTERNET_CONNECTION_ABORTED, u"The connection to the service was broken."},
    {platform::ERROR_INTERNET_CONNECTION_RESET, u"The connection to the service was broken."},
    {platform::ERROR_INTERNET_DISCONNECTED, u"The computer is not connected to a network."},
    {platform::ERROR_HTTP_INVALID_SERVER_RESPONSE, u"The service's answer was not understood."},
    {platform::ERROR_INTERNET_INVALID_CA, u"The certificate is not trusted."},
    {platform::ERROR_INTERNET_SEC_CERT_CN_INVALID, u"The certificate is for another name."},
    {platform::ERROR_INTERNET_SEC_CERT_DATE_INVALID, u"The certificate has expired or is not valid yet."},
    {platform::ERROR_INTERNET_SEC_CERT_REVOKED, u"The certificate has been revoked."},
    {platform::ERROR_INTERNET_SEC_CERT_REV_FAILED, u"Whether the certificate was revoked could not be checked."},
    {platform::ERROR_INTERNET_SEC_CERT_ERRORS, u"The certificate is not valid."},
    {platform::ERROR_INTERNET_SEC_INVALID_CERT, u"The certificate is not valid."},
    {platform::ERROR_INTERNET_CLIENT_AUTH_CERT_NEEDED, u"The service asks for a certificate of this computer."},
    {platform::ERROR_INTERNET_SECURITY_CHANNEL_ERROR, u"The secure connection could not be set up."},
    {platform::ERROR_INTERNET_INVALID_URL, u"The service's address is not valid."},
    {platform::ERROR_INTERNET_UNRECOGNIZED_SCHEME, u"The service's address is not valid."},
    {platform::ERROR_NOT_ENOUGH_MEMORY, u"There was not enough memory."},
};

// Statuses a service or proxy commonly answers, with what they mean here.
constexpr Words kStatuses[] = {
    {400, u"the request was refused as malformed"},
    {401, u"it asks for a sign-in"},
    {403, u"access was refused"},
    {404, u"there is no upload at that address"},
    {413, u"the picture is too large for it"},
    {415, u"it does not take this kind of picture"},
    {429, u"it has had too many requests"},
    {500, u"it failed"},
    {502, u"the gateway got no good answer from it"},
    {503, u"it is unavailable"},
    {504, u"the gateway got no answer from it in time"},
    {507, u"its store is full"},
};

const char16_t* Lookup(const Words* table, std::size_t size, std::uint32_t code) {
  for (std::size_t i = 0; i < size; ++i)
    if (table[i].code == code) return table[i].line;
  return nullptr;
}

std::u16string Decimal(std::uint64_t value) {
  std::u16string text;
  do {
    text.insert(text.begin(), static_cast<char16_t>(u'0' + value % 10));
    value /= 10;
  } while (value != 0);
  return text;
}

// The target as the service named it, fit for a message box: printable ASCII
// only (no line break, no control or direction mark can forge the text
// around it), cut with "..." past kMaxShownLocation.
std::u16string Shown(std::u16string_view location) {
  std::u16string shown;
  for (char16_t c : location) {
    if (shown.size() == kMaxShownLocation) return shown + u"...";
    shown += (c >= 0x20 && c <= 0x7E) ? c : u'?';
  }
  return shown;
}

std::u16string StatusLine(const Exchange& e) {
  const auto status = static_cast<std::uint32_t>(e.status);
  if (status >= 300 && status <= 399) {
    if (e.location.empty()) return u"The service answered " + Decimal(status) + u" and pointed nowhere.";
    return u"The service pointed elsewhere: " + Shown(e.location);
  }
  // Asked again with what Windows holds for this user, the proxy still refused.
  if (status == 407) return u"The proxy asks for a sign-in that this Windows account could not give.";
  std::u16string line = u"The service answered " + Decimal(status);
  if (const char16_t* words = Lookup(kStatuses, std::size(kStatuses), status)) line += u": " + std::u16string(words);
  return line + u".";
}

}  // namespace

std::u16string FailureReason(const Exchange& e) {
  if (e.stage == ExchangeStage::Status && e.status != 0) return StatusLine(e);
  if (e.error != 0) {
    if (const char16_t* words = Lookup(kErrors, std::size(kErrors), e.error)) return words;
    return u"The system's HTTP client gave error " + Decimal(e.error) + u".";
  }
  switch (e.stage) {
    case ExchangeStage::Reply:
      // A 200 whose reply kept coming past the most a link may take.
      return e.status == 200 ? u"The service's answer was far longer than a link."
                             : u"The service did not answer in time.";
    case ExchangeStage::Status: return u"The service's answer had no status.";
    case ExchangeStage::Done: return {};
    default: return u"The system's HTTP client failed without saying why.";
  }
}

}  // namespace corvane
