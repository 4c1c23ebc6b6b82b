#include "app/state.h"

namespace corvane {
AppState app{};
}
