#pragma once
// Reading rules for the game's level info files and car parameter files: the key-line scan finds
// the line holding a key, the quoted-value cut takes the value between delimiters from it.
#include <string>
#include <vector>

#include "platform/TextFile.h"

namespace pitkit {

// The keys of a level's or car's name line.
inline const std::vector<std::string> kNameKeys = {"Name", "NAME", "name"};

// Reads lines from `reader` until one contains any of `keys` (a substring, letter case compared)
// and returns it; at the end of the text returns the last line read ("" when none was read). The
// reader is left just after the returned line, so a second scan continues from there.
std::string keyLineScan(TextLineReader& reader, const std::vector<std::string>& keys);

// The key-line scan of a whole file. Open and read failures raise EInOutError.
std::string keyLineScanFile(const std::string& path, const std::vector<std::string>& keys);

// The text after the first `delimiter` up to the next one: the rest of the line when the second is
// missing, the whole line when there is none at all. Nothing is trimmed.
std::string quotedValueCut(const std::string& line, char delimiter);

// The display name of a level: the single-quoted value of its info file's name line, decoded from
// the game's 8-bit character set to UTF-8. Open and read failures raise EInOutError.
std::string readLevelDisplayName(const std::string& infoFilePath);

}  // namespace pitkit
