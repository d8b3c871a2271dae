#include "shell/HistoryWindow.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPalette>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "history/Undo.h"
#include "platform/ByteText.h"
#include "platform/Paths.h"
#include "shell/HistoryKeeper.h"

namespace pitkit {

namespace {

enum Column { When, Action, Items, From, To, Archive };

// An item's own cells: its caption and where it moved.
void fillItem(QTreeWidgetItem* row, const HistoryItem& item) {
  row->setText(Items, nameText(itemCaption(item)));
  row->setText(From, nameText(item.fromPath));
  row->setText(To, nameText(item.toPath));
  if (!item.replacedTo.empty())
    row->setToolTip(To, QStringLiteral("It replaced an item, now in the trash at %1")
                            .arg(nameText(item.replacedTo)));
}

QTreeWidgetItem* actionRow(const HistoryAction& action) {
  auto* row = new QTreeWidgetItem();
  row->setText(When, historyTimeText(action.when));
  QString kind = QString::fromStdString(actionKindText(action.kind));
  if (action.undoneAt) {
    kind += QStringLiteral(" (undone)");
    row->setToolTip(Action, QStringLiteral("Undone %1").arg(historyTimeText(*action.undoneAt)));
  }
  row->setText(Action, kind);
  if (action.items.size() == 1) {
    fillItem(row, action.items.front());
  } else {
    row->setText(Items, QStringLiteral("%1 items").arg(action.items.size()));
    for (const HistoryItem& item : action.items) fillItem(new QTreeWidgetItem(row), item);
  }
  if (action.archive) {
    row->setText(Archive, nameText(extractFileName(action.archive->path)));
    row->setToolTip(Archive,
                    QStringLiteral("%1\n%2 bytes\nSHA-256 %3")
                        .arg(nameText(action.archive->path),
                             QLocale::c().toString(static_cast<qulonglong>(action.archive->size)),
                             QString::fromStdString(action.archive->sha256)));
  }
  return row;
}

// An undone action's rows in the colour of disabled text.
void markUndone(QTreeWidgetItem* row, const QColor& colour) {
  for (int c = 0; c < row->columnCount(); ++c) row->setForeground(c, colour);
  for (int i = 0; i < row->childCount(); ++i) markUndone(row->child(i), colour);
}

}  // namespace

HistoryWindow::HistoryWindow(QWidget* parent, const std::string& gameFolder,
                             const std::vector<HistoryAction>& actions)
    : QDialog(parent) {
  setObjectName(QStringLiteral("HistoryWindow"));
  setWindowTitle(QStringLiteral("History"));
  resize(820, 380);
  auto* layout = new QVBoxLayout(this);
  auto* game =
      new QLabel(QStringLiteral("Actions in %1, newest first:").arg(nameText(gameFolder)), this);
  game->setObjectName(QStringLiteral("HistoryGame"));
  layout->addWidget(game);

  list = new QTreeWidget(this);
  list->setObjectName(QStringLiteral("HistoryList"));
  list->setHeaderLabels({QStringLiteral("When"), QStringLiteral("Action"),
                         QStringLiteral("Item(s)"), QStringLiteral("From"), QStringLiteral("To"),
                         QStringLiteral("Archive")});
  list->setRootIsDecorated(true);
  list->setUniformRowHeights(true);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  const QColor undone = palette().color(QPalette::Disabled, QPalette::Text);
  for (const HistoryAction& action : actions) {
    QTreeWidgetItem* row = actionRow(action);
    list->addTopLevelItem(row);
    if (action.undoneAt) markUndone(row, undone);
  }
  for (int c = When; c <= Items; ++c) list->resizeColumnToContents(c);
  if (actions.empty()) {
    auto* none = new QTreeWidgetItem(list);
    none->setText(Action, QStringLiteral("No actions recorded"));
    none->setFlags(Qt::NoItemFlags);
  }
  layout->addWidget(list);

  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  layout->addWidget(buttons);
}

}  // namespace pitkit
