// The second line of an upload's failure message: why it failed, in words.
// Pure functions over what the exchange reported, so that every line is
// tested on its own.
#pragma once
#include <cstddef>
#include <string>
#include "net/multipart.h"

namespace corvane {

// The most of a redirect's target shown: enough for any address a user would
// recognise, short enough for a message box.
inline constexpr std::size_t kMaxShownLocation = 200;

// One line, ending in a full stop or in the address a redirect pointed to,
// that says why the exchange did not bring a link: a certificate, a name, an
// unreachable service, a status with its meaning, a redirect's target (only
// printable ASCII of it, cut to kMaxShownLocation). Never empty for a stage
// other than Done.
std::u16string FailureReason(const Exchange& exchange);

}  // namespace corvane
