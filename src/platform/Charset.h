#pragma once
// The 8-bit character set of the game's text files (Windows-1252) and UTF-8, both ways.
#include <string>

namespace pitkit {

// Each byte becomes one character; the five unassigned bytes (81, 8D, 8F, 90, 9D) become the C1
// code points of the same value, so every byte survives a round trip.
std::string cp1252ToUtf8(const std::string& bytes);
// The reverse; a character outside the set becomes '?'. Malformed UTF-8 (overlong forms,
// surrogates, stray or missing continuation bytes) becomes '?', never a separator or NUL.
std::string utf8ToCp1252(const std::string& text);

}  // namespace pitkit
