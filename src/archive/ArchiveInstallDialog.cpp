#include "archive/ArchiveInstallDialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "platform/Paths.h"

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
  bool anyTaken = false;
  for (int i = 0; i < ui.ItemList->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = ui.ItemList->topLevelItem(i);
    const ArchiveItem& item = contents_.items[static_cast<std::size_t>(i)];
    const NameTaken taken = takenName_ ? takenName_(item, place()) : NameTaken{};
    const QString where = taken.place == InstallPlace::Installed ? tr("installed") : tr("uninstalled");
    const QString folder = q(extractFileName(taken.folder));
    row->setText(TakenColumn, taken.name.empty() ? tr("No") : tr("Yes, %1: %2/%3").arg(where, folder, q(taken.name)));
    anyTaken = anyTaken || !taken.name.empty();
    // Skip or Replace is offered only where the name is taken.
    if (taken.name.empty()) {
      ui.ItemList->removeItemWidget(row, ChoiceColumn);
      continue;
    }
    auto* choice = static_cast<QComboBox*>(ui.ItemList->itemWidget(row, ChoiceColumn));
    if (choice == nullptr) {
      choice = new QComboBox(ui.ItemList);
      choice->setObjectName(QStringLiteral("WhenTaken%1").arg(i));
      choice->addItems({tr("Skip"), tr("Replace")});
      ui.ItemList->setItemWidget(row, ChoiceColumn, choice);
    }
    choice->setToolTip(tr("Skip leaves %1/%2 as it is; Replace puts this one there, %3, and moves the old one "
                          "to the trash")
                           .arg(folder, q(taken.name), where));
  }
  showNotes(anyTaken);
}

void ArchiveInstallDialog::showNotes(bool anyTaken) {
  QStringList notes;
  for (const ArchiveItem& item : contents_.items)
    if (!item.renamedFrom.empty())
      notes << tr("The level folder %1 is installed as %2, spelt as its info file is, so that the level list "
                  "shows it.")
                   .arg(q(item.renamedFrom), q(item.name));
  if (anyTaken)
    notes << tr("Replace puts the new one where the old one is, installed or uninstalled, and moves the old "
                "one to the trash.");
  ui.NoteLabel->setText(notes.join(QLatin1Char('\n')));
  ui.NoteLabel->setVisible(!notes.isEmpty());
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
