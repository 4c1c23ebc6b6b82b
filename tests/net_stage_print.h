// Readable exchange stages in test failure messages.
#pragma once
#include <ostream>
#include "net/multipart.h"

namespace corvane {
inline void PrintTo(ExchangeStage stage, std::ostream* os) {
  static const char* const kNames[] = {"Done", "Open", "Connect", "OpenRequest", "Send", "Status", "Reply"};
  *os << kNames[static_cast<int>(stage)];
}
}  // namespace corvane
