#pragma once
// The Edit menu of the main window: Undo of the game's last action and the History window.

namespace pitkit {

class TForm1;

// Names the game's last action in "&Undo <action>", or "&Undo" disabled when there is none.
void refreshUndoEntry(TForm1& form);

// Reverses the game's last action with the progress window, marks it undone and searches the
// pages it concerns again. A Delete, or an action the world has changed under, is refused with
// the reason in the error box and nothing is touched.
void undoLastAction(TForm1& form);

// Opens the window listing the game's actions, newest first.
void showHistoryWindow(TForm1& form);

}  // namespace pitkit
