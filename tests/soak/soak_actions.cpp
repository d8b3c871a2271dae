// The soak's actions: each performs one user action on the main window and returns the trees
// the game may hold afterwards.
#include "soak.h"

#include "support/GameTree.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using pitkit::test::readFile;

namespace pitkit::soak {

// --- actions ---

Soak::Outcome Soak::changeDirectory(const Manifest& before) {
  const std::vector<std::string> targets = {game_, game_, game_, game_ + "/levels", game_ + "/un_levels", elsewhere_, start_};
  const std::string target = pick(targets);
  log_.back() += " " + target;
  auto* list = form_->changeDirectoryUi.DirectoryListBox1;
  runGuarded(form_.get(), [&] { list->setDirectory(target); });
  if (directoryExists(target) && form_->GameDirectory != target) fail("GameDirectory is not the folder opened");
  if (form_->levelOrganizerUi.Findbutton->isEnabled() != directoryExists(form_->GameDirectory + "/levels"))
    fail("Go is enabled for a folder without levels, or disabled for one with it");
  return {{before}, 0};
}

void Soak::selectSome(QTreeWidget* list, double p) {
  if (list->topLevelItemCount() > 0 && chance(p))
    list->setCurrentItem(list->topLevelItem(std::uniform_int_distribution<int>(0, list->topLevelItemCount() - 1)(rng_)));
}

// Go creates the page's uninstalled folder in the game directory when it is missing; the level
// page first insists on a levels folder there, the car page does not (so an Install or Uninstall
// of a car, which ends with Go, creates garage in whatever folder is chosen at the time).
Manifest Soak::afterGo(Manifest m, const Page& page) const {
  const std::string& dir = form_->GameDirectory;
  if (dir != game_ && rel(dir).empty()) return m;  // outside the game tree
  if (std::string(page.kind) == "level" && !directoryExists(dir + "/levels")) return m;
  const std::string prefix = dir == game_ ? "" : rel(dir) + "/";
  m.emplace(prefix + page.uninstalledTop, Node{true});
  return m;
}

Soak::Outcome Soak::organizerGo(const Manifest& before, const Page& page) {
  if (!page.go->isEnabled()) return {{before}, 0};
  const Manifest expected = afterGo(before, page);
  page.go->click();
  return {{expected}, 0, form_->GameDirectory == game_ ? &page : nullptr};
}

Soak::Outcome Soak::selectItem(const Manifest& before, const Page& page, bool installed) {
  QTreeWidget* list = installed ? page.installed : page.uninstalled;
  if (list->topLevelItemCount() == 0) return {{before}, 0};
  QTreeWidgetItem* item = list->topLevelItem(std::uniform_int_distribution<int>(0, list->topLevelItemCount() - 1)(rng_));
  const std::string caption = item->text(0).toStdString();
  log_.back() += " " + caption;
  const int errorsBefore = errorsSeen_;
  list->setCurrentItem(item);
  const std::string& top = installed ? page.installedTop : page.uninstalledTop;
  const std::string from = (installed ? page.uninstallFrom : page.installFrom)(*form_);
  if (from != form_->GameDirectory + "/" + top + "/" + caption) fail("the remembered path is not the selected item");
  const auto file = before.find(top + "/" + caption + "/" + page.nameFile(caption));
  if (form_->GameDirectory == game_ && errorsSeen_ == errorsBefore && file != before.end()) {
    const QString shown = (installed ? page.installedName : page.uninstalledName)->text();
    if (shown != q(nameValue(file->second.bytes, page.quote)))
      fail("the name box shows '" + shown.toStdString() + "'");
  }
  return {{before}, 0};
}

Soak::Outcome Soak::moveItem(const Manifest& before, const Page& page, bool uninstall) {
  // Mostly the player picks the item first; without a selected row nothing moves, not even the
  // item remembered from before.
  QTreeWidget* list = uninstall ? page.installed : page.uninstalled;
  selectSome(list, 0.7);
  const bool selected = !list->selectedItems().isEmpty();
  const std::string from = rel((uninstall ? page.uninstallFrom : page.installFrom)(*form_));
  const std::string to = rel((uninstall ? page.uninstallTo : page.installTo)(*form_));
  log_.back() += " " + from + " -> " + to;
  Outcome out{{before}};
  const auto source = before.find(from);
  const bool whole = from.empty() || to.empty() || from.find('/') == std::string::npos || to.find('/') == std::string::npos;
  if (selected && !whole && source != before.end() && source->second.folder && !before.count(to)) {
    // The move brings the folders on the way to its target when they are missing (a car in a
    // pack folder).
    Manifest after = moved(before, from, to);
    for (auto slash = to.find('/'); slash != std::string::npos; slash = to.find('/', slash + 1))
      after.emplace(to.substr(0, slash), Node{true});
    out.allowed.push_back(afterGo(after, page));
    out.required = 1;
    out.searched = form_->GameDirectory == game_ ? &page : nullptr;
  }
  (uninstall ? page.uninstall : page.install)->click();
  return out;
}

Soak::Outcome Soak::deleteItem(const Manifest& before, const Page& page, bool installed) {
  QTreeWidget* list = installed ? page.installed : page.uninstalled;
  selectSome(list, 0.75);
  confirmAnswer_ = chance(0.5) ? QMessageBox::Yes : QMessageBox::No;
  const bool selected = !list->selectedItems().isEmpty();
  const std::string folder = rel((installed ? page.uninstallFrom : page.installFrom)(*form_));
  log_.back() += std::string(selected ? " " + folder : " (nothing selected)") +
                 (confirmAnswer_ == QMessageBox::Yes ? " Yes" : " No");
  const int confirmsBefore = confirmsSeen_;
  (installed ? page.deleteInstalled : page.deleteUninstalled)->click();
  if ((confirmsSeen_ > confirmsBefore) != selected) fail("the delete question was asked wrongly");
  Outcome out{{before}, 0};
  if (selected && confirmAnswer_ == QMessageBox::Yes && folder.find('/') != std::string::npos &&
      before.count(folder)) {
    out.allowed = {afterGo(removed(before, folder), page)};
    out.searched = form_->GameDirectory == game_ ? &page : nullptr;
  }
  return out;
}

Soak::Outcome Soak::renameLevel(const Manifest& before) {
  auto& r = form_->renamerUi;
  if (chance(0.7)) {
    const std::vector<std::string> levelFolders = folders(before, "levels", false);
    if (!levelFolders.empty()) {
      const std::string folder = game_ + "/" + pick(levelFolders);
      runGuarded(form_.get(), [&] { r.DirectoryListBox2->setDirectory(folder); });
    }
  }
  // Mostly a new name; sometimes one taken in levels (GO refuses it) or in un_levels (allowed,
  // and then Install and Uninstall of either level meet a taken name and must refuse).
  std::string newName = freshName();
  const std::string takenIn = chance(0.2) ? "levels" : chance(0.15) ? "un_levels" : "";
  if (!takenIn.empty()) {
    const std::vector<std::string> taken = folders(before, takenIn, true);
    if (!taken.empty()) newName = pick(taken).substr(takenIn.size() + 1);
  }
  r.NName->setText(q(newName));
  const std::string oldName = r.OName->text().toStdString();
  log_.back() += " '" + oldName + "' -> '" + newName + "'";
  if (!r.BitBtn2->isEnabled()) return {{before}, 0};
  const int errorsBefore = errorsSeen_;
  r.BitBtn2->click();
  if (errorsSeen_ > errorsBefore) return {{before}, 0};  // the new name is taken
  if (r.bitbtn1->isHidden() || r.BitBtn3->isHidden()) fail("GO did not offer OK and CANCEL");
  if (chance(0.3)) {
    log_.back() += " CANCEL";
    r.BitBtn3->click();
    return {{before}, 0};
  }
  const bool editor = chance(0.3);
  r.CheckBox1->setChecked(editor);
  editorAnswer_ = chance(0.5) ? EditorAnswer::Save : EditorAnswer::Cancel;
  editLine_ = "; renamed " + std::to_string(++editCounter_);
  log_.back() += std::string(" OK") + (editor ? (editorAnswer_ == EditorAnswer::Save ? " +save" : " +cancel") : "");

  Outcome out{{before}};
  // The old path is the levels folder joined with OName as typed or as the levels list wrote it
  // (it may climb out with ".."): wherever it leads inside the game, that folder is renamed.
  const std::string oldRel = resolved("levels/" + oldName), newRel = "levels/" + newName;
  const auto source = before.find(oldRel);
  const bool plain = form_->GameDirectory == game_ && !oldRel.empty() && oldRel != "levels" &&
                     !isWithin(newRel, oldRel) && source != before.end() && source->second.folder &&
                     newName.find('/') == std::string::npos && !before.count(newRel);
  if (plain) {
    Manifest renamed = renamedLevel(before, oldRel, oldName, newName);
    const std::string info = newRel + "/" + newName + ".inf";
    if (editor && editorAnswer_ == EditorAnswer::Save && renamed.count(info)) renamed = edited(renamed, info);
    out.allowed.push_back(renamed);
    out.required = 1;
  }
  r.bitbtn1->click();
  const QString status = r.StaticText1->text();
  if (plain && !status.startsWith(QStringLiteral("The following was renamed")))
    fail("the rename reported '" + status.toStdString() + "'");
  r.CheckBox1->setChecked(false);
  return out;
}

Soak::Outcome Soak::doubleClickFile(const Manifest& before) {
  auto& r = form_->renamerUi;
  std::vector<std::string> candidates = folders(before, "levels", false);
  for (const std::string& f : folders(before, "un_levels", false)) candidates.push_back(f);
  if (candidates.empty()) return {{before}, 0};
  const std::string folder = game_ + "/" + pick(candidates);
  runGuarded(form_.get(), [&] { r.DirectoryListBox2->setDirectory(folder); });
  TFileListBox* files = r.FileListBox1;
  if (files->count() == 0) return {{before}, 0};
  const int row = std::uniform_int_distribution<int>(0, files->count() - 1)(rng_);
  files->setCurrentRow(row);
  const std::string file = files->FileName();
  const std::string fileRel = rel(file);

  const bool editor = chance(0.6), remove = chance(0.6), confirm = chance(0.6);
  r.CheckBox1->setChecked(editor);
  r.CheckBox2->setChecked(remove);
  r.CheckBox4->setChecked(confirm);
  deleteYes_ = chance(0.5);
  const int pickAnswer = std::uniform_int_distribution<int>(0, 2)(rng_);
  editorAnswer_ = pickAnswer == 0 ? EditorAnswer::Save : pickAnswer == 1 ? EditorAnswer::Cancel : EditorAnswer::Close;
  editLine_ = "; edited " + std::to_string(++editCounter_);
  const bool opens = editor && file.size() > 4 && file.substr(file.size() - 4) == ".inf";
  log_.back() += " " + fileRel + (opens ? " editor" : remove ? (confirm ? (deleteYes_ ? " delete Yes" : " delete No") : " delete")
                                                             : " nothing");
  Outcome out{{before}, 0};
  if (opens && editorAnswer_ == EditorAnswer::Save) out.allowed = {edited(before, fileRel)};
  if (!opens && remove && (!confirm || deleteYes_)) out.allowed = {removed(before, fileRel)};

  const QRect place = files->visualItemRect(files->item(row));
  test::click(files->viewport(), place.center());
  test::doubleClick(files->viewport(), place.center());
  return out;
}

Soak::Outcome Soak::toggleInfOnly(const Manifest& before) {
  auto& r = form_->renamerUi;
  r.CheckBox3->click();
  const QString want = r.CheckBox3->isChecked() ? QStringLiteral("*.inf") : QStringLiteral("*.*");
  if (r.filedisp->text() != want) fail("the file name box does not show the mask");
  return {{before}, 0};
}

Soak::Outcome Soak::savePreset(const Manifest& before) {
  auto* save = form_->changeDirectoryUi.BitBtn12;
  if (!save->isEnabled()) return {{before}, 0};
  save->click();
  const std::string want = test::presetBytes(start_, form_->GameDirectory);
  if (readFile(start_ + "/Pitkit.ini") != want) fail("the preset does not name the chosen folder");
  return {{before}, 0};
}

Soak::Outcome Soak::itemArrives(const Manifest& before, bool car) {
  // A level or car copied in by other means (an archive unpacked by the player).
  const bool installed = chance(0.7);
  const std::string where = car ? (installed ? "cars" : "garage") : (installed ? "levels" : "un_levels");
  const std::string other = car ? (installed ? "garage" : "cars") : (installed ? "un_levels" : "levels");
  // Sometimes one of the same name as an item on the other side, so that moving either meets a
  // taken name.
  std::string name = freshName();
  const std::vector<std::string> elsewhere = folders(before, other, true);
  if (!elsewhere.empty() && chance(0.2)) {
    const std::string candidate = pick(elsewhere).substr(other.size() + 1);
    if (!before.count(where + "/" + candidate)) name = candidate;
  }
  log_.back() += " " + where + "/" + name;
  if (car)
    writeCar(where, name);
  else
    writeLevel(where, name, chance(0.3));
  Manifest expected = scanTree(game_);
  for (const auto& [path, node] : before)
    if (!expected.count(path) || !(expected.at(path) == node)) fail("writing a new item changed " + path);
  return {{expected}, 0};
}

}  // namespace pitkit::soak
