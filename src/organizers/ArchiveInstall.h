#pragma once
// Installing levels and cars straight from downloaded zip, 7z and rar archives. The archive is
// read twice: once to find its items, once to unpack the chosen ones into hidden staging folders
// beside their destinations; only when every chosen item is whole on disk do they move into
// place. Nothing is ever written outside the item an entry belongs to.
#include <cstdint>
#include <string>
#include <vector>

#include "organizers/FolderTransfer.h"

namespace pitkit {

enum class ContentKind { Level, Car };

// One level or car an archive holds.
struct ArchiveItem {
  ContentKind kind = ContentKind::Level;
  std::string name;         // the folder name it is installed under (UTF-8)
  std::string displayName;  // from its info file's name line, or its parameter file's
  std::string source;       // its folder inside the archive, '/'-separated; "" for the top
  std::uint64_t bytes = 0;  // unpacked size of its files
  std::uint64_t files = 0;
};

struct ArchiveContents {
  std::vector<ArchiveItem> items;
  std::vector<std::string> leftOut;  // entries that will not be installed, each with its reason
};

// The items of an archive and what it holds besides. Raises Exception for a file that is not a
// zip, 7z or rar archive or is damaged, EArchivePassword (organizers/ArchiveReader.h) for an
// encrypted zip read without its right password.
ArchiveContents ReadArchiveContents(const std::string& archivePath);
ArchiveContents ReadArchiveContents(const std::string& archivePath, const std::string& password);

enum class InstallPlace { Installed, Uninstalled };
enum class WhenTaken { Skip, Replace };

struct ArchiveInstallResult {
  std::vector<std::string> installed;  // names put in place
  std::vector<std::string> skipped;    // names skipped because they were taken
};

// Everything InstallFromArchive can be told, for callers that choose per item.
struct ArchiveInstallRequest {
  std::vector<std::string> names;  // empty: every item
  InstallPlace place = InstallPlace::Installed;
  WhenTaken whenTaken = WhenTaken::Skip;
  // Taken names that are replaced even with WhenTaken::Skip.
  std::vector<std::string> replace;
  std::string password;  // for an encrypted zip
};

// Installs the items `names` (empty: every item) of the archive into the game: levels into levels
// or un_levels, cars into cars or garage, a level's preview into gfx unless one is there. A name
// taken there (letter case ignored) is skipped untouched, or with Replace the old folder is
// removed once the new one is whole in its place. Refused before anything is written when the
// unpacked items do not fit the destination's free space. Any failure or cancel (through
// `progress`, ETransferCancelled) leaves the game as it was.
ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const std::vector<std::string>& names, InstallPlace place,
                                        WhenTaken whenTaken, TransferProgress* progress = nullptr);
ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const ArchiveInstallRequest& request, TransferProgress* progress = nullptr);

// The game's folder for items of `kind` in `place` ("levels", "un_levels", "cars" or "garage").
const char* archiveDestinationFolder(ContentKind kind, InstallPlace place);

// The name of an entry of `folder` equal to `name` ignoring letter case, exact match first; ""
// when there is none.
std::string takenNameIn(const std::string& folder, const std::string& name);

}  // namespace pitkit
