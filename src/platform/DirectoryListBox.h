#pragma once
// The folder list: the root, each folder down to the open one, the open folder, then its
// subfolders sorted ignoring case (hidden folders left out). Double click or Enter opens an entry,
// a single click only selects it. Opening makes the folder the working directory, points the
// attached file list at it and emits directoryChanged().
#include <QListWidget>
#include <string>

namespace pitkit {

class TFileListBox;

class TDirectoryListBox : public QListWidget {
  Q_OBJECT
 public:
  // A new list shows the process's working directory.
  explicit TDirectoryListBox(QWidget* parent = nullptr);

  // The open folder: no trailing separator except the root.
  const std::string& Directory() const { return directory_; }
  // Opens `path`. An empty path or the folder already open does nothing at all. A folder that
  // cannot be opened raises EInOutError and leaves the list as it was.
  void setDirectory(const std::string& path);
  // Rebuilds the entries and emits directoryChanged() again without changing the folder.
  void Update();
  // The file list that always shows this list's folder.
  void setFileList(TFileListBox* fileList);
  TFileListBox* FileList() const { return fileList_; }
  // The full path of the entry in `row` ("" for a row that does not exist).
  std::string itemPath(int row) const;
  // The row of the open folder.
  int openRow() const { return openRow_; }

 signals:
  void directoryChanged();

 protected:
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void openEntry(QListWidgetItem* item);
  void rebuild();

  std::string directory_;
  int openRow_ = -1;
  TFileListBox* fileList_ = nullptr;
};

}  // namespace pitkit
