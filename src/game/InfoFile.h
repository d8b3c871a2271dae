#pragma once
// Reading rules for the game's level info files and car parameter files: the key-line scan finds
// the line holding a key, the quoted-value cut takes the value between delimiters from it.
#include <cstdint>
#include <string>
#include <vector>

#include "platform/TextFile.h"

namespace pitkit {

// The keys of a level's or car's name line.
inline const std::vector<std::string> kNameKeys = {"Name", "NAME", "name"};

// A key-line scan reads at most this much of a file, as though the file ended there. Real info
// and parameter files are a few kilobytes, so 4 MiB leaves room for any file a person writes (and
// for several lines at the reader's longest) while a huge or sparse file in their place is left
// after a few milliseconds instead of being read to its end.
inline constexpr std::uint64_t kKeyLineScanLimit = 4u << 20;

// Reads lines from `reader` until one contains any of `keys` (a substring, letter case compared)
// and returns it; at the end of the text returns the last line read ("" when none was read). The
// reader is left just after the returned line, so a second scan continues from there. Open the
// reader with kKeyLineScanLimit as its text limit so that the scan ends on any file.
std::string keyLineScan(TextLineReader& reader, const std::vector<std::string>& keys);

// The key-line scan of a file (up to kKeyLineScanLimit). Open and read failures raise EInOutError.
std::string keyLineScanFile(const std::string& path, const std::vector<std::string>& keys);

// The text after the first `delimiter` up to the next one: the rest of the line when the second is
// missing, the whole line when there is none at all. Nothing is trimmed.
std::string quotedValueCut(const std::string& line, char delimiter);

// The display name a name line gives: its quoted-value cut, as UTF-8 text. A line that is valid
// UTF-8 beyond ASCII (as modern editors write) is read as UTF-8, any other in the game's 8-bit
// character set (charsetOf decides on the whole line).
std::string nameLineValue(const std::string& line, char delimiter);

// The display name of a level: nameLineValue of its info file's name line, single quotes. Open and
// read failures raise EInOutError.
std::string readLevelDisplayName(const std::string& infoFilePath);

}  // namespace pitkit
