#pragma once
// The check of a game folder: what keeps its levels and cars from working or from being moved by
// the organizer pages, each problem once, with a safe fix where there is one. Nothing is changed
// by the check itself.
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "game/GameItems.h"
#include "history/History.h"

namespace pitkit {

// A fix as data: entries of one folder renamed, each by one no-replace move.
struct CheckFix {
  std::string folder;  // absolute, where the entries lie
  std::vector<std::pair<std::string, std::string>> renames;  // from, to: names in `folder`
  bool renamesFolders = false;  // the entries are folders (else regular files)
  // A file that must still lie in the first renamed folder for the fix to hold ("" for none).
  std::string expectedFile;
  HistoryItem record;  // what the history keeps of it (a Rename)
  bool operator==(const CheckFix&) const = default;
};

// One problem of an item.
struct CheckProblem {
  ItemKind kind = ItemKind::Level;
  bool installed = true;
  std::string name;  // the item's name: its folder (installed level, car) or its info file's stem
  std::string text;  // what is wrong, worded for the player
  std::optional<CheckFix> fix;
};

// Tells whether the picture file at a path decodes, raising an Exception that says why not. The
// window's own decoders, so that a picture the check passes is one the window shows.
using PictureDecoder = std::function<void(const std::string& path)>;
struct PictureDecoders {
  PictureDecoder bitmap;
  PictureDecoder jpeg;
};

// The problems of the game in `gameFolder`, levels before cars, installed before uninstalled, each
// kind by item name with letter case ignored. Raises Exception when the check cannot run: the
// folder missing, not a game folder (no levels folder) or unreadable.
std::vector<CheckProblem> checkGame(const std::string& gameFolder, const PictureDecoders& decoders);

// "level installed Kestrel: <text>", the line the command line prints and the window lists.
std::string problemLine(const CheckProblem& problem);

// Applies the fix after looking again that every entry is where the check saw it and that no
// target name is taken (letter case ignored); raises Exception saying why otherwise, having
// changed nothing. A move that fails half-way moves the ones done back.
void applyFix(const CheckFix& fix);

}  // namespace pitkit
