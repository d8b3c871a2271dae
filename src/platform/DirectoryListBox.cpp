#include "platform/DirectoryListBox.h"

#include <QKeyEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyledItemDelegate>
#include <algorithm>
#include <cerrno>

#include "platform/ByteText.h"
#include "platform/CutTextTip.h"
#include "platform/DirectoryList.h"
#include "platform/ErrorBox.h"
#include "platform/Errors.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "platform/FocusFrame.h"
#include "platform/Paths.h"
#include "platform/ThemeIcon.h"

namespace pitkit {
namespace {

constexpr int kPathRole = Qt::UserRole;
constexpr int kDepthRole = Qt::UserRole + 1;
constexpr int kIndentStep = 10;

// Draws each entry shifted right by its depth, so the entries read as a path down the tree.
class IndentDelegate : public FocusFrameDelegate {
 public:
  using FocusFrameDelegate::FocusFrameDelegate;
  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override {
    QStyleOptionViewItem shifted(option);
    shifted.rect.adjust(index.data(kDepthRole).toInt() * kIndentStep, 0, 0, 0);
    FocusFrameDelegate::paint(painter, shifted, index);
  }
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override {
    QSize size = QStyledItemDelegate::sizeHint(option, index);
    size.rwidth() += index.data(kDepthRole).toInt() * kIndentStep;
    return size;
  }
};

// A small folder picture, closed or open (the folders on the way down and the open folder), for
// icon themes without folder icons.
void drawFolder(QPainter& p, bool open) {
  p.setPen(QColor(120, 90, 20));
  p.setBrush(QColor(240, 200, 80));
  p.drawRect(1, 3, 6, 2);
  p.drawRect(1, 4, open ? 12 : 13, 9);
  if (open) {
    p.setBrush(QColor(255, 230, 140));
    const QPointF lid[4] = {{3, 7}, {15, 7}, {13, 13}, {1, 13}};
    p.drawPolygon(lid, 4);
  }
}

// The theme's folder icons, made once.
const QIcon& folderIcon(bool open) {
  static const QIcon icons[2] = {
      themeIcon(QStringLiteral("folder"), QSize(16, 16), [](QPainter& p) { drawFolder(p, false); }),
      themeIcon(QStringLiteral("folder-open"), QSize(16, 16), [](QPainter& p) { drawFolder(p, true); })};
  return icons[open ? 1 : 0];
}

// `path` made absolute, with doubled and trailing separators, "." and ".." dropped by the names
// (the root stays as it is: "/", on Windows a drive's "C:/"). Links are not resolved: the path
// stays the one the user walked, so a level that is a link to a folder elsewhere keeps its own name.
std::string tidyPath(const std::string& path) {
  const std::string absolute = expandFileName(path);
  const std::string root = pathRoot(absolute);
  std::vector<std::string> names;
  for (std::string& name : splitFolderNames(absolute.substr(root.size()))) {
    if (name == ".") continue;
    if (name == "..") {
      if (!names.empty()) names.pop_back();
      continue;
    }
    names.push_back(std::move(name));
  }
  std::string out = root;
  for (const std::string& name : names) out += (out == root ? "" : PathDelimStr) + name;
  return out;
}

}  // namespace

TDirectoryListBox::TDirectoryListBox(QWidget* parent) : QListWidget(parent) {
  setItemDelegate(new IndentDelegate(this));
  setSelectionMode(QAbstractItemView::SingleSelection);
  setUniformItemSizes(true);
  directory_ = getCurrentDir();
  showCutTextAsTooltip(this);
  rebuild();
  // A double click opens the entry; errors of a user's open go to the error box.
  connect(this, &QListWidget::itemDoubleClicked, this,
          [this](QListWidgetItem* item) { runGuarded(this, [this, item] { openEntry(item); }); });
}

void TDirectoryListBox::setDirectory(const std::string& path) {
  if (path.empty()) return;
  const std::string wanted = tidyPath(path);
  if (wanted == directory_) return;
  if (!setCurrentDir(wanted)) {
    const int err = errno;
    EInOutError::raiseFromErrno(err != 0 ? err : ENOENT);
  }
  directory_ = wanted;
  rebuild();
  if (fileList_ != nullptr) fileList_->setDirectory(directory_);
  emit directoryChanged();
}

void TDirectoryListBox::Update() {
  rebuild();
  emit directoryChanged();
}

void TDirectoryListBox::setFileList(TFileListBox* fileList) {
  fileList_ = fileList;
  if (fileList_ != nullptr && !directory_.empty()) fileList_->setDirectory(directory_);
}

std::string TDirectoryListBox::itemPath(int row) const {
  const QListWidgetItem* entry = item(row);
  return entry == nullptr ? std::string() : entry->data(kPathRole).toByteArray().toStdString();
}

void TDirectoryListBox::keyPressEvent(QKeyEvent* event) {
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    QListWidgetItem* entry = currentItem();
    if (entry != nullptr) runGuarded(this, [this, entry] { openEntry(entry); });
    event->accept();
    return;
  }
  QListWidget::keyPressEvent(event);
}

void TDirectoryListBox::openEntry(QListWidgetItem* item) {
  if (item == nullptr) return;
  setDirectory(item->data(kPathRole).toByteArray().toStdString());
}

void TDirectoryListBox::rebuild() {
  clear();
  openRow_ = -1;
  if (directory_.empty()) return;
  const QIcon& openIcon = folderIcon(true);
  const QIcon& closedIcon = folderIcon(false);

  auto add = [this](const std::string& caption, const std::string& path, int depth, const QIcon& icon) {
    auto* entry = new QListWidgetItem(icon, nameText(caption), this);
    // The path is kept as its bytes: a name that is not UTF-8 must still open.
    entry->setData(kPathRole, QByteArray::fromStdString(path));
    entry->setData(kDepthRole, depth);
  };

  // The root, then each folder down to the open one.
  const std::string root = pathRoot(directory_);
  add(root, root, 0, openIcon);
  std::string path = root;
  int depth = 0;
  for (const std::string& name : splitFolderNames(directory_.substr(root.size()))) {
    path += (path == root ? "" : PathDelimStr) + name;
    add(name, path, ++depth, openIcon);
  }
  openRow_ = count() - 1;

  // The open folder's subfolders, sorted ignoring case; a folder that cannot be listed shows none.
  // Each name's sort key is its capitals, letters beyond ASCII included; equal keys keep byte order.
  struct Subfolder {
    QString key;
    std::string name;
  };
  std::vector<Subfolder> subfolders;
  try {
    for (const DirectoryEntry& entry : listDirectory(directory_))
      if (entry.isDirectory && !entry.isHidden)
        subfolders.push_back({nameText(entry.name).toUpper(), entry.name});
  } catch (const std::exception&) {
    subfolders.clear();
  }
  std::sort(subfolders.begin(), subfolders.end(), [](const Subfolder& a, const Subfolder& b) {
    const int order = a.key.compare(b.key);
    return order != 0 ? order < 0 : a.name < b.name;
  });
  const std::string prefix = includeTrailingDelim(directory_);
  for (const Subfolder& sub : subfolders) add(sub.name, prefix + sub.name, depth + 1, closedIcon);

  setCurrentRow(openRow_);
}

}  // namespace pitkit
