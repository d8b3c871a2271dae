// The "Level Renamer" tab's file list on the real main window: its mask, sorting and name box,
// a double click that opens the info-file editor or deletes, and the editor's load and save.
#include <QCheckBox>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include "platform/Posix.h"

#include "renamer/InfoText.h"
#include "renamer/Unit3.h"
#include "renamer/Unit5.h"

#include "renamer_fixture.h"
#include "support/LinuxOnly.h"

using namespace pitkit;
using namespace pitkit::test;

class RenamerFilesTest : public QObject, RenamerFixture {
  Q_OBJECT

  void deleteByDoubleClick(const std::string& level) {
    // Delete enabled: ".inf" still opens the editor, any other file is offered for deletion.
    r().CheckBox2->setChecked(true);
    auto answerWarning = [&](bool yes, bool* seen) {
      modals_->expect([=](QWidget* w) {
        auto* warning = qobject_cast<TForm5*>(w);
        QVERIFY(warning != nullptr);
        *seen = true;
        QCOMPARE(warning->windowTitle(), QStringLiteral("Warning!"));
        QVERIFY(warning->ui.Label1->text().endsWith(QStringLiteral("You wish to delete this file?")));
        if (yes)
          warning->ui.OKBtn->click();
        else
          QTest::keyClick(warning, Qt::Key_Escape);
      });
    };
    bool seen = false;
    answerWarning(false, &seen);
    doubleClickFile(QStringLiteral("TRACK.INF"));
    QVERIFY(seen);
    QVERIFY(fileExists(level + "TRACK.INF"));
    seen = false;
    answerWarning(true, &seen);
    doubleClickFile(QStringLiteral("TRACK.INF"));
    QVERIFY(seen);
    QVERIFY(!fileExists(level + "TRACK.INF"));
    QCOMPARE(captions(*r().FileListBox1), names({"lvl.inf", "x.txt"}));

    // Without confirmation the file goes at once.
    r().CheckBox4->setChecked(false);
    doubleClickFile(QStringLiteral("x.txt"));
    QVERIFY(!fileExists(level + "x.txt"));
    QCOMPARE(captions(*r().FileListBox1), names({"lvl.inf"}));
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));
  }

  void failedSaveKeepsFileAndEditor(const std::string& level) {
    // A failed save shows the error, keeps the editor open with its text and the old file whole.
    QVERIFY(::chmod((level + "ro.inf").c_str(), 0444) == 0);
    modals_->onOtherModal = [](QWidget*) {};  // the editor stays open after the error
    QString error;
    bool stayedOpen = false;
    modals_->expect([&](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editor->ui.Memo1->setPlainText(QStringLiteral("new text"));
      modals_->expect([&, editor](QWidget* box) {
        auto* message = qobject_cast<QMessageBox*>(box);
        QVERIFY(message != nullptr);
        error = message->text();
        message->accept();
        QTimer::singleShot(0, editor, [&, editor] {
          stayedOpen = editor->isVisible() && editor->ui.Button3->isVisible() &&
                       editor->ui.Memo1->toPlainText() == QStringLiteral("new text");
          // The title-bar close; the edits are discarded.
          modals_->expect([](QWidget* question) {
            qobject_cast<QMessageBox*>(question)->button(QMessageBox::Discard)->click();
          });
          editor->close();
        });
      });
      editor->ui.Button3->click();
    });
    doubleClickFile(QStringLiteral("ro.inf"));
    QCOMPARE(error, QString::fromStdString("Cannot create file " + level + "ro.inf."));
    QVERIFY(stayedOpen);
    QVERIFY(form_->Form3->ui.Button3->isHidden());
    QCOMPARE(readFile(level + "ro.inf"), std::string("read only\r\n"));

    // A file that vanished after the list was read: the editor is not shown.
    ::unlink((level + "gone.inf").c_str());
    error = errorFrom([&] { doubleClickFile(QStringLiteral("gone.inf")); });
    QCOMPARE(error, QString::fromStdString("Cannot open file " + level + "gone.inf."));
    QVERIFY(form_->Form3->isHidden());
    QVERIFY(form_->Form3->ui.Button3->isHidden());
  }

 private slots:
  void init() { setUp(); }
  void cleanup() { tearDown(); }

  void fileListMaskSortingAndNameBox() {
    const std::string level = levels_ + "/lvl/";
    for (const char* name : {"b.cam", "A.inf", "TRACK.INF", "c.inf", ".hidden.inf", "Été.txt"})
      writeFile(level + name, "x");
    makeDirs(level + "folder.inf");
    start();
    openLevels(levels_ + "/lvl");
    TFileListBox* list = r().FileListBox1;
    QCOMPARE(captions(*list), names({"A.inf", "b.cam", "c.inf", "TRACK.INF", "Été.txt"}));
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));
    QCOMPARE(list->FileName(), std::string());

    list->setCurrentRow(rowOf(list, QStringLiteral("Été.txt")));
    QCOMPARE(r().filedisp->text(), QStringLiteral("Été.txt"));
    QCOMPARE(list->FileName(), level + "Été.txt");

    r().CheckBox3->click();
    QCOMPARE(captions(*list), names({"A.inf", "c.inf", "TRACK.INF"}));
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.inf"));
    QCOMPARE(list->FileName(), std::string());
    r().CheckBox3->click();
    QCOMPARE(list->count(), 5);
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));

    // Focus from the keyboard marks a row without selecting it: the name box keeps the mask.
    list->Update();
    r().filedisp->setFocus();
    list->setFocus(Qt::TabFocusReason);
    QVERIFY(list->hasFocus());
    QCOMPARE(list->FileName(), std::string());
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));
    // A click selects and names the file.
    const QRect bCam = list->visualItemRect(list->item(rowOf(list, QStringLiteral("b.cam"))));
    click(list->viewport(), bCam.center());
    QCOMPARE(r().filedisp->text(), QStringLiteral("b.cam"));
    QCOMPARE(list->FileName(), level + "b.cam");
    // A click beside the files leaves none selected.
    click(list->viewport(), QPoint(5, list->viewport()->height() - 3));
    QCOMPARE(list->FileName(), std::string());
    QCOMPARE(r().filedisp->text(), QStringLiteral("*.*"));

    // Re-read only when asked: a new file shows after the next re-read.
    writeFile(level + "new.w", "x");
    QCOMPARE(list->count(), 5);
    list->Update();
    QCOMPARE(list->count(), 6);

    // A name that is not valid UTF-8 shows through the Windows-1252 table; its path keeps the bytes.
    PITKIT_LINUX_ONLY_QT("a file name that is not UTF-8");
    writeFile(level + "z\xFFz.txt", "x");
    list->Update();
    list->setCurrentRow(rowOf(list, QStringLiteral("z\u00FFz.txt")));
    QCOMPARE(list->FileName(), level + "z\xFFz.txt");
  }

  void doubleClickOpensOrDeletes() {
    const std::string level = levels_ + "/lvl/";
    writeFile(level + "lvl.inf", "NAME 'x'\r\n");
    writeFile(level + "TRACK.INF", "upper");
    writeFile(level + "x.txt", "x");
    start();
    openLevels(levels_ + "/lvl");

    // Neither box checked: nothing happens.
    doubleClickFile(QStringLiteral("x.txt"));
    QVERIFY(fileExists(level + "x.txt"));

    // The editor only takes ".inf" with its case; TRACK.INF is not opened.
    r().CheckBox1->setChecked(true);
    modals_->onOtherModal = [](QWidget*) {};  // the editor stays open while it asks
    doubleClickFile(QStringLiteral("TRACK.INF"));
    bool editorSeen = false;
    modals_->expect([&](QWidget* w) {
      auto* editor = qobject_cast<TForm3*>(w);
      QVERIFY(editor != nullptr);
      editorSeen = true;
      QVERIFY(editor->ui.Button3->isVisible());
      QVERIFY(editor->ui.Button1->isHidden());
      editor->ui.Memo1->setPlainText(QStringLiteral("changed"));
      modals_->expect([](QWidget* box) { qobject_cast<QMessageBox*>(box)->button(QMessageBox::Discard)->click(); });
      editor->ui.Button2->click();  // Cancel, then Discard
    });
    doubleClickFile(QStringLiteral("lvl.inf"));
    QVERIFY(editorSeen);
    QCOMPARE(readFile(level + "lvl.inf"), std::string("NAME 'x'\r\n"));
    QVERIFY(form_->Form3->ui.Button3->isHidden());

    deleteByDoubleClick(level);
  }

  // Closing with unsaved edits asks Save, Discard or Cancel, however the editor is closed; each
  // answer is checked on disk and in the editor. A file is saved in the set it was read in; a letter
  // its 8-bit set cannot hold is refused by name, and the editor stays open with the text.
  void editorAsksBeforeItDropsEditsAndRefusesLettersItCannotSave() {
    const std::string level = levels_ + "/lvl/";
    const std::string latin = "NAME 'Cr\xE8me'\r\n", utf8 = "NAME 'Cr\xC3\xA8me'\r\n";
    writeFile(level + "lvl.inf", latin);
    writeFile(level + "utf.inf", utf8);
    start();
    openLevels(levels_ + "/lvl");
    r().CheckBox1->setChecked(true);
    // Every message box gets `answer`; the editor itself stays open between the steps.
    QMessageBox::StandardButton answer = QMessageBox::NoButton;
    modals_->chooseButton = [&answer](const ModalAnswerer::Box&) { return answer; };
    modals_->onOtherModal = [](QWidget*) {};

    enum Closing { CancelButton, EscapeKey, TitleBarClose, SaveButton };
    const QString lvl = QStringLiteral("Save your changes to lvl.inf?"), utf = QStringLiteral("Save your changes to utf.inf?");
    const QString refused = QStringLiteral("Cannot save \"Ж\": the file's character set (Windows-1252) has no such letter.");
    const struct {
      const char* file;
      QString typed;
      Closing closing;
      QMessageBox::StandardButton answer;
      QStringList boxes;  // two: the editor stayed open after the first, then Discard closed it
      std::string onDisk;
    } rows[] = {
        {"lvl.inf", QStringLiteral(" é"), CancelButton, QMessageBox::Discard, {lvl}, latin},
        {"lvl.inf", QStringLiteral(" é"), EscapeKey, QMessageBox::Save, {lvl}, latin + " \xE9"},
        {"lvl.inf", QStringLiteral(" x"), TitleBarClose, QMessageBox::Cancel, {lvl, lvl}, latin + " \xE9"},
        {"lvl.inf", QString(), EscapeKey, QMessageBox::NoButton, {}, latin + " \xE9"},
        {"utf.inf", QStringLiteral(" Жук"), CancelButton, QMessageBox::Save, {utf}, utf8 + " \xD0\x96\xD1\x83\xD0\xBA"},
        {"lvl.inf", QStringLiteral(" Жук"), SaveButton, QMessageBox::Ok, {refused, lvl}, latin + " \xE9"},
    };
    for (const auto& row : rows) {
      const std::string diskBefore = readFile(level + row.file);
      bool keptTextAndFile = false;
      modals_->expect([&](QWidget* w) {
        auto* editor = qobject_cast<TForm3*>(w);
        QVERIFY(editor != nullptr);
        editor->ui.Memo1->setFocus();
        editor->ui.Memo1->moveCursor(QTextCursor::End);
        typeKeys(editor->ui.Memo1, row.typed);
        const QString edited = editor->ui.Memo1->toPlainText();
        answer = row.answer;
        switch (row.closing) {
          case CancelButton: click(editor->ui.Button2); break;
          case EscapeKey: pressKey(editor->ui.Memo1, Qt::Key_Escape); break;
          case TitleBarClose: editor->windowHandle()->close(); break;
          case SaveButton: click(editor->ui.Button3); break;
        }
        if (editor->isVisible()) {
          keptTextAndFile = editor->ui.Memo1->toPlainText() == edited && editor->ui.Button3->isVisible() &&
                            readFile(level + row.file) == diskBefore;
          answer = QMessageBox::Discard;
          click(editor->ui.Button2);
        }
      });
      doubleClickFile(QString::fromUtf8(row.file));
      QVERIFY(form_->Form3->isHidden());
      QCOMPARE(modals_->texts(), row.boxes);
      modals_->boxes.clear();
      QCOMPARE(keptTextAndFile, row.boxes.size() == 2);
      QCOMPARE(readFile(level + row.file), row.onDisk);
    }
  }

  void editorOpensLongLinesAndSavesThemUnchanged() {
    start();
    TForm3* editor = form_->Form3;
    const std::string words = [] {
      std::string text;
      for (int i = 0; i < 700; ++i) text += "word" + std::to_string(i) + " ";
      return text;
    }();
    const std::string noBlanks(5000, 'x');
    // Each file's text as loaded (line breaks made CR LF) is what Save writes back.
    const std::string cases[] = {words, noBlanks, "short\r\n" + noBlanks + "\r\nshort\r\n", words + "\r\n" + words,
                                 std::string(kEditorTextCapacity, 'y')};
    for (const std::string& text : cases) {
      writeFile(game_ + "/long.inf", text);
      editor->loadFile(game_ + "/long.inf");
      QVERIFY(editor->ui.Memo1->blockCount() > 1 + int(std::count(text.begin(), text.end(), '\n')));
      QVERIFY2(editor->memoText() == text, text.substr(0, 40).c_str());
    }

    // A line break typed where a long line was cut for showing is saved there; one deleted there
    // joins nothing that was apart.
    writeFile(game_ + "/long.inf", noBlanks);
    editor->loadFile(game_ + "/long.inf");
    QTextCursor cursor(editor->ui.Memo1->document()->findBlockByNumber(1));
    const int cutAt = cursor.position() - 1;
    cursor.insertText(QStringLiteral("\n"));
    QCOMPARE(editor->memoText(), noBlanks.substr(0, cutAt) + "\r\n" + noBlanks.substr(cutAt));
    cursor.deletePreviousChar();
    cursor.deletePreviousChar();
    QCOMPARE(editor->memoText(), noBlanks);
  }

  void editorSavesAndFailedSaveKeepsFileAndEditor() {
    const std::string level = levels_ + "/lvl/";
    writeFile(level + "lvl.inf", "one\ntwo");
    writeFile(level + "ro.inf", "read only\r\n");
    writeFile(level + "gone.inf", "soon gone");
    start();
    openLevels(levels_ + "/lvl");
    r().CheckBox1->setChecked(true);

    // File-save mode: an unchanged text only gets CR LF line breaks, none added at the end.
    bool saved = false;
    expectEditorSave(saved);
    doubleClickFile(QStringLiteral("lvl.inf"));
    QVERIFY(saved);
    QCOMPARE(readFile(level + "lvl.inf"), std::string("one\r\ntwo"));

    // Every other byte comes back unchanged through the editor (no-break space, tab, 8-bit letters).
    std::string bytes;
    for (int b = 0; b < 256; ++b)
      if (b != '\r' && b != '\n') bytes += static_cast<char>(b);
    writeFile(level + "lvl.inf", bytes);
    expectEditorSave(saved);
    doubleClickFile(QStringLiteral("lvl.inf"));
    QVERIFY(saved);
    QCOMPARE(readFile(level + "lvl.inf"), bytes);

    failedSaveKeepsFileAndEditor(level);
  }
};

QTEST_MAIN(RenamerFilesTest)
#include "renamer_files_test.moc"
