#include "shell/ArchiveOpen.h"

#include <QApplication>
#include <QDir>
#include <QDropEvent>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QMimeData>
#include <QStandardPaths>
#include <QStatusBar>
#include <QTimer>
#include <QUrl>
#include <optional>

#include "archive/ArchiveInstall.h"
#include "archive/ArchiveInstallDialog.h"
#include "archive/ArchiveReader.h"
#include "transfer/TransferRunner.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileSystem.h"
#include "platform/HostSystem.h"
#include "platform/NameCase.h"
#include "platform/Paths.h"
#include "platform/Sha256.h"
#include "platform/Trash.h"
#include "shell/Unit1.h"

namespace pitkit {

namespace {

// The folder the file dialog opens in: where the last archive came from, at first the user's
// downloads.
QString lastArchiveFolder;

bool isArchiveName(const QString& file) {
  const QString suffix = QFileInfo(file).suffix().toLower();
  return suffix == QLatin1String("zip") || suffix == QLatin1String("7z") || suffix == QLatin1String("rar");
}

QStringList droppedArchives(const QMimeData* data) {
  QStringList files;
  if (data == nullptr || !data->hasUrls()) return files;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile() && isArchiveName(url.toLocalFile())) files << url.toLocalFile();
  return files;
}

QString joinNames(const std::vector<std::string>& names) {
  QStringList out;
  for (const std::string& n : names) out << QString::fromStdString(n);
  return out.join(QStringLiteral(", "));
}

// The pages of what was installed search again; the first new item is selected on its page.
void showInstalled(TForm1& form, const ArchiveContents& contents, const ArchiveInstallResult& result,
                   InstallPlace place, const QString& archiveName) {
  const auto installedOfKind = [&](ContentKind kind) {
    for (const ArchiveItem& item : contents.items)
      if (item.kind == kind &&
          std::find(result.installed.begin(), result.installed.end(), item.name) != result.installed.end())
        return &item;
    return static_cast<const ArchiveItem*>(nullptr);
  };
  const ArchiveItem* level = installedOfKind(ContentKind::Level);
  const ArchiveItem* car = installedOfKind(ContentKind::Car);
  if (car != nullptr && level != nullptr) form.carOrganizer().go();
  if (const ArchiveItem* shown = level != nullptr ? level : car) {
    // A replacing item went where the one it replaced was, under that one's name (which may
    // differ from its own in letter case).
    const bool elsewhere = std::find(result.installedElsewhere.begin(), result.installedElsewhere.end(), shown->name) !=
                           result.installedElsewhere.end();
    const InstallPlace where = (place == InstallPlace::Installed) != elsewhere ? InstallPlace::Installed
                                                                              : InstallPlace::Uninstalled;
    const std::string folder =
        findIgnoringCase(archiveDestination(form.GameDirectory, shown->kind, where), shown->name, EntryKind::Folder);
    (shown->kind == ContentKind::Level ? form.levelOrganizer() : form.carOrganizer()).showSelected(folder);
  }
  QString message = result.installed.empty()
                        ? QStringLiteral("Nothing was installed from %1").arg(archiveName)
                        : QStringLiteral("Installed %1 from %2").arg(joinNames(result.installed), archiveName);
  if (!result.skipped.empty())
    message += QStringLiteral("; skipped %1 (the name is taken)").arg(joinNames(result.skipped));
  if (!result.trashed.empty())
    message += QStringLiteral("; the replaced %1 went to the trash").arg(joinNames(result.trashed));
  if (!result.deleted.empty())
    message += QStringLiteral("; the replaced %1 was deleted for good").arg(joinNames(result.deleted));
  form.ui.StatusBar1->showMessage(message);
}

// The archive as the history keeps it: its path, size and SHA-256, read after the install (a
// file that cannot be read again is kept with what could be read).
HistoryArchive describeArchive(const std::string& path) {
  HistoryArchive archive{path, 0, {}};
  if (const std::optional<std::uint64_t> size = fileSizeOf(path)) archive.size = *size;
  try {
    archive.sha256 = sha256OfFile(path);
  } catch (const std::exception&) {
  }
  return archive;
}

// The install as one action of the history: a Replace when an item took another's place.
void recordInstall(TForm1& form, const std::string& game, const HistoryArchive& archive,
                   const ArchiveInstallResult& result) {
  if (result.placed.empty()) return;
  HistoryAction action;
  action.gameFolder = game;
  action.kind = HistoryActionKind::ArchiveInstall;
  action.archive = archive;
  for (const ArchivePlacedItem& placed : result.placed) {
    if (placed.replaced) action.kind = HistoryActionKind::Replace;
    action.items.push_back({placed.kind == ContentKind::Level ? ItemKind::Level : ItemKind::Car,
                            extractFileName(placed.path), placed.source, placed.path,
                            placed.replacedTo});
  }
  form.history().record(action);
}

// Replaced items that no trash can take are deleted for good only after the user says Yes; with
// No they are skipped. False when the user cancels the install.
bool allowDeletingForGood(TForm1& form, const std::string& game, const ArchiveContents& contents,
                          ArchiveInstallRequest& request) {
  QStringList folders;
  std::vector<std::string> keep;
  for (const std::string& name : request.replace) {
    const auto item = std::find_if(contents.items.begin(), contents.items.end(),
                                   [&](const ArchiveItem& i) { return i.name == name; });
    if (item == contents.items.end()) continue;
    const NameTaken taken = findTakenName(game, item->kind, name, request.place);
    if (taken.name.empty() || !trashFolderFor(taken.folder + "/" + taken.name).empty()) keep.push_back(name);
    else folders << QString::fromStdString(taken.folder + "/" + taken.name);
  }
  if (folders.isEmpty()) return true;
  QMessageBox ask(QMessageBox::Question, QStringLiteral("Torvane Pit Kit"),
                  QStringLiteral("No trash on their file system can take what Replace would put aside:\n\n%1\n\n"
                                 "Delete it for good and install the new one?")
                      .arg(folders.join(QLatin1Char('\n'))),
                  QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, &form);
  ask.setObjectName(QStringLiteral("DeleteForGood"));
  ask.setInformativeText(QStringLiteral("No skips it and leaves it as it is."));
  ask.setDefaultButton(QMessageBox::No);
  const int answer = ask.exec();
  if (answer == QMessageBox::Cancel) return false;
  if (answer == QMessageBox::Yes) request.deleteWithoutTrash = true;
  else request.replace = keep;
  return true;
}

void installFromArchive(TForm1& form, const QString& file) {
  const std::string game = form.GameDirectory;
  if (game.empty() || !directoryExists(findIgnoringCase(game, "levels", EntryKind::Folder)))
    throw Exception("Selected Directory is not a TORVANE Main directory");
  const QString archiveName = QFileInfo(file).fileName();
  const std::string path = file.toStdString();
  std::string password;
  ArchiveContents contents;
  for (;;) {
    try {
      const QString label = QStringLiteral("Reading %1").arg(archiveName);
      const bool read = runTransfer(
          &form, label, [&](TransferProgress& progress) { contents = ReadArchiveContents(path, password, &progress); },
          kProgressDialogDelayMs, true);
      if (!read) {
        form.ui.StatusBar1->showMessage(label + QStringLiteral(" cancelled: nothing was installed"));
        return;
      }
      break;
    } catch (const EArchivePassword& e) {
      bool ok = false;
      const QString entered = QInputDialog::getText(&form, QStringLiteral("Password"),
                                                    QString::fromStdString(e.message()) + QStringLiteral(".\nPassword:"),
                                                    QLineEdit::Password, QString(), &ok);
      if (!ok) return;
      password = entered.toStdString();
    }
  }
  if (contents.items.empty()) {
    std::string message = archiveName.toStdString() + " holds no level or car to install";
    for (std::size_t i = 0; i < contents.leftOut.size() && i < 5; ++i) message += "\n" + contents.leftOut[i];
    throw Exception(message);
  }

  ArchiveInstallDialog dialog(&form, archiveName, contents, [&game](const ArchiveItem& item, InstallPlace place) {
    return findTakenName(game, item.kind, item.name, place);
  });
  dialog.setObjectName(QStringLiteral("ArchiveInstallDialog"));
  if (dialog.exec() != QDialog::Accepted) return;
  ArchiveInstallRequest request = dialog.request();
  if (request.names.empty()) return;
  request.password = password;
  if (!allowDeletingForGood(form, game, contents, request)) return;

  const QString label = QStringLiteral("Installing from %1").arg(archiveName);
  ArchiveInstallResult result;
  HistoryArchive archive;
  const bool done = runTransfer(
      &form, label,
      [&](TransferProgress& progress) {
        result = InstallFromArchive(path, game, request, &progress);
        // The digest is read on the worker too, while the progress window still shows.
        if (!result.placed.empty()) archive = describeArchive(path);
      },
      kProgressDialogDelayMs, true);
  if (!done) {
    form.ui.StatusBar1->showMessage(label + QStringLiteral(" cancelled: nothing was installed"));
    return;
  }
  recordInstall(form, game, archive, result);
  showInstalled(form, contents, result, request.place, archiveName);
}

}  // namespace

