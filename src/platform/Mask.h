#pragma once
// The home platform's name masks ("*.inf", "nhood?.*"), letter case ignored.
#include <string_view>

namespace pitkit {

// True when `name` matches `mask`: '*' stands for any run of characters, '?' for one character,
// letters compare ignoring case; a '*' or '?' inside the name is an ordinary character. As on the
// home platform, a mask ending in ".*" also matches a name without a dot ("*.*" matches every
// name, "parameters.*" matches "parameters").
bool matchesMask(std::string_view name, std::string_view mask);

}  // namespace pitkit
