#pragma once
// File names of a game made where letter case does not count: the lookup of the names the program
// builds itself ("levels", "readme.txt", "<car>.jpg", the parts of a TPAGE path, ...) ignoring
// case, the test of a name taken in another case, and the name order the game's home file system
// lists a folder in. Letter case means ASCII letters, as in the rest of the program's name rules.
#include <string>
#include <string_view>

namespace pitkit {

// What the last name of a lookup must be; the names on the way are always folders.
enum class EntryKind { Any, File, Folder };

// The order of a folder listing on the game's home file system: names compared with their letters
// in capitals, names that differ in letter case only by their bytes (so the order is total).
// Negative, zero or positive as for strcmp.
int compareNames(std::string_view a, std::string_view b);

// `folder` + separator + `relative`, with each name of `relative` found ignoring letter case: the
// exact name when it exists as the right kind; otherwise, of the entries whose names differ from
// it in letter case only, the first in byte order (capitals sort first: "README.TXT" before
// "ReadMe.txt" before "readme.txt"). From the first name that has no such entry on, `relative` is
// kept as given, so a missing file is still named as the caller built it and a folder to create
// lands beside the parts that exist. `folder` itself is used as it is. The cost is one stat when
// the path exists as given, otherwise one stat and at most one folder read per name.
std::string findIgnoringCase(const std::string& folder, const std::string& relative,
                             EntryKind kind = EntryKind::Any);

// The entry that `folder` + separator + `relative` names where letter case does not count (found
// as findIgnoringCase does, of any kind, a link counting as itself), or "" when there is none.
std::string takenPath(const std::string& folder, const std::string& relative);

}  // namespace pitkit
