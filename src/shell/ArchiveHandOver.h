#pragma once
// One window per user for archives: `pitkit FILE...` started while the program runs hands the
// archives to the running window, which opens them as it opens dropped ones, and ends.
#include <QObject>
#include <QStringList>
#include <QTimer>
#include <optional>

class QLocalServer;
class QLocalSocket;

namespace pitkit {

class TForm1;

// The name the running window serves: torvane-pitkit-<user> (the user id; on Windows the user's
// SID, a named pipe) in the user's runtime folder ($XDG_RUNTIME_DIR, which only the user may enter),
// or in the temporary folder without one.
// Either side talks only to a process of the same user.
QString handOverServerName();

enum class HandOver {
  NoWindow,  // no window of this user serves the name: this start opens its own
  Done,      // the running window took the archives
  Failed,    // a window took the connection but did not confirm
};

// Hands `files` (absolute paths) to the window serving `serverName`. Blocks for a few seconds at
// most; needs no application object.
HandOver handArchivesOver(const QString& serverName, const QStringList& files,
                          QString* error = nullptr);

// The archives of a hand-over message ("" lines end it): one file URL a line, as a drop carries
// them. nullopt while the message is unfinished; an empty list when it is not one.
std::optional<QStringList> handedOverFiles(const QByteArray& message);

// The running window's side: serves `serverName` and opens the archives handed to it, a batch at
// a time, once none of the window's dialogs is open. A socket left by a program that ended without
// removing it is replaced; one another window still serves is left to it.
class ArchiveHandOverServer : public QObject {
 public:
  ArchiveHandOverServer(TForm1& form, const QString& serverName);
  ~ArchiveHandOverServer() override;
  bool listening() const;

 private:
  void accept();
  void read(QLocalSocket* socket);
  void openPending();

  TForm1& form_;
  QLocalServer* server_;
  QStringList pending_;
  QTimer openTimer_;
  bool opening_ = false;
};

}  // namespace pitkit
