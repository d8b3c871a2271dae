#pragma once
// The fixed file set of a level: the files named after it inside its folder.
#include <array>

namespace pitkit {

// The suffixes of a level's file set, in the order they are renamed. Each is appended directly to
// the level name (<name>.cam, <name>a.bmp); every other file of the folder keeps its name.
inline constexpr std::array<const char*, 35> LevelFileSuffixes = {
    ".cam",  ".por",  ".fan",  ".fin",  ".fld",  ".fob",  ".inf",  ".lit",  ".ncp",
    ".pan",  ".rim",  ".taz",  ".tri",  ".vis",  ".w",    "a.bmp", "a.bmq", "b.bmp",
    "b.bmq", "c.bmp", "c.bmq", "d.bmp", "d.bmq", "e.bmp", "e.bmq", "f.bmp", "f.bmq",
    "g.bmp", "g.bmq", "h.bmp", "h.bmq", "i.bmp", "i.bmq", "j.bmp", "j.bmq"};

}  // namespace pitkit
