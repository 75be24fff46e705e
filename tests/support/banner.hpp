#pragma once

#include <string_view>

namespace ovrik::testing {

// What every dialogue begins with: the banner line and the prompt.
inline constexpr std::string_view kBanner = "ovrik version 1.01 24 Apr 2009\r\nInput filename: ";

}  // namespace ovrik::testing
