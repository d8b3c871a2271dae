#include "organizers/OrganizerBatch.h"

#include <QMessageBox>
#include <QStringList>

#include <atomic>
#include <cctype>

#include "platform/ByteText.h"
#include "platform/Errors.h"
#include "platform/Paths.h"
#include "transfer/FolderTransfer.h"
#include "transfer/TransferRunner.h"

namespace pitkit {

namespace {

// The organizers' one question, asked for cars too.
const char* const kConfirmDeleteText = "Are you shure you want to delete this level?";

// Names what a delete removes: the item, and the folder it is deleted from.
QString deleteDetailText(const char* itemKind, const std::string& folder) {
  const std::string parent = extractFilePath(folder);
  return QStringLiteral("%1: %2\nIn: %3\nIt is deleted for good, with every file in its folder.")
      .arg(QString::fromUtf8(itemKind), nameText(extractFileName(folder)),
           nameText(parent.size() > 1 ? parent.substr(0, parent.size() - 1) : parent));
}

}  // namespace

bool confirmDelete(QWidget* window, const char* itemKind, const std::string& folder) {
  QMessageBox confirm(QMessageBox::Question, QStringLiteral("Confirm"), QString::fromUtf8(kConfirmDeleteText),
                      QMessageBox::Yes | QMessageBox::No, window);
  confirm.setObjectName(QStringLiteral("Confirm"));
  // The question is the same for both pages; the item it deletes is named under it.
  confirm.setInformativeText(deleteDetailText(itemKind, folder));
  confirm.setDefaultButton(QMessageBox::Yes);
  confirm.setEscapeButton(QMessageBox::No);
  return confirm.exec() == QMessageBox::Yes;
}

BatchResult runBatch(QWidget* window, const std::vector<BatchRow>& rows, const char* verb,
                     const std::function<std::string(const BatchRow&, TransferProgress&)>& act,
                     const std::function<void(const std::vector<BatchRow>&)>& rowDone) {
  BatchResult result;
  std::atomic<std::size_t> inHand{0};
  const auto label = [&] {
    const std::size_t i = inHand;
    return QStringLiteral("%1 %2 (%3 of %4)")
        .arg(QString::fromUtf8(verb), nameText(extractFileName(rows[i].from)))
        .arg(i + 1)
        .arg(rows.size());
  };
  runTransfer(
      window, label,
      [&](TransferProgress& progress) {
        for (std::size_t i = 0; i < rows.size() && !progress.cancelRequested; ++i) {
          inHand = i;
          progress.startNextFolder();
          progress.moreToCome = i + 1 < rows.size();
          try {
            BatchRow done = rows[i];
            done.to = act(rows[i], progress);
            result.done.push_back(std::move(done));
          } catch (const ETransferCancelled&) {
            break;  // the row in hand is whole where it was
          } catch (const std::exception& e) {
            result.failed.emplace_back(rows[i].caption, e.what());
            continue;
          }
          // While the row is recorded, Cancel is taken again: it stops the rows not begun.
          progress.startNextFolder();
          if (rowDone) rowDone(result.done);
        }
        result.cancelled = progress.cancelRequested;
      },
      kProgressDialogDelayMs, true);
  return result;
}

bool confirmBatchDelete(QWidget* window, const char* itemKind, const std::string& noun,
                        const std::vector<BatchRow>& rows, const std::string& folder) {
  constexpr std::size_t kNamed = 5;
  QStringList named;
  for (std::size_t i = 0; i < rows.size() && i < kNamed; ++i)
    named << QStringLiteral("%1: %2").arg(QString::fromUtf8(itemKind), nameText(rows[i].caption));
  if (rows.size() > kNamed) named << QStringLiteral("and %1 more").arg(rows.size() - kNamed);
  QMessageBox confirm(QMessageBox::Question, QStringLiteral("Confirm"),
                      QStringLiteral("Are you sure you want to delete these %1 %2?")
                          .arg(rows.size())
                          .arg(QString::fromStdString(noun)),
                      QMessageBox::Yes | QMessageBox::No, window);
  confirm.setObjectName(QStringLiteral("Confirm"));
  confirm.setInformativeText(
      QStringLiteral("%1\nIn: %2\nThey are deleted for good, with every file in their folders.")
          .arg(named.join(QLatin1Char('\n')), nameText(folder)));
  confirm.setDefaultButton(QMessageBox::Yes);
  confirm.setEscapeButton(QMessageBox::No);
  return confirm.exec() == QMessageBox::Yes;
}

std::string batchCancelledText(const BatchResult& result, std::size_t rows, const char* verb,
                               const std::string& noun) {
  const std::size_t done = result.done.size();
  if (!result.cancelled || done + result.failed.size() >= rows) return {};
  return std::string(verb) + " cancelled after " + std::to_string(done) + " of " + std::to_string(rows) + " " +
         noun + "; the rest were left as they were";
}

std::string batchFailureText(const BatchResult& result, std::size_t rows, const std::string& noun,
                             const char* done) {
  if (result.failed.empty()) return {};
  std::string text = std::to_string(result.failed.size()) + " of " + std::to_string(rows) + " " + noun +
                     " could not be " + done + ":";
  for (const auto& [caption, reason] : result.failed) text += "\n" + caption + ": " + withFullStop(reason);
  return text;
}

std::string itemsNoun(const char* itemKind) {
  if (itemKind == nullptr) return "items";
  std::string noun = itemKind;
  for (char& c : noun) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return noun + "s";
}

}  // namespace pitkit
