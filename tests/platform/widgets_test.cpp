// The platform widgets on real folders: folder list, drive selector, and the UI-thread hand-over.
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QSignalSpy>
#include <QTest>
#include <QThread>
#include <QTimer>
#include <QWheelEvent>
#include "platform/Posix.h"

#include <climits>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <stdexcept>

#include "platform/DirectoryListBox.h"
#include "platform/DriveComboBox.h"
#include "platform/Errors.h"
#include "platform/FileListBox.h"
#include "platform/FileSystem.h"
#include "platform/FontStretchTable.h"
#include "platform/PictureBox.h"
#include "platform/QtUiThread.h"
#include "support/LinuxOnly.h"
#include "support/OddEntries.h"
#include "support/TempDir.h"
#include "support/GameTree.h"
#include "support/ModalAnswerer.h"
#include "support/StoppedMount.h"
#include "support/WindowHarness.h"

using namespace pitkit;
using pitkit::test::makeDirs;
using pitkit::test::captions;
using pitkit::test::ModalAnswerer;
using pitkit::test::realPath;
using pitkit::test::TempDir;
using pitkit::test::writeFile;

class WidgetsTest : public test::WindowTestCase {
  Q_OBJECT
 private slots:
  void listShowsPathDownAndSortedVisibleSubfolders() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    makeDirs(root + "/game/levels");
    makeDirs(root + "/game/Cars");
    makeDirs(root + "/game/apex");
    makeDirs(root + "/game/.hidden");
    makeDirs(root + "/game/Über Bahn");
    writeFile(root + "/game/readme.txt", "x");
    TDirectoryListBox list;
    list.setDirectory(root + "/game");

    QCOMPARE(list.Directory(), root + "/game");
    QCOMPARE(getCurrentDir(), root + "/game");
    const QStringList all = captions(list);
    // Root first (on Windows the drive's), then one entry per folder down to the open one.
    const std::string top = test::kOnLinux ? "/" : root.substr(0, 3);
    QCOMPARE(all.first(), QString::fromStdString(top));
    QCOMPARE(list.itemPath(0), top);
    QCOMPARE(list.itemPath(list.openRow()), root + "/game");
    QCOMPARE(all.at(list.openRow()), QStringLiteral("game"));
    QCOMPARE(list.currentRow(), list.openRow());
    for (int row = 1; row <= list.openRow(); ++row)
      QVERIFY((root + "/game").rfind(list.itemPath(row), 0) == 0);
    // Subfolders sorted ignoring case, hidden folders and files left out.
    const QStringList subs = all.mid(list.openRow() + 1);
    QCOMPARE(subs, (QStringList{QStringLiteral("apex"), QStringLiteral("Cars"), QStringLiteral("levels"),
                                QString::fromUtf8("Über Bahn")}));
    QCOMPARE(list.itemPath(list.openRow() + 2), root + "/game/Cars");

