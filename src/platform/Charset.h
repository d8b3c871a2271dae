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

// True when `bytes` is well-formed UTF-8 (RFC 3629: no overlong forms, surrogates or code points
// above 10FFFF).
bool isValidUtf8(const std::string& bytes);
// A file name or path as text to show: each name of it that is valid UTF-8 as it is, any other
// read through the Windows-1252 table, as the game's home platform names it. Separators stay.
std::string nameToUtf8(const std::string& bytes);

}  // namespace pitkit
