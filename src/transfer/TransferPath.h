#pragma once
// The path checks of Install, Uninstall and Delete, made before anything is touched.
#include <string>

namespace pitkit {

// Refuses (raises Exception) a path that Install, Uninstall or Delete must never act on: an empty
// one, and one that names the whole levels, un_levels, cars or garage folder of `gameDirectory`,
// the game directory itself or anything above it. Paths are compared after removing ".", ".." and
// doubled separators.
void checkTransferPath(const std::string& gameDirectory, const std::string& path);

// Refuses (raises Exception "Cannot <verb> <source> into itself") a copy or move of `source` whose
// destination is the source itself or lies inside it, and one of the root folder. Besides the
// path text, the destination's nearest existing folder is compared by device and inode with the
// source and all its parents, so a destination reached through a link into the source is refused.
void checkNotIntoItself(const std::string& verb, const std::string& source, const std::string& destination);

// The destination `to` of a move as the game in `game` sees it, where letter case makes no
// difference: a name taken in another letter case is refused (raises EMoveError NameTaken) before
// anything moves, and a parent that exists in another case is used rather than made a second time
// beside it. A destination outside the game folder is left as it is.
std::string destinationIgnoringCase(const std::string& game, const std::string& to);

}  // namespace pitkit
