#pragma once
// Runs a long folder copy or delete on a worker thread. The window waits for it without taking
// input; once the work has run for about a second a modal progress dialog appears, with a Cancel
// button for work that can be cancelled.
#include <QString>
#include <functional>

#include "transfer/FolderTransfer.h"

class QWidget;

namespace pitkit {

// How long the work runs before the progress dialog is shown, in milliseconds.
inline constexpr int kProgressDialogDelayMs = 1000;

// Runs `work` on a worker thread and returns when it has finished; an exception thrown by `work`
// is thrown again here. `label` is the progress dialog's text; below it the dialog shows what
// `work` reports through its TransferProgress: once the work has set its totals, the percentage
// done and the entry being worked on, before that the items and bytes done. With `cancellable` the
// dialog's Cancel (or Escape, or its window's close button) sets cancelRequested until the work
// marks itself committed; without it closing the dialog does nothing. Returns false when the work
// ended with ETransferCancelled.
bool runTransfer(QWidget* owner, const QString& label, const std::function<void(TransferProgress&)>& work,
                 int dialogDelayMs = kProgressDialogDelayMs, bool cancellable = false);

// The same with a label that changes as the work goes on (a batch names the folder in hand), read
// on the window's thread each time the dialog is refreshed. Between the folders of a batch the work
// calls TransferProgress::startNextFolder, which offers Cancel again.
bool runTransfer(QWidget* owner, const std::function<QString()>& label,
                 const std::function<void(TransferProgress&)>& work, int dialogDelayMs = kProgressDialogDelayMs,
                 bool cancellable = false);

}  // namespace pitkit
