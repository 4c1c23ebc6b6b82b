// Taking an upload back: POST <base>/delete.php to the service the picture
// went to, with the delete key that service gave for it.
#pragma once
#include <string>
#include <string_view>
#include "net/multipart.h"

namespace corvane {

inline constexpr char16_t kDeletePath[] = u"/delete.php";

// The body: "cv", "name" (the link's last path segment), "deletekey", and
// "key" when uploadKey is not empty, in that order.
std::string DeleteRequestBody(std::string_view name, std::string_view deleteKey, std::string_view uploadKey);

enum class DeleteAnswer {
  Deleted,  // 200: the service took the picture down
  Gone,     // 404: the service no longer has it
  Failed,   // anything else: see the exchange
};

struct DeleteResult {
  DeleteAnswer answer;
  Exchange exchange;
};

// One exchange with service. The upload key goes only to the service this
// process uploads to (Service()), never to another one an older entry names.
DeleteResult DeleteFromService(const ServiceAddress& service, std::string_view name, std::string_view deleteKey);

// The line that says why an exchange failed: the stage it stopped at, and the
// status when the service answered.
std::u16string ExchangeFailureReason(const Exchange& exchange);

}  // namespace corvane
