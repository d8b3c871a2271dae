#include "shell/CompareListDialog.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

#include "platform/ByteText.h"
#include "platform/ErrorBox.h"

namespace pitkit {

namespace {

QPushButton* button(QWidget* parent, const char* name, const QString& text) {
  auto* b = new QPushButton(text, parent);
  b->setObjectName(QString::fromLatin1(name));
  b->setAutoDefault(false);
  return b;
}

std::size_t countOf(const std::vector<ItemDifference>& differences, Difference what, bool withFolder) {
  return static_cast<std::size_t>(std::count_if(differences.begin(), differences.end(), [&](const ItemDifference& d) {
    return d.what == what && (!withFolder || !d.folder.empty());
  }));
}

}  // namespace

CompareListDialog::CompareListDialog(QWidget* parent, const QString& listName, std::vector<ItemDifference> differences,
                                     Act act)
    : QDialog(parent), listName_(listName), act_(std::move(act)) {
  setObjectName(QStringLiteral("CompareListDialog"));
  setWindowTitle(QStringLiteral("Compare with List"));
  Summary = new QLabel(this);
  Summary->setObjectName(QStringLiteral("Summary"));
  Summary->setWordWrap(true);
  Differences = new QTreeWidget(this);
  Differences->setObjectName(QStringLiteral("Differences"));
  Differences->setHeaderLabels({QStringLiteral("Difference"), QStringLiteral("Kind"), QStringLiteral("Name")});
  Differences->setRootIsDecorated(false);
  Differences->setSelectionMode(QAbstractItemView::NoSelection);
  Differences->header()->setStretchLastSection(true);
  InstallMissing = button(this, "InstallMissing", QString());
  UninstallExtra = button(this, "UninstallExtra", QString());
  CloseButton = button(this, "CloseButton", QStringLiteral("Close"));
  InstallMissing->setToolTip(QStringLiteral("Installs the missing items that lie in the uninstalled folders"));
  UninstallExtra->setToolTip(QStringLiteral("Moves the items this list does not name to the uninstalled folders"));
  auto* buttons = new QHBoxLayout;
  buttons->addWidget(InstallMissing);
  buttons->addWidget(UninstallExtra);
  buttons->addStretch();
  buttons->addWidget(CloseButton);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(Summary);
  layout->addWidget(Differences);
  layout->addLayout(buttons);
  resize(520, 360);
  const auto moveAll = [this](Difference what) {
    runGuarded(this, [this, what] { act_(what); });
  };
  connect(InstallMissing, &QPushButton::clicked, this, [moveAll] { moveAll(Difference::Missing); });
  connect(UninstallExtra, &QPushButton::clicked, this, [moveAll] { moveAll(Difference::Extra); });
  connect(CloseButton, &QPushButton::clicked, this, &QDialog::accept);
  setDifferences(std::move(differences));
}

void CompareListDialog::setDifferences(std::vector<ItemDifference> differences) {
  differences_ = std::move(differences);
  static const QString kWhat[] = {QStringLiteral("missing"), QStringLiteral("different"), QStringLiteral("extra")};
  Differences->clear();
  for (const ItemDifference& d : differences_)
    new QTreeWidgetItem(Differences, {kWhat[static_cast<int>(d.what)], QString::fromLatin1(itemMarks(d.kind).word),
                                      nameText(d.name)});
  Summary->setText(differences_.empty()
                       ? QStringLiteral("This game's installed levels and cars agree with %1.").arg(listName_)
                       : QStringLiteral("%1 levels and cars differ between this game and %2.")
                             .arg(differences_.size())
                             .arg(listName_));
  const std::size_t installable = countOf(differences_, Difference::Missing, true);
  const std::size_t extra = countOf(differences_, Difference::Extra, false);
  InstallMissing->setText(QStringLiteral("Install Missing (%1)").arg(installable));
  UninstallExtra->setText(QStringLiteral("Uninstall Extra (%1)").arg(extra));
  InstallMissing->setEnabled(installable > 0);
  UninstallExtra->setEnabled(extra > 0);
}

}  // namespace pitkit
