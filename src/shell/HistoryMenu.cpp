#include "shell/HistoryMenu.h"

#include <QStatusBar>
#include <algorithm>

#include "history/Undo.h"
#include "platform/ByteText.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "shell/HistoryWindow.h"
#include "shell/Unit1.h"
#include "transfer/TransferRunner.h"

namespace pitkit {

namespace {

// The caption as a menu shows it: a "&" of a name is a letter, not a mnemonic.
QString menuText(const std::string& caption) {
  return nameText(caption).replace(QLatin1Char('&'), QStringLiteral("&&"));
}

// What an undo stopped or failed partway leaves to undo: the items not reversed, as one action of
// its own with the same time, so that the next Undo can try them again.
HistoryAction rest(const HistoryAction& action, const UndoResult& result) {
  HistoryAction left = action;
  left.id = 0;
  left.undoneAt.reset();
  left.items.clear();
  for (std::size_t i = 0; i < action.items.size(); ++i)
    if (std::find(result.reversed.begin(), result.reversed.end(), i) == result.reversed.end())
      left.items.push_back(action.items[i]);
  return left;
}

// The pages that show what came back search again; a level renamed back is shown in the renamer.
void showUndone(TForm1& form, const HistoryAction& action, const UndoResult& result) {
  bool levels = false, cars = false;
  for (std::size_t i : result.reversed) {
    const HistoryItem& item = action.items[i];
    (item.kind == ItemKind::Level ? levels : cars) = true;
    if (action.kind == HistoryActionKind::Rename && item.kind == ItemKind::Level &&
        directoryExists(excludeTrailingDelim(item.fromPath)))
      form.renamerUi.DirectoryListBox2->setDirectory(excludeTrailingDelim(item.fromPath));
  }
  if (levels) runGuarded(&form, [&] { form.FindButtonClick(); });
  if (cars) runGuarded(&form, [&] { form.FindButton2Click(); });
}

}  // namespace

void refreshUndoEntry(TForm1& form) {
  QAction* undo = form.ui.Undo1;
  const std::optional<HistoryAction> last = form.history().lastUndoable();
  undo->setText(last ? QStringLiteral("&Undo ") + menuText(undoCaption(*last))
                     : QStringLiteral("&Undo"));
  undo->setEnabled(last.has_value());
}

void undoLastAction(TForm1& form) {
  // A search still filling the lists finishes first, as for the pages' own actions.
  for (const TFindFile* search :
       {&form.FindFile, &form.FindFile2, &form.FindFile3, &form.FindFile4})
    if (search->Busy()) return;
  HistoryKeeper& history = form.history();
  const std::optional<HistoryAction> last = history.lastUndoable();
  refreshUndoEntry(form);
  if (!last) {
    form.ui.StatusBar1->showMessage(QStringLiteral("Nothing to undo"));
    return;
  }
  const HistoryAction& action = *last;
  // A Delete, or an item moved, gone or crowded out since: nothing is touched.
  if (const std::optional<UndoProblem> problem = undoProblem(action))
    throw Exception(undoProblemText(*problem));

  const QString caption = nameText(undoCaption(action));
  UndoResult result;
  runTransfer(
      &form, QStringLiteral("Undoing %1").arg(caption),
      [&](TransferProgress& progress) { result = undoAction(action, &progress); },
      kProgressDialogDelayMs, true);
  if (result.refused) throw Exception(undoProblemText(*result.refused));
  if (!result.reversed.empty()) {
    history.markUndone(action.id);
    if (!result.complete(action)) history.record(rest(action, result));
    showUndone(form, action, result);
  }

  if (result.complete(action)) {
    form.ui.StatusBar1->showMessage(QStringLiteral("Undone: %1").arg(caption));
  } else if (result.cancelled) {
    form.ui.StatusBar1->showMessage(
        QStringLiteral("Undo of %1 cancelled: %2 of %3 items were put back")
            .arg(caption)
            .arg(result.reversed.size())
            .arg(action.items.size()));
  }
  if (!result.failed.empty()) {
    std::string message = "Undo of " + undoCaption(action) + " could not put back every item:";
    for (const UndoFailure& failure : result.failed)
      message += "\n" + itemCaption(action.items[failure.item]) + ": " + failure.reason;
    throw Exception(message);
  }
}

void showHistoryWindow(TForm1& form) {
  HistoryWindow window(&form, form.GameDirectory, form.history().actions());
  window.exec();
}

}  // namespace pitkit
