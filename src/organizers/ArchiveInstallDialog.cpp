#include "organizers/ArchiveInstallDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace pitkit {

namespace {

enum Column { KindColumn, NameColumn, FolderColumn, SizeColumn, TakenColumn, ChoiceColumn };

QString q(const std::string& text) { return QString::fromStdString(text); }

}  // namespace

ArchiveInstallDialog::ArchiveInstallDialog(QWidget* owner, const QString& archiveName, ArchiveContents contents,
                                           TakenName takenName)
    : QDialog(owner), contents_(std::move(contents)), takenName_(std::move(takenName)) {
  ui.setupUi(this);
  ui.ArchiveLabel->setText(tr("%1 holds these levels and cars. Check the ones to install:").arg(archiveName));
  InstallButton = ui.Buttons->addButton(tr("Install"), QDialogButtonBox::AcceptRole);
  InstallButton->setObjectName(QStringLiteral("InstallButton"));
  InstallButton->setDefault(true);
  connect(ui.Buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(ui.Buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  for (const ArchiveItem& item : contents_.items) {
    auto* row = new QTreeWidgetItem(ui.ItemList);
    row->setText(KindColumn, item.kind == ContentKind::Level ? tr("Level") : tr("Car"));
    row->setFlags(row->flags() | Qt::ItemIsUserCheckable);
    row->setCheckState(KindColumn, Qt::Checked);
    row->setText(NameColumn, q(item.displayName));
    row->setText(FolderColumn, q(item.name));
    row->setToolTip(FolderColumn, item.source.empty() ? tr("At the top of the archive") : q(item.source));
    row->setText(SizeColumn, QLocale().formattedDataSize(static_cast<qint64>(item.bytes), 1, QLocale::DataSizeTraditionalFormat));
    row->setTextAlignment(SizeColumn, Qt::AlignRight | Qt::AlignVCenter);
  }
  ui.ItemList->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  ui.ItemList->header()->setStretchLastSection(false);
  connect(ui.ItemList, &QTreeWidget::itemChanged, this, [this] { updateInstallButton(); });
  connect(ui.InstalledButton, &QRadioButton::toggled, this, [this] { showTaken(); });

  const int leftOut = static_cast<int>(contents_.leftOut.size());
  ui.LeftOutButton->setText(leftOut == 0 ? tr("Nothing Left Out") : tr("&Left Out (%1)...").arg(leftOut));
  ui.LeftOutButton->setEnabled(leftOut > 0);
  connect(ui.LeftOutButton, &QPushButton::clicked, this, [this] { showLeftOut(); });
  showTaken();
  updateInstallButton();
  resize(qMax(width(), ui.ItemList->header()->length() + 60), height());
}

InstallPlace ArchiveInstallDialog::place() const {
  return ui.UninstalledButton->isChecked() ? InstallPlace::Uninstalled : InstallPlace::Installed;
}

void ArchiveInstallDialog::showTaken() {
  for (int i = 0; i < ui.ItemList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = ui.ItemList->topLevelItem(i);
    const ArchiveItem& item = contents_.items[static_cast<std::size_t>(i)];
    const std::string taken = takenName_ ? takenName_(item, place()) : std::string();
    const QString where = q(archiveDestinationFolder(item.kind, place()));
    row->setText(TakenColumn, taken.empty() ? tr("No") : tr("Yes: %1/%2").arg(where, q(taken)));
    // Skip or Replace is offered only where the name is taken.
    if (taken.empty()) {
      ui.ItemList->removeItemWidget(row, ChoiceColumn);
    } else if (ui.ItemList->itemWidget(row, ChoiceColumn) == nullptr) {
      auto* choice = new QComboBox(ui.ItemList);
      choice->setObjectName(QStringLiteral("WhenTaken%1").arg(i));
      choice->addItems({tr("Skip"), tr("Replace")});
      choice->setToolTip(tr("Skip leaves the folder in the game as it is; Replace puts this one in its place"));
      ui.ItemList->setItemWidget(row, ChoiceColumn, choice);
    }
  }
}

void ArchiveInstallDialog::updateInstallButton() {
  bool any = false;
  for (int i = 0; i < ui.ItemList->topLevelItemCount(); ++i)
    any = any || ui.ItemList->topLevelItem(i)->checkState(KindColumn) == Qt::Checked;
  InstallButton->setEnabled(any);
}

ArchiveInstallRequest ArchiveInstallDialog::request() const {
  ArchiveInstallRequest request;
  request.place = place();
  request.whenTaken = WhenTaken::Skip;
  for (int i = 0; i < ui.ItemList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = ui.ItemList->topLevelItem(i);
    if (row->checkState(KindColumn) != Qt::Checked) continue;
    const std::string& name = contents_.items[static_cast<std::size_t>(i)].name;
    request.names.push_back(name);
    const auto* choice = static_cast<QComboBox*>(ui.ItemList->itemWidget(row, ChoiceColumn));
    if (choice != nullptr && choice->currentIndex() == 1) request.replace.push_back(name);
  }
  return request;
}

void ArchiveInstallDialog::showLeftOut() {
  QDialog list(this);
  list.setObjectName(QStringLiteral("LeftOutList"));
  list.setWindowTitle(tr("Left Out"));
  auto* layout = new QVBoxLayout(&list);
  auto* text = new QPlainTextEdit(&list);
  text->setReadOnly(true);
  text->setLineWrapMode(QPlainTextEdit::NoWrap);
  QStringList lines;
  for (const std::string& line : contents_.leftOut) lines << q(line);
  text->setPlainText(tr("These entries of the archive are not installed:\n\n") + lines.join(QLatin1Char('\n')));
  layout->addWidget(text);
  auto* close = new QDialogButtonBox(QDialogButtonBox::Close, &list);
  connect(close, &QDialogButtonBox::rejected, &list, &QDialog::reject);
  layout->addWidget(close);
  list.resize(560, 300);
  list.exec();
}

}  // namespace pitkit
