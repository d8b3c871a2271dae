// The soak: drives the real main window offscreen through random user actions on a generated game
// tree and, after every action, compares the whole tree (every folder and every file's bytes) with
// what that action may do to it, so no level is lost, doubled or changed beyond what was asked.
// After each search it also compares both level lists with the levels the tree holds.
//   pitkit_soak [--seed N] [--actions N] [--verbose]
#include <QApplication>
#include <QImage>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressDialog>
#include <QPushButton>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QTreeWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "game_model.h"
#include "platform/Charset.h"
#include "platform/DirectoryListBox.h"
#include "platform/ErrorBox.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"
#include "renamer/LevelRename.h"
#include "shell/Unit1.h"
#include "support/JpegWriter.h"
#include "support/TempDir.h"

using namespace pitkit;
using namespace pitkit::soak;
using pitkit::test::makeDirs;
using pitkit::test::readFile;
using pitkit::test::writeFile;

namespace {

const char* const kMarker = "; Torvane .INF file structure";
const char* const kCarMarker = "; Model Filenames";
// Level names: plain words, a blank, a non-ASCII letter (UTF-8 on disk, Windows-1252 inside files).
const char* const kWords[] = {"kestrel", "basalt", "cinder", "harbor",  "quarry", "lantern", "meadow",
                              "foundry", "glacier", "orchard", "canal", "spire",  "dune track", "Rennbahn M\xC3\xBCll"};

QString q(const std::string& s) { return QString::fromStdString(s); }

enum class EditorAnswer { Save, Cancel, Close };

// One organizer page as the soak drives it: its folders, controls, remembered paths, and what its
// lists and name boxes must show for a tree.
struct Page {
  const char* kind;  // "level" or "car"
  std::string installedTop, uninstalledTop;
  QPushButton* go;
  QTreeWidget *installed, *uninstalled;
  QPushButton *uninstall, *install, *deleteInstalled, *deleteUninstalled;
  QLineEdit *installedName, *uninstalledName;
  std::string* uninstallFrom;
  std::string* uninstallTo;
  std::string* installFrom;
  std::string* installTo;
  std::vector<std::string> (*installedListing)(const Manifest&);
  std::vector<std::string> (*uninstalledListing)(const Manifest&);
  // The file a selected item's name is read from, relative to its folder, and the name's quotes.
  std::string (*nameFile)(const std::string& caption);
  char quote;
};

class Soak {
 public:
  Soak(unsigned seed, bool verbose) : rng_(seed), seed_(seed), verbose_(verbose) {}

  int run(int actions);

 private:
  // --- the tree ---
  void generate();
  void writeLevel(const std::string& folderRel, const std::string& name, bool fullSet);
  void writeCar(const std::string& folderRel, const std::string& name);
  std::string freshName();
  std::vector<std::string> folders(const Manifest& m, const std::string& top, bool directOnly) const;
  std::string rel(const std::string& path) const;  // "" when outside the game

  // --- actions: each returns the manifests the tree may show afterwards and which one is due ---
  struct Outcome {
    std::vector<Manifest> allowed;
    int required = -1;                // index into allowed, or -1: any of them
    const Page* searched = nullptr;   // a search of the game ran on this page: compare its lists
  };
  Outcome changeDirectory(const Manifest& before);
  Outcome organizerGo(const Manifest& before, const Page& page);
  Outcome selectItem(const Manifest& before, const Page& page, bool installed);
  Outcome moveItem(const Manifest& before, const Page& page, bool uninstall);
  Outcome deleteItem(const Manifest& before, const Page& page, bool installed);
  Outcome renameLevel(const Manifest& before);
  Outcome doubleClickFile(const Manifest& before);
  Outcome toggleInfOnly(const Manifest& before);
  Outcome savePreset(const Manifest& before);
  Outcome itemArrives(const Manifest& before, bool car);
  void selectSome(QTreeWidget* list, double p);
  Manifest afterGo(Manifest m, const Page& page) const;

  Manifest edited(const Manifest& m, const std::string& relFile) const;
  void answerModals();
  void fail(const std::string& what);
  bool chance(double p) { return std::bernoulli_distribution(p)(rng_); }
  template <typename T>
  const T& pick(const std::vector<T>& v) {
    return v[std::uniform_int_distribution<std::size_t>(0, v.size() - 1)(rng_)];
  }