QStringList archiveArguments(const QStringList& arguments) {
  QStringList files;
  for (qsizetype i = 1; i < arguments.size(); ++i) {
    const QString& argument = arguments[i];
    if (argument.startsWith(QLatin1Char('-'))) continue;
    files << QFileInfo(argument).absoluteFilePath();
  }
  return files;
}

void chooseArchivesToInstall(TForm1& form) {
  if (lastArchiveFolder.isEmpty())
    lastArchiveFolder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
  const QStringList files = QFileDialog::getOpenFileNames(
      &form, QStringLiteral("Install from Archive"), lastArchiveFolder,
      QStringLiteral("Archives (*.zip *.7z *.rar *.ZIP *.7Z *.RAR);;All files (*)"));
  if (files.isEmpty()) return;
  lastArchiveFolder = QFileInfo(files.first()).absolutePath();
  installFromArchives(form, files);
}

void installFromArchives(TForm1& form, const QStringList& files) {
  for (const QString& file : files) runGuarded(&form, [&] { installFromArchive(form, file); });
}

ArchiveDrop::ArchiveDrop(TForm1& form) : QObject(&form), form_(form) {
  // The window takes drags itself, so that one reaches it over any control; the filter sees them
  // first, also over controls that take drops of their own (the text boxes).
  form.setAcceptDrops(true);
  qApp->installEventFilter(this);
}

ArchiveDrop::~ArchiveDrop() { qApp->removeEventFilter(this); }

bool ArchiveDrop::eventFilter(QObject* watched, QEvent* event) {
  const QEvent::Type type = event->type();
  if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  if (widget == nullptr || widget->window() != &form_) return false;
  auto* drop = static_cast<QDropEvent*>(event);
  const QStringList files = droppedArchives(drop->mimeData());
  if (files.isEmpty()) return false;
  drop->setDropAction(Qt::CopyAction);
  drop->accept();
  // The install asks questions in its own dialogs: it starts once the drop has ended.
  if (type == QEvent::Drop) QTimer::singleShot(0, &form_, [this, files] { installFromArchives(form_, files); });
  return true;
}

}  // namespace pitkit
