#include "shell/ArchiveHandOver.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QUrl>
#include <memory>

#include "platform/HostSystem.h"
#include "shell/Unit1.h"

namespace pitkit {

namespace {

constexpr int kConnectMs = 1000;
constexpr int kAnswerMs = 10000;
// A message is a few file names; anything longer is not one.
constexpr qsizetype kMaxMessageBytes = 1 << 20;
const QByteArray kConfirmation = QByteArrayLiteral("ok\n");

// Whether the process at the other end of a local socket runs as this user: the socket's file may
// have been put there by someone else (the temporary folder is everyone's).
bool peerIsThisUser(qintptr descriptor) { return localPeerIsThisUser(static_cast<std::intptr_t>(descriptor)); }

}  // namespace

QString handOverServerName() {
  const QString name = QStringLiteral("torvane-pitkit-") + QString::fromStdString(localUserId());
  const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
  if (QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir())
    return runtime + QLatin1Char('/') + name;
  return name;  // the toolkit puts it in the temporary folder
}

HandOver handArchivesOver(const QString& serverName, const QStringList& files, QString* error) {
  QLocalSocket socket;
  socket.connectToServer(serverName);
  if (!socket.waitForConnected(kConnectMs) || !peerIsThisUser(socket.socketDescriptor()))
    return HandOver::NoWindow;
  const auto failed = [&](const QString& why) {
    if (error != nullptr) *error = why;
    return HandOver::Failed;
  };
  QByteArray message;
  for (const QString& file : files) message += QUrl::fromLocalFile(file).toEncoded() + '\n';
  message += '\n';
  socket.write(message);
  while (socket.bytesToWrite() > 0)
    if (!socket.waitForBytesWritten(kAnswerMs)) return failed(socket.errorString());
  while (!socket.canReadLine())
    if (socket.bytesAvailable() > kConfirmation.size() || !socket.waitForReadyRead(kAnswerMs))
      return failed(QStringLiteral("the running window did not answer"));
  if (socket.readLine() != kConfirmation)
    return failed(QStringLiteral("the running window refused the files"));
  return HandOver::Done;
}

std::optional<QStringList> handedOverFiles(const QByteArray& message) {
  const qsizetype end = message.indexOf("\n\n");
  if (end < 0) {
    if (message.size() > kMaxMessageBytes || message.startsWith('\n')) return QStringList();
    return std::nullopt;
  }
  if (end + 2 != message.size()) return QStringList();  // more after the end
  QStringList files;
  for (const QByteArray& line : message.left(end).split('\n')) {
    const QUrl url = QUrl::fromEncoded(line, QUrl::StrictMode);
    if (!url.isValid() || !url.isLocalFile() || !QDir::isAbsolutePath(url.toLocalFile()))
      return QStringList();
    files << url.toLocalFile();
  }
  return files;
}

namespace {

bool serverAnswers(const QString& serverName) {
  QLocalSocket probe;
  probe.connectToServer(serverName);
  return probe.waitForConnected(kConnectMs);
}

}  // namespace

ArchiveHandOverServer::ArchiveHandOverServer(TForm1& form, const QString& serverName)
    : QObject(&form), form_(form), server_(new QLocalServer(this)) {
  // No socket options: with them the toolkit puts its socket in place by renaming, over one that
  // another window serves. Who connects is checked instead (peerIsThisUser).
  // A name another window serves stays its own: on Windows a second listen would open another
  // pipe of the same name beside it, and archives would go to either window.
  if (!serverAnswers(serverName) && !server_->listen(serverName) && server_->serverError() == QAbstractSocket::AddressInUseError &&
      !serverAnswers(serverName)) {
    // A socket left by a program that ended without removing it.
    QLocalServer::removeServer(serverName);
    server_->listen(serverName);
  }
  connect(server_, &QLocalServer::newConnection, this, [this] { accept(); });
  openTimer_.setSingleShot(true);
  connect(&openTimer_, &QTimer::timeout, this, [this] { openPending(); });
}

ArchiveHandOverServer::~ArchiveHandOverServer() = default;

bool ArchiveHandOverServer::listening() const { return server_->isListening(); }

void ArchiveHandOverServer::accept() {
  while (QLocalSocket* socket = server_->nextPendingConnection()) {
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (!peerIsThisUser(socket->socketDescriptor())) {
      socket->abort();
      socket->deleteLater();
      continue;
    }
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { read(socket); });
    // A client that never finishes its message is dropped.
    QTimer::singleShot(kAnswerMs, socket, [socket] { socket->abort(); });
  }
}

void ArchiveHandOverServer::read(QLocalSocket* socket) {
  QByteArray message = socket->property("message").toByteArray() + socket->readAll();
  const std::optional<QStringList> files = handedOverFiles(message);
  if (!files) {
    socket->setProperty("message", message);
    return;
  }
  if (files->isEmpty()) {
    socket->abort();
    socket->deleteLater();
    return;
  }
  socket->write(kConfirmation);
  socket->disconnectFromServer();  // after the confirmation is written
  pending_ << *files;
  // The window comes to the front, where the dialogs of the install will be.
  if (form_.isMinimized()) form_.showNormal();
  form_.raise();
  form_.activateWindow();
  openTimer_.start(0);
}

void ArchiveHandOverServer::openPending() {
  // An archive is opened as a drop is: never inside another of the window's dialogs.
  if (opening_ || QApplication::activeModalWidget() != nullptr) {
    openTimer_.start(250);
    return;
  }
  opening_ = true;
  const QStringList files = std::exchange(pending_, {});
  form_.openArchives(files);
  opening_ = false;
  if (!pending_.isEmpty()) openTimer_.start(0);
}

}  // namespace pitkit