  std::mt19937 rng_;
  unsigned seed_;
  bool verbose_;
  test::TempDir tmp_;
  std::string root_, game_, start_, elsewhere_;
  std::unique_ptr<TForm1> form_;
  Page levels_{}, cars_{};
  int nameCounter_ = 0;
  int changes_ = 0;
  int editCounter_ = 0;
  bool failed_ = false;
  std::deque<std::string> log_;
  std::map<std::string, int> counts_;
  std::map<std::string, int> errorTexts_;

  // How the next modal windows are answered.
  QMessageBox::StandardButton confirmAnswer_ = QMessageBox::No;
  EditorAnswer editorAnswer_ = EditorAnswer::Cancel;
  std::string editLine_;
  bool editorSaveTried_ = false;
  bool deleteYes_ = false;
  int confirmsSeen_ = 0, editorsSeen_ = 0, warningsSeen_ = 0, errorsSeen_ = 0;
};

std::string Soak::rel(const std::string& path) const {
  if (path.size() > game_.size() + 1 && path.compare(0, game_.size() + 1, game_ + "/") == 0)
    return path.substr(game_.size() + 1);
  return "";
}

std::string Soak::freshName() {
  std::string word = kWords[std::uniform_int_distribution<int>(0, std::size(kWords) - 1)(rng_)];
  return word + std::to_string(++nameCounter_);
}

void Soak::writeLevel(const std::string& folderRel, const std::string& name, bool fullSet) {
  const std::string dir = game_ + "/" + folderRel + "/" + name;
  std::string display = utf8ToCp1252(name);  // the name line holds 8-bit text
  writeFile(dir + "/" + name + ".inf", std::string(kMarker) + "\r\n; id " + std::to_string(nameCounter_) +
                                           "\r\nNAME '" + display + " Track'\r\nSKY 'blue'\r\n");
  for (const char* suffix : LevelFileSuffixes) {
    if (std::string(suffix) == ".inf" || (!fullSet && !chance(0.2))) continue;
    writeFile(dir + "/" + name + suffix, name + suffix + " of level " + std::to_string(nameCounter_));
  }
  if (chance(0.5)) writeFile(dir + "/readme.txt", "Read me, " + display + "\r\n");
  if (chance(0.3)) writeFile(dir + "/extras/notes.dat", "more " + name);
  if (chance(0.3)) writeFile(game_ + "/gfx/" + name + ".bmp", readFile(game_ + "/gfx/pellmoor.bmp"));
}

void Soak::writeCar(const std::string& folderRel, const std::string& name) {
  const std::string dir = game_ + "/" + folderRel + "/" + name;
  // TPAGE names the car's folder below cars, also for a car that lies in the garage.
  const auto slash = folderRel.find('/');
  std::string texture = "cars/" + (slash == std::string::npos ? "" : folderRel.substr(slash + 1) + "/") + name + "/car.bmp";
  std::replace(texture.begin(), texture.end(), '/', '\\');
  writeFile(dir + "/parameters.txt", std::string(kCarMarker) + "\r\n; id " + std::to_string(nameCounter_) +
                                        "\r\nName \"" + utf8ToCp1252(name) + " Racer\"\r\nTPAGE \"" + texture + "\"\r\n");
  writeFile(dir + "/car.bmp", readFile(game_ + "/gfx/pellmoor.bmp"));
  if (chance(0.5)) writeFile(dir + "/" + name + ".jpg", test::jpegBytes(8, 6, 200, 40, 40));
  if (chance(0.3)) writeFile(dir + "/body.prm", "model of " + name);
}

void Soak::generate() {
  root_ = test::realPath(tmp_.path());
  game_ = root_ + "/game folder";
  start_ = root_ + "/start";
  elsewhere_ = root_ + "/elsewhere";
  makeDirs(game_ + "/levels");
  makeDirs(elsewhere_ + "/notes");
  QImage picture(8, 8, QImage::Format_RGB32);
  picture.fill(Qt::darkGreen);
  makeDirs(game_ + "/gfx");
  if (!picture.save(q(game_ + "/gfx/pellmoor.bmp"), "BMP")) fail("cannot write the fallback picture");
  for (int i = 0; i < 6; ++i) writeLevel("levels", freshName(), i < 2);
  for (int i = 0; i < 3; ++i) writeLevel("un_levels", freshName(), false);
  // The game's own levels, a pack, and info files the organizer must leave out.
  writeFile(game_ + "/levels/nhood1/nhood1.inf", std::string(kMarker) + "\r\nNAME 'stock'\r\n");
  writeFile(game_ + "/levels/Muse1/Muse1.inf", std::string(kMarker) + "\r\nNAME 'stock'\r\n");
  writeFile(game_ + "/un_levels/pack/one.inf", std::string(kMarker) + "\r\nNAME 'in a pack'\r\n");
  writeFile(game_ + "/levels/direct.inf", std::string(kMarker) + "\r\nNAME 'directly in levels'\r\n");
  writeFile(game_ + "/levels/plain/plain.inf", "NAME 'no marker'\r\n");
  // Cars: custom ones (one in a pack folder), a stock car, and parameter files the organizer
  // must leave out; the picture shown for an uninstalled car without one of its own.
  writeFile(game_ + "/noavail.bmp", readFile(game_ + "/gfx/pellmoor.bmp"));
  for (int i = 0; i < 4; ++i) writeCar("cars", freshName());
  writeCar("cars/pack", freshName());
  for (int i = 0; i < 2; ++i) writeCar("garage", freshName());
  writeFile(game_ + "/cars/adeon/parameters.txt", std::string(kCarMarker) + "\r\nName \"stock\"\r\n");
  writeFile(game_ + "/cars/parameters.txt", std::string(kCarMarker) + "\r\nName \"loose\"\r\n");
  writeFile(game_ + "/cars/unmarked/parameters.txt", "Name \"no marker\"\r\n");
  writeFile(start_ + "/Pitkit.ini", "PitkitDirectory:" + start_ + "\r\nTorvaneDirectory:" + game_ + "\r\n");
}

std::vector<std::string> Soak::folders(const Manifest& m, const std::string& top, bool directOnly) const {
  std::vector<std::string> out;
  for (const auto& [path, node] : m)
    if (node.folder && isWithin(path, top) && path != top &&
        (!directOnly || path.find('/', top.size() + 1) == std::string::npos))
      out.push_back(path);
  return out;
}

Manifest Soak::edited(const Manifest& m, const std::string& relFile) const {
  Manifest out = m;
  out[relFile].bytes += "\r\n" + editLine_;
  return out;
}

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
  const std::string from = *(installed ? page.uninstallFrom : page.installFrom);
  if (from != form_->GameDirectory + "/" + top + "/" + caption) fail("the remembered path is not the selected item");
  const auto file = before.find(top + "/" + caption + "/" + page.nameFile(caption));
  if (form_->GameDirectory == game_ && errorsSeen_ == errorsBefore && file != before.end()) {
    const QString shown = (installed ? page.installedName : page.uninstalledName)->text();
    if (shown != q(cp1252ToUtf8(nameValue(file->second.bytes, page.quote))))
      fail("the name box shows '" + shown.toStdString() + "'");
  }
  return {{before}, 0};
}

