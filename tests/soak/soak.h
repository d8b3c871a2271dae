#pragma once
// The soak's driver of the main window: the organizer pages as it drives them, and the actions,
// each returning the trees the game may hold afterwards.
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
#include "support/ModalAnswerer.h"
#include "support/OrganizerTab.h"
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


namespace pitkit::soak {

inline const char* const kMarker = "; Torvane .INF file structure";
inline const char* const kCarMarker = "; Model Filenames";
// Level names: plain words, a blank, a non-ASCII letter (UTF-8 on disk, Windows-1252 inside files).
inline const char* const kWords[] = {"kestrel", "basalt", "cinder", "harbor",  "quarry", "lantern", "meadow",
                              "foundry", "glacier", "orchard", "canal", "spire",  "dune track", "Rennbahn M\xC3\xBCll"};

inline QString q(const std::string& s) { return QString::fromStdString(s); }

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
  std::string& (*uninstallFrom)(TForm1&);
  std::string& (*uninstallTo)(TForm1&);
  std::string& (*installFrom)(TForm1&);
  std::string& (*installTo)(TForm1&);
  std::vector<std::string> (*installedListing)(const Manifest&);
  std::vector<std::string> (*uninstalledListing)(const Manifest&);
  // The file a selected item's name is read from, relative to its folder, and the name's quotes.
  std::string (*nameFile)(const std::string& folderName);
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
  struct Action {
    std::string name;
    int weight;
    std::function<Outcome(const Manifest&)> run;
  };
  std::vector<Action> actionTable();
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
  QMessageBox::StandardButton answerBox(const test::ModalAnswerer::Box& box);
  void answerWindow(QWidget* modal);
  Page pageOf(const test::OrganizerTab& side, std::vector<std::string> (*installedListing)(const Manifest&),
              std::vector<std::string> (*uninstalledListing)(const Manifest&), char quote) const;
  void fail(const std::string& what);
  void checkLists(const Page& page, const Manifest& tree);
  void report(int actions, const Manifest& current) const;
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

}  // namespace pitkit::soak
