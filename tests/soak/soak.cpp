// The soak: drives the real main window offscreen through random user actions on a generated game
// tree and, after every action, compares the whole tree (every folder and every file's bytes) with
// what that action may do to it, so no level is lost, doubled or changed beyond what was asked.
// After each search it also compares both level lists with the levels the tree holds.
//   pitkit_soak [--seed N] [--actions N] [--verbose]
#include "soak.h"

#include "platform/Charset.h"
#include "support/GameTree.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using pitkit::test::makeDirs;
using pitkit::test::readFile;
using pitkit::test::writeFile;

namespace pitkit::soak {

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
  writeFile(start_ + "/Pitkit.ini", test::presetBytes(start_, game_));
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

// --- modal windows ---

QMessageBox::StandardButton Soak::answerBox(const test::ModalAnswerer::Box& box) {
  if (box.title == QStringLiteral("Confirm")) {
    ++confirmsSeen_;
    if (box.text != QStringLiteral("Are you shure you want to delete this level?")) fail("a strange question");
    return confirmAnswer_;
  }
  // The editor asks before it drops edits: a Save that failed is then cancelled.
  if (box.title == QStringLiteral(".INF Editor")) return QMessageBox::Discard;
  ++errorsSeen_;
  QString text = box.text;
  text.replace(q(root_), QStringLiteral("<tmp>"));
  ++errorTexts_[text.left(70).toStdString()];
  if (verbose_) std::printf("    error box: %s\n", qPrintable(box.text));
  return QMessageBox::Ok;
}

void Soak::answerWindow(QWidget* modal) {
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

Page Soak::pageOf(const test::OrganizerTab& side, std::vector<std::string> (*installedListing)(const Manifest&),
                  std::vector<std::string> (*uninstalledListing)(const Manifest&), char quote) const {
  const test::OrganizerControls c = side.controls(*form_);
  return {side.name, side.installedTop, side.uninstalledTop, c.go, c.installed, c.uninstalled, c.uninstall,
          c.install, c.deleteInstalled, c.deleteUninstalled, c.installedName, c.uninstalledName,
          side.uninstallFrom, side.uninstallTo, side.installFrom, side.installTo, installedListing,
          uninstalledListing, side.foundFile, quote};
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

// The user actions and how often each is picked.
std::vector<Soak::Action> Soak::actionTable() {

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
  return table;
}

int Soak::run(int actions) {
  generate();
  form_ = test::startIn(start_);
  form_->show();
  test::ModalAnswerer modals(test::ModalAnswerer::AnyBoxes, 5);
  modals.chooseButton = [this](const test::ModalAnswerer::Box& box) { return answerBox(box); };
  modals.onOtherModal = [this](QWidget* modal) { answerWindow(modal); };
  if (form_->GameDirectory != game_) fail("the preset did not open the game");

  levels_ = pageOf(test::levelSide(), installedLevels, uninstalledLevels, '\'');
  cars_ = pageOf(test::carSide(), installedCars, uninstalledCars, '"');
  const std::vector<Action> table = actionTable();
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
    if (outcome.searched != nullptr && !failed_) checkLists(*outcome.searched, after);
    if (after != current) ++changes_;
    current = after;
  }
  modals.stop();
  form_.reset();
  if (failed_) return 1;

  report(actions, current);
  return 0;
}

// After a search of the game: both lists show what the tree holds.
void Soak::checkLists(const Page& page, const Manifest& tree) {
  for (const bool installed : {true, false}) {
    const std::vector<std::string> shown = captionsOf(installed ? page.installed : page.uninstalled);
    const std::vector<std::string> held = (installed ? page.installedListing : page.uninstalledListing)(tree);
    if (shown != held)
      fail(std::string(installed ? "installed " : "uninstalled ") + page.kind + " list " + joined(shown) +
           ", the tree holds " + joined(held));
  }
}

void Soak::report(int actions, const Manifest& current) const {
  std::printf("soak: seed %u, %d actions (%d of them changed the tree), the tree matched after every one\n",
              seed_, actions, changes_);
  for (const auto& [name, n] : counts_) std::printf("  %5d  %s\n", n, name.c_str());
  std::printf("  questions: %d delete confirmations, %d editor windows, %d file delete warnings, %d error boxes\n",
              confirmsSeen_, editorsSeen_, warningsSeen_, errorsSeen_);
  for (const auto& [text, n] : errorTexts_) std::printf("  %5d x error \"%s\"\n", n, text.c_str());
  std::printf("  at the end: %zu installed and %zu uninstalled levels, %zu installed and %zu uninstalled cars\n",
              installedLevels(current).size(), uninstalledLevels(current).size(), installedCars(current).size(),
              uninstalledCars(current).size());
}

}  // namespace pitkit::soak

using pitkit::soak::Soak;

int main(int argc, char** argv) {
  unsigned seed = 1;
  int actions = 300;
  bool verbose = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    if (arg == "--seed" && i + 1 < argc) seed = static_cast<unsigned>(std::strtoul(argv[++i], nullptr, 10));
    else if (arg == "--actions" && i + 1 < argc) actions = std::atoi(argv[++i]);
    else if (arg == "--verbose") verbose = true;
    else if (arg == "-platform" && i + 1 < argc) ++i;  // Qt's own (Wine passes no QT_ variable on)
    else {
      std::fprintf(stderr, "usage: pitkit_soak [--seed N] [--actions N] [--verbose]\n");
      return 2;
    }
  }
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  return Soak(seed, verbose).run(actions);
}
