#pragma once
// Names typed by the user for a folder of the game: one plain folder name that a Windows game
// folder can hold, never a path.
#include <cstddef>
#include <string>

namespace pitkit {

// Why `name` (bytes) is not one plain folder name, as a short phrase ("it holds \"/\""); "" when
// it is one. Refused: the empty name, "." and "..", a name holding / \ : * ? " < > | or a control
// character, one ending in a dot or a space, a reserved device name (CON, PRN, AUX, NUL, COM1-COM9,
// LPT1-LPT9 in any letter case, alone or before a dot) and one longer than `nameMax` bytes.
std::string plainFolderNameProblem(const std::string& name, std::size_t nameMax);

// The longest name, in bytes, the file system of `folder` allows (NAME_MAX when it cannot say).
std::size_t longestNameIn(const std::string& folder);

}  // namespace pitkit
