#include "driver/driver.hpp"

namespace ovrik {

int reportedCode(int windowsNumber) {
  constexpr int kSharingViolation = 32;
  constexpr int kAccessDenied = 5;
  if (windowsNumber >= 19 && windowsNumber <= 31) return windowsNumber + 131;
  if (windowsNumber == kSharingViolation) return kAccessDenied;
  return windowsNumber;
}

}  // namespace ovrik