    // Letters beyond ASCII are compared ignoring case too: each capital sits with its small letter.
    PITKIT_LINUX_ONLY_QT("folder names that differ in letter case alone");
    for (const char* name : {"über", "Ärger", "Über", "ärger", "zoo", "Zoo"}) makeDirs(root + "/accents/" + name);
    list.setDirectory(root + "/accents");
    QCOMPARE(captions(list).mid(list.openRow() + 1),
             (QStringList{QStringLiteral("Zoo"), QStringLiteral("zoo"), QString::fromUtf8("Ärger"),
                          QString::fromUtf8("ärger"), QString::fromUtf8("Über"), QString::fromUtf8("über")}));
  }

  void openingChangesFolderOnceAndIgnoresSameOrEmpty() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    makeDirs(root + "/a/b");
    TDirectoryListBox list;
    TFileListBox files;
    list.setFileList(&files);
    QSignalSpy changed(&list, &TDirectoryListBox::directoryChanged);

    list.setDirectory(root + "/a");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(files.Directory(), root + "/a");

    // The same folder, also written differently, and an empty path: nothing at all.
    const int rows = list.count();
    list.setDirectory(root + "/a");
    list.setDirectory(root + "/a/");
    list.setDirectory(root + "//a");
    list.setDirectory("");
    QCOMPARE(changed.count(), 1);
    QCOMPARE(list.count(), rows);

    // A relative path is taken against the working directory.
    list.setDirectory("b");
    QCOMPARE(list.Directory(), root + "/a/b");
    QCOMPARE(files.Directory(), root + "/a/b");
    QCOMPARE(changed.count(), 2);

    // The root has no trailing name (on Windows: the drive's root).
    const std::string top = test::kOnLinux ? "/" : root.substr(0, 3);
    list.setDirectory(top);
    QCOMPARE(list.Directory(), top);
    QCOMPARE(list.openRow(), 0);
  }

  void folderThatCannotBeOpenedRaisesAndLeavesListAsItWas() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    makeDirs(root + "/here");
    writeFile(root + "/plain.txt", "x");
    TDirectoryListBox list;
    list.setDirectory(root + "/here");
    QSignalSpy changed(&list, &TDirectoryListBox::directoryChanged);
    const QStringList before = captions(list);

    for (const std::string& bad : {root + "/gone", root + "/plain.txt"}) {
      try {
        list.setDirectory(bad);
        QFAIL("no error raised");
      } catch (const EInOutError& e) {
        QCOMPARE(e.ErrorCode, 2);
        QCOMPARE(std::string(e.what()), std::string("File not found"));
      }
    }
    QCOMPARE(list.Directory(), root + "/here");
    QCOMPARE(getCurrentDir(), root + "/here");
    QCOMPARE(captions(list), before);
    QCOMPARE(changed.count(), 0);
  }

  void clickSelectsDoubleClickAndEnterOpen() {
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    makeDirs(root + "/g/levels/track1");
    TDirectoryListBox list;
    list.resize(300, 400);
    list.show();
    list.setDirectory(root + "/g");
    QSignalSpy changed(&list, &TDirectoryListBox::directoryChanged);
    QSignalSpy clicked(&list, &QListWidget::itemClicked);

    const int levelsRow = list.openRow() + 1;
    const QRect rect = list.visualItemRect(list.item(levelsRow));
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(clicked.count(), 1);
    QCOMPARE(list.currentRow(), levelsRow);
    QCOMPARE(changed.count(), 0);
    QCOMPARE(list.Directory(), root + "/g");

    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, rect.center());
    QCOMPARE(changed.count(), 1);
    QCOMPARE(list.Directory(), root + "/g/levels");

    list.setCurrentRow(list.openRow() + 1);  // track1
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.Directory(), root + "/g/levels/track1");
    QCOMPARE(changed.count(), 2);

    // An entry whose folder vanished meanwhile: the error box, and the list stays.
    makeDirs(root + "/g/levels/track1/sub");
    list.Update();
    QCOMPARE(changed.count(), 3);
    QCOMPARE(captions(list).last(), QStringLiteral("sub"));
    pitkit::test::removeTree(root + "/g/levels/track1/sub");
    ModalAnswerer answer;
    list.setCurrentRow(list.count() - 1);
    QTest::keyClick(&list, Qt::Key_Enter);
    QCOMPARE(answer.boxes.size(), 1);
    QCOMPARE(answer.boxes[0].text, QStringLiteral("File not found."));  // the full-stop rule
    QCOMPARE(list.Directory(), root + "/g/levels/track1");
    QCOMPARE(changed.count(), 3);
  }

  void folderNamesThatAreNotUtf8OpenByTheirBytes() {
    PITKIT_LINUX_ONLY_QT("folder names that are not UTF-8");
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string latin1 = root + "/g/caf\xe9 \xc0";  // Latin-1 bytes, not UTF-8
    makeDirs(latin1 + "/inner\xff");
    TDirectoryListBox list;
    list.resize(300, 400);
    list.show();
    list.setDirectory(root + "/g");
    const int row = list.openRow() + 1;
    QCOMPARE(list.itemPath(row), latin1);

    // Opening by double click and then by Enter reaches the folders under their own names.
    const QPoint at = list.visualItemRect(list.item(row)).center();
    QTest::mouseClick(list.viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(list.Directory(), latin1);
    list.setCurrentRow(list.openRow() + 1);
    QTest::keyClick(&list, Qt::Key_Return);
    QCOMPARE(list.Directory(), latin1 + "/inner\xff");
    // The way back up goes through the same entries.
    QCOMPARE(list.itemPath(list.openRow() - 1), latin1);
  }

  void volumeChoice() {
    const std::vector<MountedVolume> volumes = {
        {"/", "overlay", "", "overlay", false},
        {"/proc", "proc", "", "proc", false},
        {"/run/user/0", "tmpfs", "", "tmpfs", false},
        {"/media/usb stick", "/dev/sdb1", "", "vfat", false},
        {"/home", "/dev/sda2", "", "ext4", false},
        {"/srv/games", "/dev/sda2", "", "ext4", false},       // a bind mount of /home's file system
        {"/data", "/dev/sda3", "/@data", "btrfs", false},
        {"/data2", "/dev/sda3", "/@other", "btrfs", false},   // another subvolume: its own drive
        {"/snap/core/123", "/dev/loop3", "", "squashfs", true},
        {"/tmp", "tmpfs", "", "tmpfs", false},
    };
    QCOMPARE(volumeRoots(volumes),
             (std::vector<std::string>{"/", "/data", "/data2", "/home", "/media/usb stick", "/tmp"}));

    const std::vector<std::string> roots = {"/", "/mnt/usb stick", "/home"};
    QCOMPARE(holdingRoot(roots, "/home/me/game"), std::string("/home"));
    QCOMPARE(holdingRoot(roots, "/home"), std::string("/home"));
    QCOMPARE(holdingRoot(roots, "/homework/x"), std::string("/"));
    QCOMPARE(holdingRoot(roots, "/mnt/usb stick/levels"), std::string("/mnt/usb stick"));
    QCOMPARE(holdingRoot({}, "/anything"), std::string("/"));
  }

  void driveSelectorIgnoresTheWheelUnlessFocused() {
    TDirectoryListBox list;
    TDriveComboBox drives;
    drives.setDirList(&list);
    drives.addItem(QStringLiteral("/another"));  // a second entry for the wheel to turn to
    const int before = drives.currentIndex();
    const std::string folder = list.Directory();
    QWheelEvent down(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -120), Qt::NoButton, Qt::NoModifier,
                     Qt::NoScrollPhase, false);
    QApplication::sendEvent(&drives, &down);
    QVERIFY(!down.isAccepted());
    QCOMPARE(drives.currentIndex(), before);
    QCOMPARE(list.Directory(), folder);
    QCOMPARE(drives.focusPolicy(), Qt::StrongFocus);
  }

  void driveSelectorFollowsListAndOpensChosenRoot() {
    PITKIT_LINUX_ONLY_QT("the roots are Linux's mount points, \"/\" among them");
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    makeDirs(root + "/g");
    TDirectoryListBox list;
    TDriveComboBox drives;
    QSignalSpy refreshed(&drives, &TDriveComboBox::rootsRefreshed);
    drives.setDirList(&list);
    list.setDirectory(root + "/g");
    QVERIFY(refreshed.wait());  // the drives are read on workers
    QVERIFY(drives.count() >= 1);
    QCOMPARE(drives.currentText().toStdString(), drives.Drive());
    QCOMPARE(drives.Drive(), holdingRoot(volumeRoots(mountedVolumes()), root + "/g"));

    // Choosing the root "/" opens it (nothing was open there before on another root).
    const int slash = drives.findText(QStringLiteral("/"));
    QVERIFY(slash >= 0);

    // The user's choice arrives as the activated signal and opens that root's current folder:
    // the folder open now when it lies on "/", else "/" itself (nothing was open there yet).
    list.setDirectory(root + "/g");
    const bool onSlash = drives.Drive() == "/";
    emit drives.activated(slash);
    QCOMPARE(list.Directory(), onSlash ? root + "/g" : std::string("/"));
    QCOMPARE(drives.currentIndex(), slash);
    if (drives.Drive() == "/") {
      // The temporary folder lies on "/": the folder last open there is opened again.
      list.setDirectory("/");
      drives.setDrive("/");
      QCOMPARE(list.Directory(), std::string("/"));
      list.setDirectory(root + "/g");
      QCOMPARE(drives.currentIndex(), slash);
    } else {
      drives.setDrive("/");
      QCOMPARE(list.Directory(), std::string("/"));
      QCOMPARE(drives.currentIndex(), slash);
      // Back to the temporary folder's root: the folder last open there comes back.
      drives.setDrive(holdingRoot(volumeRoots(mountedVolumes()), root));
      QCOMPARE(list.Directory(), root + "/g");
    }
  }

  void driveSelectorDoesNotWaitForAStoppedPrefix() {
    PITKIT_LINUX_ONLY_QT("Wine prefixes in the home folder");
    TempDir home;
    makeDirs(home / ".wine/drive_c");
    makeDirs(home / "Games/m/drive_c");
    pitkit::test::StoppedMount stopped(home / "Games/m");
    const QByteArray oldHome = qgetenv("HOME"), oldPrefix = qgetenv("WINEPREFIX");
    qputenv("HOME", QByteArray::fromStdString(home.path()));
    qunsetenv("WINEPREFIX");
    {
      TDriveComboBox drives;  // does not wait for the prefixes
      drives.show();
      QVERIFY(QTest::qWaitForWindowExposed(&drives));
      // The drives arrive once the finder's time for the stopped prefix is up.
      QTRY_VERIFY(drives.findText(QString::fromStdString(home / ".wine/drive_c")) >= 0);
      QCOMPARE(drives.findText(QString::fromStdString(home / "Games/m/drive_c")), -1);
      QVERIFY(stopped.held() > 0);
      QVERIFY(!stopped.heldTooLong());
    }
    qputenv("HOME", oldHome);
    if (oldPrefix.isNull())
      qunsetenv("WINEPREFIX");
    else
      qputenv("WINEPREFIX", oldPrefix);
  }

  void bitmapWhoseHeadersPointPastItsEndIsRefused() {
    TempDir tmp;
    const std::string path = tmp / "car.bmp";
    pitkit::test::writeBitmap(path, 4, QColor(0x20, 0x40, 0x60));
    const std::string valid = pitkit::test::readFile(path);  // 24 bits, rows from byte 54
    const auto with = [&](std::initializer_list<std::pair<int, std::uint32_t>> fields) {
      std::string bytes = valid;
      for (const auto& [at, value] : fields)
        for (int i = 0; i < 4; ++i) bytes[at + i] = static_cast<char>(value >> (8 * i));
      return bytes;
    };
    const std::uint32_t huge = 0x7FFFFFFF, hugeTopDown = 0x80000001;
    const struct {
      std::string bytes;
      bool valid;
    } cases[] = {
        {valid, true},
        {with({{22, 0xFFFFFFFC}}), true},            // top-down rows
        {valid.substr(0, valid.size() - 1), false},  // the last row cut short
        {with({{10, 55}}), false},                   // pixel data one byte later
        {with({{10, 0xFFFFFFFF}}), false},
        {with({{14, 0xFFFFFFF0}}), false},           // info header size
        {with({{18, huge}, {22, huge}}), false},     // rows of a huge picture
        {with({{18, huge}, {22, hugeTopDown}}), false},
    };
    for (const auto& c : cases) {
      writeFile(path, c.bytes);
      try {
        QCOMPARE(loadBitmapFile(path).pixel(3, 3), QColor(0x20, 0x40, 0x60).rgb());
        QVERIFY(c.valid);
      } catch (const Exception& e) {
        QCOMPARE(QString::fromUtf8(e.what()), QStringLiteral("Bitmap image is not valid"));
        QVERIFY(!c.valid);
      }
    }
  }

  // Run-length pictures whose codes stop early show the table's first colour where no code
  // paints, never what the decoder's memory held.
  void truncatedRunLengthBitmapsShowAFixedColour() {
    TempDir tmp;
    const std::string path = tmp.path() + "/cut.bmp";
    const auto le = [](std::string& out, std::uint32_t value, int size) {
      for (int i = 0; i < size; ++i) out += static_cast<char>(value >> (8 * i) & 0xFF);
    };
    for (const auto& [bits, codes] : {std::pair<int, std::string>{8, std::string("\x04\x01\x00\x00", 4)},
                                      std::pair<int, std::string>{4, std::string("\x04\x11\x00\x00", 4)}}) {
      std::string bmp = "BM";
      le(bmp, 14 + 40 + 8 + codes.size(), 4);
      le(bmp, 0, 4);
      le(bmp, 14 + 40 + 8, 4);
      for (const std::uint32_t field : {40u, 4u, 3u}) le(bmp, field, 4);  // size, width, height
      le(bmp, 1, 2);
      le(bmp, static_cast<std::uint32_t>(bits), 2);
      le(bmp, bits == 8 ? 1 : 2, 4);  // RLE8 or RLE4
      for (const std::uint32_t field : {static_cast<std::uint32_t>(codes.size()), 0u, 0u, 2u, 0u}) le(bmp, field, 4);
      bmp += std::string("\x30\x20\x10\x00\x00\x00\xC8\x00", 8);  // colours (16,32,48) and (200,0,0)
      writeFile(path, bmp + codes);
      // Memory of the picture's size, freed with a pattern in it, is what a decoder is likely given.
      for (int k = 0; k < 8; ++k) QImage(4, 3, QImage::Format_Indexed8).fill(0xAB);
      const QImage image = loadBitmapFile(path);
      for (int x = 0; x < 4; ++x) {
        QCOMPARE(QColor(image.pixel(x, 2)), QColor(200, 0, 0));
        for (int y = 0; y < 2; ++y) QCOMPARE(QColor(image.pixel(x, y)), QColor(16, 32, 48));
      }
    }
  }

  // The measured stretches come back in the next run; a file of another machine set-up, a foreign
  // or damaged file, and values no narrowing gives are not taken.
  void fontStretchesAreKeptForTheSameFontsOnly() {
    TempDir tmp;
    const QString path = QString::fromStdString(tmp.path()) + QStringLiteral("/cache/font-stretches");
    const QString fingerprint = FontStretchTable::fingerprintOf({QStringLiteral("DejaVu Sans")});
    QVERIFY(fingerprint != FontStretchTable::fingerprintOf({QStringLiteral("DejaVu Sans"), QStringLiteral("Extra")}));
    {
      FontStretchTable first(fingerprint, path);
      QVERIFY(!first.find(QStringLiteral("A/11/00")));
      first.insert(QStringLiteral("A/11/00"), 84);
      first.insert(QStringLiteral("A/11/10"), 86);
    }
    QCOMPARE(FontStretchTable(fingerprint, path).find(QStringLiteral("A/11/10")), std::optional<int>(86));
    QVERIFY(!FontStretchTable(QStringLiteral("another set-up"), path).find(QStringLiteral("A/11/10")));

    const std::pair<const char*, QByteArray> files[] = {
        {"foreign", QByteArray("A/11/00=84\n")},
        {"out of range", (fingerprint + QStringLiteral("\nA/11/00=74\nA/11/10=101\nA/12/00=x\n=90\n")).toUtf8()},
        {"too long", (fingerprint + QLatin1Char('\n')).toUtf8() + QByteArray(70 * 1024, 'A') + "=84\n"},
    };
    for (const auto& [what, content] : files) {
      writeFile(path.toStdString(), content.toStdString());
      const FontStretchTable table(fingerprint, path);
      QVERIFY2(!table.find(QStringLiteral("A/11/00")) && !table.find(QStringLiteral("A/11/10")), what);
    }
    // A folder that cannot hold the file: nothing is kept, nothing fails.
    FontStretchTable unwritable(fingerprint, QString::fromStdString(tmp.path()) + QStringLiteral("/cache/font-stretches/x"));
    unwritable.insert(QStringLiteral("A/11/00"), 84);
    QCOMPARE(unwritable.find(QStringLiteral("A/11/00")), std::optional<int>(84));
  }
  // The cache is the program's own file: what stands in its place (a link to a user's file, a
  // link to a device, a pipe) is never read or waited on, and a save replaces it, never what it
  // leads to. A cache folder that is a link is not used at all.
  void fontCacheIsNeverReadOrWrittenThroughALink() {
    PITKIT_LINUX_ONLY_QT("symbolic links and a FIFO in the cache's place");
    TempDir tmp;
    const std::string root = realPath(tmp.path());
    const std::string path = root + "/cache/font-stretches";
    const QString fingerprint = FontStretchTable::fingerprintOf({QStringLiteral("DejaVu Sans")});
    const std::string victim = root + "/victim";
    const std::string valid = (fingerprint + QStringLiteral("\nA/11/00=84\n")).toStdString();
    const std::pair<const char*, std::function<void()>> places[] = {
        {"link to a read-only file", [&] { QVERIFY(pitkit::test::makeSymlink(victim, path)); }},
        {"link to a device", [&] { QVERIFY(pitkit::test::makeSymlink("/dev/zero", path)); }},
        {"pipe", [&] { QVERIFY(pitkit::test::makeFifo(path, 0600)); }},
    };
    for (const auto& [what, arrange] : places) {
      makeDirs(root + "/cache");
      writeFile(victim, valid);
      ::chmod(victim.c_str(), 0444);
      arrange();
      FontStretchTable table(fingerprint, QString::fromStdString(path));
      QVERIFY2(!table.find(QStringLiteral("A/11/00")), what);
      table.insert(QStringLiteral("A/11/10"), 86);
      QCOMPARE(pitkit::test::readFile(victim), valid);
      struct stat st {};
      QVERIFY2(::lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode), what);
      QCOMPARE(FontStretchTable(fingerprint, QString::fromStdString(path)).find(QStringLiteral("A/11/10")),
               std::optional<int>(86));
      std::filesystem::remove_all(root + "/cache");
    }
    makeDirs(root + "/elsewhere");
    QVERIFY(pitkit::test::makeSymlink(root + "/elsewhere", root + "/cache"));
    FontStretchTable(fingerprint, QString::fromStdString(path)).insert(QStringLiteral("A/11/10"), 86);
    QVERIFY(!std::filesystem::exists(root + "/elsewhere/font-stretches"));
  }


  void uiThreadHandOver() {
    QtUiThread ui;
    // On the UI thread itself the call runs at once.
    bool ran = false;
    ui.invokeAndWait([&] { ran = true; });
    QVERIFY(ran);

    // From a worker: runs on the UI thread, the worker waits, errors come back to the worker.
    QThread* uiThread = QThread::currentThread();
    QThread* ranOn = nullptr;
    bool errorCameBack = false;
    std::unique_ptr<QThread> worker(QThread::create([&] {
      ui.invokeAndWait([&] { ranOn = QThread::currentThread(); });
      try {
        ui.invokeAndWait([] { throw std::runtime_error("boom"); });
      } catch (const std::runtime_error& e) {
        errorCameBack = std::string(e.what()) == "boom";
      }
    }));
    QSignalSpy finished(worker.get(), &QThread::finished);
    worker->start();
    QVERIFY(finished.wait(5000));
    QCOMPARE(ranOn, uiThread);
    QVERIFY(errorCameBack);

    // post returns at once; the call runs from the event loop.
    int posted = 0;
    ui.post([&] { ++posted; });
    QCOMPARE(posted, 0);
    QTRY_COMPARE(posted, 1);
  }

};

QTEST_MAIN(WidgetsTest)
#include "widgets_test.moc"
