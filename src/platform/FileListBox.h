#pragma once
// The file list: the regular files of one folder that match a mask (letter case ignored), sorted
// by name, hidden files left out. Each re-read empties the selection and writes the mask into the
// attached name box; a click on a file writes its name there.
#include <QListWidget>
#include <string>
#include <vector>

class QLineEdit;

namespace pitkit {

// The names the file list shows for `folder` and `mask`: regular files (links to them included)
// whose name matches the mask ignoring case, names beginning with "." left out, sorted by name
// ignoring ASCII case (ties by bytes). A folder that cannot be listed gives no names.
std::vector<std::string> listMatchingFiles(const std::string& folder, const std::string& mask);

class TFileListBox : public QListWidget {
  Q_OBJECT
 public:
  explicit TFileListBox(QWidget* parent = nullptr);

  const std::string& Directory() const { return directory_; }
  // Shows `path`; re-reads only when it differs from the folder shown.
  void setDirectory(const std::string& path);
  const std::string& Mask() const { return mask_; }
  // Sets the mask; does not re-read by itself.
  void setMask(const std::string& mask) { mask_ = mask; }
  // Re-reads the folder.
  void Update();
  // Full path of the selected file (folder + separator + name), or "" when none is selected.
  std::string FileName() const;
  void setFileEdit(QLineEdit* edit);

 signals:
  // A double click anywhere on the list, on a file or not.
  void dblClick();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;

 private:
  void showSelected(int row);

  std::string directory_;
  std::string mask_ = "*.*";
  // The listed names as their exact bytes, row by row; the captions are their UTF-8 reading.
  std::vector<std::string> names_;
  QLineEdit* fileEdit_ = nullptr;
};

}  // namespace pitkit
