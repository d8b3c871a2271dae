#pragma once
// The file list: the regular files of one folder that match a mask (letter case ignored), sorted
// by name, hidden files left out. Each re-read empties the selection and writes the mask into the
// attached name box; a click on a file writes its name there.
#include <QListWidget>
#include <string>

class QLineEdit;

namespace pitkit {

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
  void setFileEdit(QLineEdit* edit) { fileEdit_ = edit; }

 private:
  std::string directory_;
  std::string mask_ = "*.*";
  QLineEdit* fileEdit_ = nullptr;
};

}  // namespace pitkit
