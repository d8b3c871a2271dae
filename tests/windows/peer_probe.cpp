// Both ends of a local socket (a named pipe on Windows) see a peer of this user, as the archive
// hand-over checks. Built and run by places_probe.sh when the mingw Qt is there.
#include <QCoreApplication>
#include <QLocalServer>
#include <QLocalSocket>
#include <cstdio>

#include "platform/HostSystem.h"

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const QString name = QStringLiteral("pitkit-probe-") + QString::fromStdString(pitkit::localUserId());
  QLocalServer server;
  if (!server.listen(name)) { std::printf("FAIL listen\n"); return 1; }
  QLocalSocket client;
  client.connectToServer(name);
  const bool connected = client.waitForConnected(3000);
  server.waitForNewConnection(3000);
  QLocalSocket* accepted = server.nextPendingConnection();
  const bool clientSide = connected && pitkit::localPeerIsThisUser(client.socketDescriptor());
  const bool serverSide = accepted != nullptr && pitkit::localPeerIsThisUser(accepted->socketDescriptor());
  std::printf("name %s\nclient sees this user: %d\nserver sees this user: %d\nunconnected: %d\n",
              qPrintable(server.fullServerName()), clientSide, serverSide,
              pitkit::localPeerIsThisUser(QLocalSocket().socketDescriptor()));
  std::printf("%s\n", clientSide && serverSide ? "PASS" : "FAIL");
  return clientSide && serverSide ? 0 : 1;
}