Soak::Outcome Soak::moveItem(const Manifest& before, const Page& page, bool uninstall) {
  // Mostly the player picks the item first; otherwise the one remembered from before is moved.
  selectSome(uninstall ? page.installed : page.uninstalled, 0.7);
  const std::string from = rel(*(uninstall ? page.uninstallFrom : page.installFrom));
  const std::string to = rel(*(uninstall ? page.uninstallTo : page.installTo));
  log_.back() += " " + from + " -> " + to;
  Outcome out{{before}};
  const auto source = before.find(from);
  const bool whole = from.empty() || to.empty() || from.find('/') == std::string::npos || to.find('/') == std::string::npos;
  if (!whole && source != before.end() && source->second.folder && !before.count(to)) {
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
  const std::string folder = rel(*(installed ? page.uninstallFrom : page.installFrom));
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
  QTest::mouseClick(files->viewport(), Qt::LeftButton, {}, place.center());
  QTest::mouseDClick(files->viewport(), Qt::LeftButton, {}, place.center());
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
  const std::string want = "PitkitDirectory:" + start_ + "\r\nTorvaneDirectory:" + form_->GameDirectory + "\r\n";
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

// --- modal windows ---

void Soak::answerModals() {
  QWidget* modal = QApplication::activeModalWidget();
  if (modal == nullptr || !modal->isVisible()) return;
  if (auto* box = qobject_cast<QMessageBox*>(modal)) {
    if (box->windowTitle() == QStringLiteral("Confirm")) {
      ++confirmsSeen_;
      if (box->text() != QStringLiteral("Are you shure you want to delete this level?")) fail("a strange question");
      box->button(confirmAnswer_)->click();
    } else {
      ++errorsSeen_;
      QString text = box->text();
      text.replace(q(root_), QStringLiteral("<tmp>"));
      ++errorTexts_[text.left(70).toStdString()];
      if (verbose_) std::printf("    error box: %s\n", qPrintable(box->text()));
      box->button(QMessageBox::Ok)->click();
    }
    return;
  }
  if (modal == form_->Form3) {
    auto& e = form_->Form3->ui;
    if (editorAnswer_ == EditorAnswer::Save && !editorSaveTried_) {
      ++editorsSeen_;
      editorSaveTried_ = true;
      QTextCursor cursor = e.Memo1->textCursor();
      cursor.movePosition(QTextCursor::End);
      cursor.insertText(q("\n" + editLine_));
      (e.Button1->isHidden() ? e.Button3 : e.Button1)->click();
    } else if (editorAnswer_ == EditorAnswer::Close && !editorSaveTried_) {
      ++editorsSeen_;
      form_->Form3->close();
    } else {
      if (!editorSaveTried_) ++editorsSeen_;
      e.Button2->click();
    }
    return;
  }
  if (modal == form_->Form5) {
    ++warningsSeen_;
    (deleteYes_ ? form_->Form5->ui.OKBtn : form_->Form5->ui.CancelBtn)->click();
    return;
  }
  if (qobject_cast<QProgressDialog*>(modal) != nullptr) return;  // a long transfer; it closes itself
  fail("an unexpected modal window: " + modal->windowTitle().toStdString());
  modal->close();
}

void Soak::fail(const std::string& what) {
  if (failed_) return;
  failed_ = true;
  std::printf("soak FAILED (seed %u): %s\n  last actions:\n", seed_, what.c_str());
  for (const std::string& line : log_) std::printf("    %s\n", line.c_str());
}

std::vector<std::string> captionsOf(const QTreeWidget* list) {
  std::vector<std::string> out;
  for (int i = 0; i < list->topLevelItemCount(); ++i) out.push_back(list->topLevelItem(i)->text(0).toStdString());
  std::sort(out.begin(), out.end());
  return out;
}

std::string joined(const std::vector<std::string>& v) {
  std::string out;
  for (const std::string& s : v) out += (out.empty() ? "" : ", ") + s;
  return "[" + out + "]";
}

int Soak::run(int actions) {
  generate();
  setCurrentDir(start_);
  form_ = std::make_unique<TForm1>();
  form_->show();
  QTimer modals;
  QObject::connect(&modals, &QTimer::timeout, [this] { answerModals(); });
  modals.start(5);
  if (form_->GameDirectory != game_) fail("the preset did not open the game");

  struct Action {
    std::string name;
    int weight;
    std::function<Outcome(const Manifest&)> run;
  };
  auto& lu = form_->levelOrganizerUi;
  levels_ = {"level", "levels", "un_levels", lu.Findbutton, lu.FoundFiles, lu.FoundFiles2, lu.BitBtn4, lu.BitBtn6,
             lu.BitBtn5, lu.BitBtn7, lu.Edit4, lu.lvlname2, &form_->LevelUninstallFrom, &form_->LevelUninstallTo,
             &form_->LevelInstallFrom, &form_->LevelInstallTo, installedLevels, uninstalledLevels,
             [](const std::string& caption) { return caption + ".inf"; }, '\''};
  auto& cu = form_->carOrganizerUi;
  cars_ = {"car", "cars", "garage", cu.FindButton2, cu.Foundfiles3, cu.foundfiles4, cu.BitBtn8, cu.BitBtn10,
           cu.BitBtn9, cu.BitBtn11, cu.Edit10, cu.Edit8, &form_->CarUninstallFrom, &form_->CarUninstallTo,
           &form_->CarInstallFrom, &form_->CarInstallTo, installedCars, uninstalledCars,
           [](const std::string&) { return std::string("parameters.txt"); }, '"'};

  using M = const Manifest&;
  std::vector<Action> table = {
      {"change directory", 5, [this](M m) { return changeDirectory(m); }},
      {"rename level", 10, [this](M m) { return renameLevel(m); }},
      {"double click a level file", 10, [this](M m) { return doubleClickFile(m); }},
      {"view only INF files", 3, [this](M m) { return toggleInfOnly(m); }},
      {"save preset", 2, [this](M m) { return savePreset(m); }},
      {"a level arrives", 3, [this](M m) { return itemArrives(m, false); }},
      {"a car arrives", 2, [this](M m) { return itemArrives(m, true); }},
  };
  for (const Page* page : {&levels_, &cars_}) {
    const std::string kind = page->kind;
    const int w = kind == "level" ? 2 : 1;  // the level page gets more of the actions
    table.push_back({kind + " Go", 5 * w, [this, page](M m) { return organizerGo(m, *page); }});
    table.push_back({"select installed " + kind, 6 * w, [this, page](M m) { return selectItem(m, *page, true); }});
    table.push_back({"select uninstalled " + kind, 4 * w, [this, page](M m) { return selectItem(m, *page, false); }});
    table.push_back({"uninstall " + kind, 4 * w, [this, page](M m) { return moveItem(m, *page, true); }});
    table.push_back({"install " + kind, 4 * w, [this, page](M m) { return moveItem(m, *page, false); }});
    table.push_back({"delete installed " + kind, 2 * w, [this, page](M m) { return deleteItem(m, *page, true); }});
    table.push_back({"delete uninstalled " + kind, 2 * w, [this, page](M m) { return deleteItem(m, *page, false); }});
  }
  std::vector<int> weights;
  for (const Action& a : table) weights.push_back(a.weight);
  std::discrete_distribution<int> choose(weights.begin(), weights.end());

  Manifest current = scanTree(game_);
  for (int i = 1; i <= actions && !failed_; ++i) {
    const Action& action = table[choose(rng_)];
    log_.push_back("#" + std::to_string(i) + " " + action.name);
    if (log_.size() > 15) log_.pop_front();
    editorSaveTried_ = false;
    const Outcome outcome = action.run(current);
    QApplication::processEvents();
    if (verbose_) std::printf("%s\n", log_.back().c_str());
    ++counts_[action.name];

    const Manifest after = scanTree(game_);
    bool matched = false;
    for (std::size_t k = 0; k < outcome.allowed.size() && !matched; ++k)
      matched = after == outcome.allowed[k] && (outcome.required < 0 || static_cast<int>(k) == outcome.required);
    if (!matched) {
      const Manifest& want = outcome.required >= 0 ? outcome.allowed[outcome.required] : outcome.allowed.back();
      fail("the tree is not what \"" + action.name + "\" may leave:\n" + describeDifference(want, after));
    }
    if (const Page* page = outcome.searched; page != nullptr && !failed_) {
      for (const bool installed : {true, false}) {
        const std::vector<std::string> shown = captionsOf(installed ? page->installed : page->uninstalled);
        const std::vector<std::string> held = (installed ? page->installedListing : page->uninstalledListing)(after);
        if (shown != held)
          fail(std::string(installed ? "installed " : "uninstalled ") + page->kind + " list " + joined(shown) +
               ", the tree holds " + joined(held));
      }
    }
    if (after != current) ++changes_;
    current = after;
  }
  modals.stop();
  form_.reset();
  if (failed_) return 1;

  std::printf("soak: seed %u, %d actions (%d of them changed the tree), the tree matched after every one\n",
              seed_, actions, changes_);
  for (const auto& [name, n] : counts_) std::printf("  %5d  %s\n", n, name.c_str());
  std::printf("  questions: %d delete confirmations, %d editor windows, %d file delete warnings, %d error boxes\n",
              confirmsSeen_, editorsSeen_, warningsSeen_, errorsSeen_);
  for (const auto& [text, n] : errorTexts_) std::printf("  %5d x error \"%s\"\n", n, text.c_str());
  std::printf("  at the end: %zu installed and %zu uninstalled levels, %zu installed and %zu uninstalled cars\n",
              installedLevels(current).size(), uninstalledLevels(current).size(), installedCars(current).size(),
              uninstalledCars(current).size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  unsigned seed = 1;
  int actions = 300;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    else if (arg == "--actions" && i + 1 < argc) actions = std::atoi(argv[++i]);
    else if (arg == "--verbose") verbose = true;
    else {
      std::fprintf(stderr, "usage: pitkit_soak [--seed N] [--actions N] [--verbose]\n");
      return 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return Soak(seed, verbose).run(actions);
}
