#include "check/GameCheck.h"

#include "platform/Posix.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <map>
#include <set>
#include <unordered_map>

#include "check/GameScan.h"
#include "game/CarFile.h"
#include "game/InfoFile.h"
#include "game/LevelFileSet.h"
#include "game/StockTables.h"
#include "platform/DirectoryList.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/TextFile.h"

namespace pitkit {

namespace {

std::string join(const std::string& folder, const std::string& name) {
  return folder.empty() ? name : folder + PathDelim + name;
}

bool hasAnyKey(const std::string& line, const std::vector<std::string>& keys) {
  return std::any_of(keys.begin(), keys.end(), [&](const std::string& key) { return line.find(key) != std::string::npos; });
}

// The name of `names` equal to `wanted` letter for letter, else the first in byte order of those
// that differ from it in letter case only (the rule of findIgnoringCase); "" when none.
std::string findName(const std::vector<std::string>& names, const std::string& wanted) {
  std::string best;
  for (const std::string& name : names) {
    if (name == wanted) return name;
    if (sameTextAscii(name, wanted) && (best.empty() || name < best)) best = name;
  }
  return best;
}

// The name of a level's marking file (the part after the last '.', letter case ignored).
bool isInfoFileName(const std::string& name) { return name.size() > 4 && sameTextAscii(extractFileExt(name), ".inf"); }

// What the key-line scans of an info or parameters file found.
struct MarkedFile {
  bool empty = false;
  bool hasName = false;
  std::string texturePage;  // parameters files: the TPAGE line's value ("" without one)
};

MarkedFile readMarkedFile(const std::string& path, bool car) {
  MarkedFile file;
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0 && st.st_size == 0) {
    file.empty = true;
    return file;
  }
  TextLineReader reader(path, TextLineReader::kBufferSize, kKeyLineScanLimit);
  file.hasName = hasAnyKey(keyLineScan(reader, kNameKeys), kNameKeys);
  if (car && file.hasName) {
    const std::string textureLine = keyLineScan(reader, kTexturePageKeys);
    if (hasAnyKey(textureLine, kTexturePageKeys)) file.texturePage = quotedValueCut(textureLine, '"');
  }
  return file;
}

// One item found by the walk of its folder.
struct FoundItem {
  std::string name;
  std::string folder;  // below the walked folder
};

class Checker {
 public:
  Checker(const std::string& gameFolder, const PictureDecoders& decoders) : game_(gameFolder), decoders_(decoders) {}

  std::vector<CheckProblem> run() {
    const std::string levels = findIgnoringCase(game_, "levels", EntryKind::Folder);
    try {
      listDirectory(game_);
    } catch (const std::exception& e) {
      throw Exception("Cannot read the game folder " + game_ + ": " + e.what());
    }
    if (!directoryExists(levels)) throw Exception(game_ + " is not a game folder: it has no levels folder");
    readPreviews();
    for (ItemKind kind : {ItemKind::Level, ItemKind::Car}) {
      kind_ = kind;
      installedNames_.clear();
      for (bool installed : {true, false}) {
        installed_ = installed;
        const ItemMarks& marks = itemMarks(kind);
        root_ = findIgnoringCase(game_, installed ? marks.installedFolder : marks.uninstalledFolder, EntryKind::Folder);
        const ScannedTree tree = scanTree(root_);
        std::vector<FoundItem> items = kind == ItemKind::Level ? (installed ? installedLevels(tree) : uninstalledLevels(tree))
                                                               : cars(tree);
        reportUnreadable(tree, items);
        for (const FoundItem& item : items)
          if (!installed && installedNames_.count(upperAscii(item.name)) != 0)
            add(item.name, std::string("a ") + marks.word + " of the same name is installed, so Install and Uninstall refuse it");
      }
    }
    std::stable_sort(problems_.begin(), problems_.end(), [](const CheckProblem& a, const CheckProblem& b) {
      if (a.kind != b.kind) return a.kind == ItemKind::Level;
      if (a.installed != b.installed) return a.installed;
      return compareNames(a.name, b.name) < 0;
    });
    return std::move(problems_);
  }

 private:
  void add(const std::string& name, std::string text, std::optional<CheckFix> fix = std::nullopt) {
    problems_.push_back({kind_, installed_, name, std::move(text), std::move(fix)});
  }

  // The folder gfx listed once: a preview is looked up there as findIgnoringCase would, without a
  // listing per level.
  void readPreviews() {
    gfx_ = findIgnoringCase(game_, "gfx", EntryKind::Folder);
    try {
      for (DirectoryEntry& entry : listDirectory(gfx_))
        if (entry.isRegularFile) previews_[upperAscii(entry.name)].push_back(std::move(entry.name));
    } catch (const std::exception&) {
      // No previews to check.
    }
  }

