#include "history/Undo.h"

#include <cerrno>
#include <cstring>

#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/Trash.h"
#include "renamer/LevelRename.h"
#include "transfer/FolderMove.h"

namespace pitkit {

namespace {

using enum HistoryActionKind;

const char* kindWords(HistoryActionKind kind) {
  switch (kind) {
    case Install:
      return "Install";
    case Uninstall:
      return "Uninstall";
    case Delete:
      return "Delete";
    case ArchiveInstall:
      return "Archive Install";
    case Replace:
      return "Replace";
    case Rename:
      return "Rename";
  }
  return "";
}

// The last name of a recorded path ("" for none).
std::string lastName(const std::string& path) {
  return extractFileName(excludeTrailingDelim(path));
}

std::string folderOf(const std::string& path) {
  return excludeTrailingDelim(extractFilePath(excludeTrailingDelim(path)));
}

// Undone by a move back to where the item was, rather than by the trash.
bool movesBack(HistoryActionKind kind) {
  return kind == Install || kind == Uninstall || kind == Rename;
}

std::optional<UndoProblem> itemProblem(HistoryActionKind kind, const HistoryItem& item) {
  const std::string caption = itemCaption(item);
  const std::string to = excludeTrailingDelim(item.toPath);
  const std::string from = excludeTrailingDelim(item.fromPath);
  // A record that does not name the item's folder could point at a whole levels or cars folder:
  // nothing is moved on its word.
  if (to.empty() || lastName(to) != item.name || (movesBack(kind) && lastName(from).empty()))
    return UndoProblem{UndoProblemKind::Unrecorded, caption, to};
  if (!directoryExists(to)) return UndoProblem{UndoProblemKind::ItemGone, caption, to};
  if (movesBack(kind)) {
    // The item itself counts as free: a rename back that changes letter case only.
    const std::string taken = takenPath(folderOf(from), lastName(from));
    if (!taken.empty() && taken != to)
      return UndoProblem{UndoProblemKind::NameTaken, caption, taken};
  } else if (!item.replacedTo.empty() && !directoryExists(item.replacedTo)) {
    return UndoProblem{UndoProblemKind::TrashEntryGone, caption, item.replacedTo};
  }
  return std::nullopt;
}

// A level's rename reversed with its file set; whole, or renamed forward again.
void renameBack(const HistoryItem& item) {
  const std::string from = excludeTrailingDelim(item.fromPath),
                    to = excludeTrailingDelim(item.toPath);
  const std::string oldName = lastName(from), newName = lastName(to);
  const std::string what = "Cannot rename Level: " + newName + " back to " + oldName;
  errno = 0;
  const LevelRenameResult back = renameLevel(to, from, newName, oldName);
  if (!back.refused.empty()) throw Exception(what + ": " + back.refused);
  if (!back.folderMoved) throw EOSError(errno != 0 ? errno : EIO, what);
  if (back.failedFiles.empty()) return;
  std::string files;
  for (const std::string& file : back.failedFiles) files += (files.empty() ? "" : ", ") + file;
  const LevelRenameResult again = renameLevel(from, to, oldName, newName);
  const bool whole = again.folderMoved && again.failedFiles.empty();
  throw Exception(what + ": the files " + files + " could not be renamed" +
                  (whole ? "; the level keeps the name " + newName
                         : "; the level is left at " + (again.folderMoved ? to : from) +
                               " with files of both names"));
}

// An installed item sent to the trash, and the one it replaced put back where it stood; when that
// one cannot come back, the installed item comes back from the trash instead.
void trashInstalled(const HistoryItem& item) {
  const std::string to = excludeTrailingDelim(item.toPath);
  const TrashedItem installed = moveToTrash(to);
  if (item.replacedTo.empty()) return;
  const TrashedItem old = trashedItemAt(item.replacedTo);
  const int err = restoreFromTrash(old, to);
  if (err == 0) return;
  const bool back = restoreFromTrash(installed, to) == 0;
  throw Exception("Cannot bring the replaced " + itemCaption(item) + " back from the trash " +
                  old.file + ": " + std::strerror(err) +
                  (back ? "" : "; the installed one is in the trash at " + installed.file));
}

void undoItem(HistoryActionKind kind, const HistoryItem& item, TransferProgress* progress) {
  switch (kind) {
    case Install:
    case Uninstall:
      MoveFolder(excludeTrailingDelim(item.toPath), excludeTrailingDelim(item.fromPath), progress);
      return;
    case Rename:
      if (item.kind == ItemKind::Level) return renameBack(item);
      MoveFolder(excludeTrailingDelim(item.toPath), excludeTrailingDelim(item.fromPath), progress);
      return;
    case ArchiveInstall:
    case Replace:
      return trashInstalled(item);
    case Delete:
      break;
  }
  throw Exception(itemCaption(item) + " was deleted for good and cannot be brought back.");
}

}  // namespace

std::string actionKindText(HistoryActionKind kind) { return kindWords(kind); }

std::string itemCaption(const HistoryItem& item) {
  return (item.kind == ItemKind::Level ? "Level: " : "Car: ") + item.name;
}

std::string undoCaption(const HistoryAction& action) {
  const std::string kind = kindWords(action.kind);
  if (action.items.size() != 1)
    return kind + " of " + std::to_string(action.items.size()) + " items";
  const HistoryItem& item = action.items.front();
  if (action.kind != Rename) return kind + " of " + itemCaption(item);
  HistoryItem before = item;
  before.name = lastName(item.fromPath);
  return kind + " of " + itemCaption(before) + " to " + item.name;
}

std::string undoProblemText(const UndoProblem& problem) {
  switch (problem.kind) {
    case UndoProblemKind::DeletedForGood:
      return problem.item + (problem.count == 1 ? " was" : " were") +
             " deleted for good and cannot be brought back.";
    case UndoProblemKind::AlreadyUndone:
      return problem.item + " was undone already.";
    case UndoProblemKind::Unrecorded:
      return problem.item + " cannot be put back: the history does not say where it was.";
    case UndoProblemKind::ItemGone:
      return problem.item + " cannot be put back: it is no longer at " + problem.path + ".";
    case UndoProblemKind::NameTaken:
      return problem.item + " cannot be put back: its name is taken by " + problem.path + ".";
    case UndoProblemKind::TrashEntryGone:
      return "The replaced " + problem.item +
             " cannot be brought back: it is no longer in the trash at " + problem.path + ".";
  }
  return problem.item;
}

std::optional<UndoProblem> undoProblem(const HistoryAction& action) {
  if (action.undoneAt) return UndoProblem{UndoProblemKind::AlreadyUndone, undoCaption(action), {}};
  if (action.kind == Delete) {
    const std::size_t count = action.items.size();
    return UndoProblem{
        UndoProblemKind::DeletedForGood,
        count == 1 ? itemCaption(action.items.front()) : std::to_string(count) + " items",
        {},
        count};
  }
  for (std::size_t i = action.items.size(); i-- > 0;)
    if (auto problem = itemProblem(action.kind, action.items[i])) return problem;
  return std::nullopt;
}

UndoResult undoAction(const HistoryAction& action, TransferProgress* progress) {
  UndoResult result;
  result.refused = undoProblem(action);
  if (result.refused) return result;
  for (std::size_t i = action.items.size(); i-- > 0;) {
    if (progress != nullptr && progress->cancelRequested) {
      result.cancelled = true;
      break;
    }
    try {
      undoItem(action.kind, action.items[i], progress);
      result.reversed.push_back(i);
    } catch (const ETransferCancelled&) {
      result.cancelled = true;
      break;
    } catch (const std::exception& e) {
      result.failed.push_back({i, e.what()});
    }
  }
  return result;
}

}  // namespace pitkit
