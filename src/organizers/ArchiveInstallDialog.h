#pragma once
// What an archive holds and the choices for installing it: which items, installed or uninstalled,
// and Skip or Replace for each name already taken. The dialog does no file work itself.
#include <QDialog>
#include <functional>
#include <string>

#include "organizers/ArchiveInstall.h"
#include "ui_ArchiveInstallDialog.h"

class QPushButton;

namespace pitkit {

// The list of an archive's levels and cars, each with a checkbox, and the install choices.
class ArchiveInstallDialog : public QDialog {
  Q_OBJECT
 public:
  // The name in the game that `item` would take in `place`, "" when it is free.
  using TakenName = std::function<std::string(const ArchiveItem& item, InstallPlace place)>;

  ArchiveInstallDialog(QWidget* owner, const QString& archiveName, ArchiveContents contents, TakenName takenName);

  // The checked items, the chosen place, and the taken names chosen to be replaced.
  ArchiveInstallRequest request() const;

  Ui::ArchiveInstallDialog ui;
  // The confirming button, captioned "Install".
  QPushButton* InstallButton = nullptr;

 private:
  InstallPlace place() const;
  // Marks the items whose names are taken in the chosen place and offers Skip or Replace there.
  void showTaken();
  void updateInstallButton();
  void showLeftOut();

  ArchiveContents contents_;
  TakenName takenName_;
};

}  // namespace pitkit