  // levels/C holding C.inf; a folder whose info file is C.inf in other letters is found too.
  std::vector<FoundItem> installedLevels(const ScannedTree& tree) {
    std::vector<FoundItem> items;
    for (const ScannedFolder& folder : tree.folders) {
      if (folder.path.empty() || folder.path.find('/') != std::string::npos) continue;
      const std::string info = findName(folder.files, folder.path + ".inf");
      if (info.empty()) continue;
      installedNames_.insert(upperAscii(folder.path));  // the game's own levels take their names too
      if (isStockLevelInfoFile(info)) continue;
      items.push_back({folder.path, folder.path});
      const std::string spelt = stripFileExt(info);
      if (info != folder.path + ".inf") {
        CheckFix fix{root_, {{folder.path, spelt}}, true, info,
                     {ItemKind::Level, spelt, join(root_, folder.path), join(root_, spelt), {}}};
        add(folder.path, "info file " + info + " is spelt differently from its folder",
            takenBesides(tree.folders.front(), spelt, folder.path).empty() ? std::optional(fix) : std::nullopt);
      }
      checkLevel(tree, folder, folder.path, info, {spelt});
    }
    return items;
  }

  // Every info file below un_levels is a level, named by the file.
  std::vector<FoundItem> uninstalledLevels(const ScannedTree& tree) {
    std::vector<FoundItem> items;
    for (const ScannedFolder& folder : tree.folders) {
      std::vector<std::string> infos, own;
      for (const std::string& file : folder.files)
        if (isInfoFileName(file)) {
          infos.push_back(file);
          own.push_back(stripFileExt(file));
        }
      for (const std::string& info : infos) {
        items.push_back({stripFileExt(info), folder.path});
        checkLevel(tree, folder, stripFileExt(info), info, own, &info == &infos.front());
      }
    }
    return items;
  }

  // A car is a folder holding parameters.txt, named by its path below cars or garage.
  std::vector<FoundItem> cars(const ScannedTree& tree) {
    std::vector<FoundItem> items;
    for (const ScannedFolder& folder : tree.folders) {
      const std::string parameters = findName(folder.files, "parameters.txt");
      if (folder.path.empty() || parameters.empty()) continue;
      std::string caption = folder.path;
      std::replace(caption.begin(), caption.end(), '/', PathDelim);
      if (installed_) installedNames_.insert(upperAscii(caption));
      if (installed_ && isStockCarFolder(caption)) continue;
      items.push_back({caption, folder.path});
      checkCar(tree, caption, join(root_, folder.path), parameters);
    }
    return items;
  }

  // The level `name` whose info file `info` lies in `folder`; `own` are the level names the
  // folder's files may carry (the first is the name a stray file set is renamed to). The folder's
  // stray files are looked at with its first level only, so that they are reported once.
  void checkLevel(const ScannedTree& tree, const ScannedFolder& folder, const std::string& name,
                  const std::string& info, const std::vector<std::string>& own, bool strays = true) {
    const std::string folderPath = join(root_, folder.path);
    if (!tree.isUnreadable(join(folder.path, info))) checkMarkedFile(name, join(folderPath, info), "info file " + info, false);
    if (strays) checkStrayFiles(folder, folderPath, name, own);
    const auto variants = previews_.find(upperAscii(name + ".bmp"));
    const std::string preview = variants == previews_.end() ? std::string() : findName(variants->second, name + ".bmp");
    if (!preview.empty()) checkPicture(name, decoders_.bitmap, join(gfx_, preview), "preview gfx/" + preview);
  }

  void checkCar(const ScannedTree& tree, const std::string& caption, const std::string& folderPath,
                const std::string& parameters) {
    const std::string path = join(folderPath, parameters);
    const std::optional<MarkedFile> file =
        tree.isUnreadable(relativeToRoot(path)) ? std::nullopt
                                                : checkMarkedFile(caption, path, "parameters file " + parameters, true);
    if (file && !file->texturePage.empty()) {
      const std::string page = installed_ ? file->texturePage : uninstalledTexturePage(file->texturePage, caption);
      const std::string pagePath = findIgnoringCase(game_, gamePathToNative(page), EntryKind::File);
      if (fileExists(pagePath))
        checkPicture(caption, decoders_.bitmap, pagePath, "texture page " + page);
      else
        add(caption, "texture page " + page + " does not exist");
    }
    const std::string picture = findIgnoringCase(folderPath, caption + ".jpg", EntryKind::File);
    if (fileExists(picture)) checkPicture(caption, decoders_.jpeg, picture, "picture " + extractFileName(picture));
  }

  std::string relativeToRoot(const std::string& path) const { return path.substr(root_.size() + 1); }

  std::optional<MarkedFile> checkMarkedFile(const std::string& name, const std::string& path, const std::string& what,
                                            bool car) {
    try {
      const MarkedFile file = readMarkedFile(path, car);
      if (file.empty)
        add(name, what + " is empty");
      else if (!file.hasName)
        add(name, what + " has no name line");
      return file;
    } catch (const std::exception& e) {
      add(name, "cannot read " + what + " (" + e.what() + ")");
      return std::nullopt;
    }
  }

