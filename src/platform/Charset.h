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

// The character set a piece of the game's text is written in. The game writes Windows-1252; modern
// editors write UTF-8, which shows in valid UTF-8 holding bytes beyond ASCII (in Windows-1252 such
// byte runs are rare: letters like "Ã¨" in a row).
enum class TextCharset { Windows1252, Utf8 };

// Utf8 when `bytes` is valid UTF-8 and holds a byte beyond ASCII; Windows1252 otherwise (pure
// ASCII reads the same either way, and stays in the game's own set).
TextCharset charsetOf(const std::string& bytes);
// `bytes` as UTF-8 text, read in `charset` (Utf8: unchanged).
std::string decodeText(const std::string& bytes, TextCharset charset);
// `text` (UTF-8) written in `charset`. Text of the set comes back as the bytes it was read from.
std::string encodeText(const std::string& text, TextCharset charset);
// The first character of `text` (UTF-8) that `charset` cannot hold, as UTF-8; "" when it holds
// them all. A malformed sequence counts as such a character.
std::string firstCharacterOutside(const std::string& text, TextCharset charset);

// A file name or path as text to show: each name of it that is valid UTF-8 as it is, any other
// read through the Windows-1252 table, as the game's home platform names it. Separators stay.
std::string nameToUtf8(const std::string& bytes);

}  // namespace pitkit
