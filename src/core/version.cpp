#include "core/version.h"

namespace velloquin::core {

std::string_view version() {
  return VELLOQUIN_VERSION;
}

}  // namespace velloquin::core
