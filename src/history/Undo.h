#pragma once
// Undo of a recorded action: whether it can still be reversed, the reversal itself, item by item
// and each item whole or not at all, and the words the Edit menu names it by.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "history/History.h"
#include "transfer/TransferProgress.h"

namespace pitkit {

// Why an action cannot be undone.
enum class UndoProblemKind {
  DeletedForGood,  // a Delete: the items were deleted for good, no trash holds them
  AlreadyUndone,   // the action was undone before
  Unrecorded,      // the record does not say where the item was or went (or names it otherwise)
  ItemGone,        // nothing is a folder any more where the action put the item
  NameTaken,       // the item's name is taken where it would go back (letter case ignored)
  TrashEntryGone,  // the item a Replace sent to the trash is no longer there
};

// One refusal, as data: the window words it with undoProblemText.
struct UndoProblem {
  UndoProblemKind kind = UndoProblemKind::ItemGone;
  std::string item;       // "Level: x", "Car: x"; for an action as a whole, its undoCaption
  std::string path;       // the path concerned: where the item should be, what takes its name, ...
  std::size_t count = 1;  // the items it concerns: a Delete of several is named as "3 items"
  bool operator==(const UndoProblem&) const = default;
};

// The refusal in the error box's words, for instance
//   Level: x was deleted for good and cannot be brought back.
//   Level: x cannot be put back: it is no longer at /g/un_levels/x.
//   Level: x cannot be put back: its name is taken by /g/levels/X.
//   The replaced Level: x cannot be brought back: it is no longer in the trash at /t/files/x.
//   Uninstall of Level: x was undone already.
std::string undoProblemText(const UndoProblem& problem);

// "Level: x" or "Car: x".
std::string itemCaption(const HistoryItem& item);
// The action's kind in words: "Install", "Uninstall", "Delete", "Archive Install", "Replace",
// "Rename".
std::string actionKindText(HistoryActionKind kind);

// The reason the action cannot be undone, or none. Every item is looked at, last first (the order
// Undo takes them in), and the first problem found is given; the disk is only looked at.
std::optional<UndoProblem> undoProblem(const HistoryAction& action);

// One item that was not reversed, and why (the message of the error that stopped it).
struct UndoFailure {
  std::size_t item = 0;  // its index in the action's items
  std::string reason;
  bool operator==(const UndoFailure&) const = default;
};

// What undoAction did.
struct UndoResult {
  // Set when undoProblem refused the action: nothing was touched.
  std::optional<UndoProblem> refused;
  // Indexes of the items reversed, in the order they were (last item first).
  std::vector<std::size_t> reversed;
  // Items that stayed as the action left them.
  std::vector<UndoFailure> failed;
  // The progress' cancel stopped the undo; items after the one in hand were not tried.
  bool cancelled = false;

  // Every item was reversed: the action can be marked undone.
  bool complete(const HistoryAction& action) const {
    return !refused && reversed.size() == action.items.size();
  }
};

// Reverses the action, its items in reverse order, once undoProblem has found nothing to refuse:
// - Install, Uninstall: the item's folder moved back from toPath to fromPath (no-replace move);
// - Rename: the level renamed back, folder and file set (a car folder is moved back);
// - Archive Install, Replace: the installed item moved to the trash and, where it replaced
//   another (replacedTo), that one put back from the trash where it stood, its info file removed.
// Each item is reversed whole or left as the action left it; a failed item does not stop the
// others. `progress` (optional) counts the moves and carries the cancel between and within moves.
// Never raises for an item's failure.
UndoResult undoAction(const HistoryAction& action, TransferProgress* progress = nullptr);

// What the Edit menu's entry names after "&Undo " (plain text: a window escapes "&" for a menu):
//   "Install of Level: x", "Uninstall of Car: x", "Delete of Level: x", "Replace of Car: x",
//   "Archive Install of Level: x", "Rename of Level: a to b";
// an action of several items: "<Kind> of <n> items" ("Archive Install of 3 items").
std::string undoCaption(const HistoryAction& action);

}  // namespace pitkit