  void checkPicture(const std::string& name, const PictureDecoder& decode, const std::string& path, const std::string& what) {
    if (::faccessat(AT_FDCWD, path.c_str(), R_OK, AT_EACCESS) != 0) {
      add(name, "cannot read " + what + " (" + std::strerror(errno) + ")");
      return;
    }
    try {
      decode(path);
    } catch (const std::exception& e) {
      add(name, what + " does not decode (" + e.what() + ")");
    }
  }

  // Files named after another level with a suffix of the level file set, left behind by a rename
  // done by hand: one problem for each such name of two files or more.
  void checkStrayFiles(const ScannedFolder& folder, const std::string& folderPath, const std::string& name,
                       const std::vector<std::string>& own) {
    std::map<std::string, std::vector<std::pair<std::string, const char*>>> stray;  // by upper name
    for (const std::string& file : folder.files)
      for (const char* suffix : LevelFileSuffixes) {
        const std::size_t length = std::strlen(suffix);
        if (file.size() <= length || !sameTextAscii(file.substr(file.size() - length), suffix)) continue;
        const std::string other = file.substr(0, file.size() - length);
        if (std::none_of(own.begin(), own.end(), [&](const std::string& o) { return sameTextAscii(o, other); }))
          stray[upperAscii(other)].emplace_back(file, suffix);
        break;
      }
    for (auto& [upper, files] : stray) {
      if (files.size() < 2) continue;
      std::sort(files.begin(), files.end(), [](const auto& a, const auto& b) { return compareNames(a.first, b.first) < 0; });
      const std::string other = files.front().first.substr(0, files.front().first.size() - std::strlen(files.front().second));
      std::string list, taken;
      std::set<std::string> targets;  // upper case: two files of the set in other letter case would meet
      // Recorded as the rename of the level from the other name: Undo gives the whole level that name.
      CheckFix fix{folderPath, {}, false, {}, {ItemKind::Level, own.front(), extractFilePath(folderPath) + other, folderPath, {}}};
      for (const auto& [file, suffix] : files) {
        list += (list.empty() ? "" : ", ") + file;
        const std::string to = own.front() + suffix;
        fix.renames.emplace_back(file, to);
        if (taken.empty() && (!takenBesides(folder, to, file).empty() || !targets.insert(upperAscii(to)).second)) taken = to;
      }
      std::string text = std::to_string(files.size()) + " files carry another level's name, " + other + ": " + list;
      if (own.size() > 1) text += " (the folder holds several levels, so there is no fix)";
      else if (!taken.empty()) text += " (" + taken + " is taken, so there is no fix)";
      add(name, std::move(text), own.size() == 1 && taken.empty() ? std::optional(fix) : std::nullopt);
    }
  }

  // The entries under `root_` whose walk failed, under the item that holds them (the first name of
  // their path when none does).
  void reportUnreadable(const ScannedTree& tree, const std::vector<FoundItem>& items) {
    for (const UnreadableEntry& entry : tree.unreadable) {
      if (entry.path.empty()) {
        add(extractFileName(root_), "cannot read the folder itself (" + std::string(std::strerror(entry.error)) + ")");
        continue;
      }
      const FoundItem* owner = nullptr;
      for (const FoundItem& item : items)
        if (entry.path.starts_with(item.folder + "/") && (owner == nullptr || item.folder.size() > owner->folder.size()))
          owner = &item;
      const std::string name = owner != nullptr ? owner->name : entry.path.substr(0, entry.path.find('/'));
      const std::string within = owner != nullptr ? entry.path.substr(owner->folder.size() + 1) : entry.path;
      add(name, std::string("cannot read ") + (entry.folder ? "folder " : "file ") + within + " (" +
                    std::strerror(entry.error) + ")");
    }
  }

  // The name of `folder` (its files and sub-folders) equal to `name` in any letter case, other
  // than `self`; "" when there is none.
  static std::string takenBesides(const ScannedFolder& folder, const std::string& name, const std::string& self) {
    for (const auto* names : {&folder.files, &folder.folders})
      for (const std::string& entry : *names)
        if (entry != self && sameTextAscii(entry, name)) return entry;
    return {};
  }

  std::string game_;
  const PictureDecoders& decoders_;
  std::string gfx_, root_;
  std::unordered_map<std::string, std::vector<std::string>> previews_;  // gfx's files by upper-case name
  std::set<std::string> installedNames_;  // upper case, the game's own items too
  ItemKind kind_ = ItemKind::Level;
  bool installed_ = true;
  std::vector<CheckProblem> problems_;
};

}  // namespace

std::vector<CheckProblem> checkGame(const std::string& gameFolder, const PictureDecoders& decoders) {
  if (gameFolder.empty()) throw Exception("No game folder is chosen");
  if (!directoryExists(gameFolder)) throw Exception("The game folder " + gameFolder + " does not exist");
  return Checker(excludeTrailingDelim(gameFolder), decoders).run();
}

std::string problemLine(const CheckProblem& problem) {
  return std::string(itemMarks(problem.kind).word) + (problem.installed ? " installed " : " uninstalled ") +
         problem.name + ": " + problem.text;
}

}  // namespace pitkit
