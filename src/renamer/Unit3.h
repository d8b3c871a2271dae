#pragma once
// TForm3, the ".INF Editor": shows one text file and saves it in one of two modes. Rename-save
// (Button1) writes the renamed level's info file named by the renamer at the moment Save is
// pressed; file-save (Button3) writes the file selected in the levels file list.
#include <QDialog>
#include <QString>
#include <functional>
#include <string>

#include "platform/Charset.h"
#include "ui_Unit3.h"

namespace pitkit {

class TFileListBox;

// The info-file editor window.
class TForm3 : public QDialog {
  Q_OBJECT
 public:
  // `renamedInfoFile` names the file rename-save writes; file-save writes the file selected in
  // `fileList`. An editor without them only shows files.
  explicit TForm3(QWidget* owner, TFileListBox* fileList = nullptr,
                  std::function<std::string()> renamedInfoFile = {});

  Ui::Form3 ui;

  // Loads `path` into Memo1 (line breaks shown as lines), in the character set it is written in
  // (Save writes that set again). Raises "Cannot open file <path>" or "Text exceeds memo
  // capacity"; on failure the memo and buttons are left as they were.
  void loadFile(const std::string& path);
  // Loads `path`, makes the rename-save button visible and shows the editor modally.
  void openRenameSave(const std::string& path);
  // Loads `path`, makes the file-save button visible and shows the editor modally.
  void openFileSave(const std::string& path);

  // The memo's text with CR LF line breaks, as it is saved (UTF-8).
  std::string memoText() const;

  void Button1Click();
  void Button2Click();
  void Button3Click();
  // Runs on every closing of the window: hides both Save buttons.
  void FormClose();

  // Every closing (Save, Cancel, Escape, the title-bar close) ends here. With unsaved edits it
  // first asks Save, Discard or Cancel; Cancel, or a Save that fails, keeps the editor open.
  void done(int result) override;

 private:
  // Writes the text to `path`; raises the save's error (the editor stays as it is).
  void write(const std::string& path);
  void saveTo(const std::string& path);
  // The file Save writes in the open mode; "" when no Save button shows.
  std::string saveTarget() const;
  // True when the window may close: no unsaved edits, or the person chose Save (and it worked)
  // or Discard.
  bool mayClose();

  TFileListBox* fileList_;
  std::function<std::string()> renamedInfoFile_;
  TextCharset charset_ = TextCharset::Windows1252;  // the set the file was read in
  std::string savedText_;  // memoText() as last loaded or saved
  bool asking_ = false;    // the question before closing is open
};

}  // namespace pitkit
