#pragma once
// What an archive holds and the choices for installing it: which items, installed or uninstalled,
// and Skip or Replace for each name already taken in either place. The dialog does no file work
// itself.
#include <QDialog>
#include <functional>
#include <string>

#include "archive/ArchiveInstall.h"
#include "ui_ArchiveInstallDialog.h"

class QPushButton;

namespace pitkit {

// The list of an archive's levels and cars, each with a checkbox, and the install choices.
class ArchiveInstallDialog : public QDialog {
  Q_OBJECT
 public:
  // Where the name of `item`, to be installed in `place`, is taken in the game (in either place).
  using TakenName = std::function<NameTaken(const ArchiveItem& item, InstallPlace place)>;

  ArchiveInstallDialog(QWidget* owner, const QString& archiveName, ArchiveContents contents, TakenName takenName);

  // The checked items, the chosen place, and the taken names chosen to be replaced.
  ArchiveInstallRequest request() const;

  Ui::ArchiveInstallDialog ui;
  // The confirming button, captioned "Install".
  QPushButton* InstallButton = nullptr;

 private:
  InstallPlace place() const;
  // Marks the items whose names are taken, and where, and offers Skip or Replace there.
  void showTaken();
  // Says which levels take their info file's spelling, and where replaced items go.
  void showNotes(bool anyTaken);
  void updateInstallButton();
  void showLeftOut();

  ArchiveContents contents_;
  TakenName takenName_;
};

}  // namespace pitkit
