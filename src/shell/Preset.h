#pragma once
// The preset file "Pitkit.ini": two lines naming the folder that holds the file and the game
// directory to open at start-up.
#include <exception>
#include <string>

namespace pitkit {

inline const std::string kPresetFileName = "Pitkit.ini";
inline const std::string kPresetFolderKey = "PitkitDirectory:";
inline const std::string kPresetGameKey = "TorvaneDirectory:";

struct PresetLines {
  std::string first;   // with its key
  std::string second;  // with its key
};

// The file's contents for `presetFolder` and `gameDirectory`: both lines, each ended by CR LF.
// Paths are written as the bytes the file system names them with, so any name reads back unchanged.
std::string presetText(const std::string& presetFolder, const std::string& gameDirectory);

// Writes the preset file safely: a failed write leaves an existing file as it was. Raises
// EInOutError. A folder whose name holds a CR or the byte 1A is refused with an Exception before
// anything is written: the file could not hold it (its line would read back cut short).
void writePreset(const std::string& path, const std::string& presetFolder, const std::string& gameDirectory);

// The preset file of `startFolder` (its name found ignoring letter case), written for the start
// folder on both lines when there is none. Returns its path. Raises as writePreset.
std::string createPresetIfMissing(const std::string& startFolder);

// Reads the first two lines by the text-line rule (a missing line reads as ""); lines after the
// second are never read. A failure to open raises EInOutError; a failure while reading keeps what
// was read and is handed back in `readFailure` so the caller can finish first.
PresetLines readPresetLines(const std::string& path, std::exception_ptr& readFailure);

// The value of a preset line: the first occurrence of `key` (case compared) is cut out and the text
// before and after it joined; nothing is trimmed. A line without the key is its own value.
std::string removeKey(const std::string& line, const std::string& key);

// The game folder a start in `startFolder` opens, read without writing anything: the folder its
// preset file names on the game line, or `startFolder` itself when it has no preset file (or one
// whose game line is empty). Raises EInOutError when the preset file cannot be read.
std::string presetGameFolder(const std::string& startFolder);

}  // namespace pitkit
