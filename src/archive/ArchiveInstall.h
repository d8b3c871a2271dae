#pragma once
// Installing levels and cars straight from downloaded zip, 7z and rar archives. The archive is
// read twice: once to find its items, once to unpack the chosen ones into hidden staging folders
// beside their destinations; only when every chosen item is whole on disk do they move into
// place. Nothing is ever written outside the item an entry belongs to.
#include <cstdint>
#include <string>
#include <vector>

#include "transfer/FolderTransfer.h"

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
  // A level whose folder in the archive is spelt otherwise than its info file (MyTrack holding
  // MYTRACK.INF) is installed under the info file's spelling, as the level list wants it; this is
  // then the folder's name in the archive, else "".
  std::string renamedFrom;
};

struct ArchiveContents {
  std::vector<ArchiveItem> items;
  std::vector<std::string> leftOut;  // entries that will not be installed, each with its reason
};

// The items of an archive and what it holds besides. Raises Exception for a file that is not a
// zip, 7z or rar archive (or not a file at all) or is damaged, EArchivePassword (organizers/ArchiveReader.h) for an
// encrypted zip read without its right password.
// With `progress`, its entries count the entries read, and its cancel request stops the reading
// (ETransferCancelled) between entries and between blocks of the file.
ArchiveContents ReadArchiveContents(const std::string& archivePath);
ArchiveContents ReadArchiveContents(const std::string& archivePath, const std::string& password,
                                    TransferProgress* progress = nullptr);

enum class InstallPlace { Installed, Uninstalled };
enum class WhenTaken { Skip, Replace };

// One item put in place, for the history of actions.
struct ArchivePlacedItem {
  ContentKind kind = ContentKind::Level;
  std::string source;  // its folder inside the archive
  std::string path;    // its folder in the game, as spelt there
  // Where the item it replaced went in the trash (its entry in the trash's files folder); "" when
  // it replaced nothing or the replaced item was deleted for good.
  std::string replacedTo;
  bool replaced = false;  // it took the place of another item
};

struct ArchiveInstallResult {
  std::vector<std::string> installed;  // names put in place
  std::vector<ArchivePlacedItem> placed;  // the installed items, in the order of `installed`
  std::vector<std::string> skipped;    // names skipped because they were taken
  // Of the installed names, those that replaced an item in the other place than the one asked
  // for, and were put there.
  std::vector<std::string> installedElsewhere;
  std::vector<std::string> trashed;  // replaced names whose old item went to the trash
  std::vector<std::string> deleted;  // replaced names whose old item no trash could take: deleted
};

// Everything InstallFromArchive can be told, for callers that choose per item.
struct ArchiveInstallRequest {
  std::vector<std::string> names;  // empty: every item
  InstallPlace place = InstallPlace::Installed;
  WhenTaken whenTaken = WhenTaken::Skip;
  // Taken names that are replaced even with WhenTaken::Skip.
  std::vector<std::string> replace;
  std::string password;  // for an encrypted zip
  // A replaced item that no trash on its file system can take is deleted for good; without this
  // the install is refused before anything is written.
  bool deleteWithoutTrash = false;
};

// Where an item's name is taken in the game.
struct NameTaken {
  std::string name;    // the entry as it is spelt there; "" when the name is free in both places
  std::string folder;  // the game's folder that holds it, a full path
  InstallPlace place = InstallPlace::Installed;
};

// Installs the items `names` (empty: every item) of the archive into the game: levels into levels
// or un_levels, cars into cars or garage, a level's preview into gfx unless one is there, each
// folder found in whatever letter case the game has it (made in lower case where missing). A name
// taken in either place of its kind (letter case ignored) is skipped untouched, or with Replace the
// new item takes the old one's place, where that is, and the old one goes to the desktop's trash
// once the new one is whole in its place. Refused before anything is written when the unpacked
// items do not fit the destination's free space, or when a replaced item has no trash to go to
// and may not be deleted for good. Any failure or cancel (through `progress`,
// ETransferCancelled) leaves the game as it was.
ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const std::vector<std::string>& names, InstallPlace place,
                                        WhenTaken whenTaken, TransferProgress* progress = nullptr);
ArchiveInstallResult InstallFromArchive(const std::string& archivePath, const std::string& gameDirectory,
                                        const ArchiveInstallRequest& request, TransferProgress* progress = nullptr);

// The game's folder for items of `kind` in `place` ("levels", "un_levels", "cars" or "garage").
const char* archiveDestinationFolder(ContentKind kind, InstallPlace place);
// That folder of the game as the game spells it, a full path (as named above where it is missing).
std::string archiveDestination(const std::string& gameDirectory, ContentKind kind, InstallPlace place);

// Where `name` is taken for an item of `kind`, letter case ignored: in `place` first, then in
// the other place.
NameTaken findTakenName(const std::string& gameDirectory, ContentKind kind, const std::string& name,
                        InstallPlace place);

// The name of an entry of `folder` equal to `name` ignoring letter case, exact match first; ""
// when there is none.
std::string takenNameIn(const std::string& folder, const std::string& name);

}  // namespace pitkit
