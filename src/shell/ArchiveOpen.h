#pragma once
// Installing from archives in the main window: the File menu's "Install from Archive...", archives
// dropped anywhere on the window, and archives named on the command line.
#include <QObject>
#include <QStringList>

namespace pitkit {

class TForm1;

// The arguments that name files (not options), made absolute against the start folder.
QStringList archiveArguments(const QStringList& arguments);

// Asks for archives with a file dialog (several at once) and installs from them.
void chooseArchivesToInstall(TForm1& form);

// Installs from each archive in turn: reads it (asking for an encrypted zip's password), lists
// what it holds for the user's choice, installs with the progress window, then shows the page of
// what was installed with the new item selected. A failure is shown in the error box and the next
// archive follows.
void installFromArchives(TForm1& form, const QStringList& files);

// Takes archives dropped on the main window, whichever of its controls is under the pointer.
class ArchiveDrop : public QObject {
 public:
  explicit ArchiveDrop(TForm1& form);
  ~ArchiveDrop() override;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  TForm1& form_;
};

}  // namespace pitkit
