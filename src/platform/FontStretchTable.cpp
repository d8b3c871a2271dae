#include "platform/FontStretchTable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include "platform/Posix.h"

#include "platform/TextFile.h"

namespace pitkit {

namespace {

// A longer file is not one of ours.
constexpr std::size_t kMaxFileSize = 64 * 1024;
// The stretches a narrowing can give.
constexpr int kNarrowest = 75;
constexpr int kFullWidth = 100;

// The cache folder must be a real folder: one that is a link may lead anywhere, and the cache
// is never written nor read through a link.
bool isOwnFolder(const QString& folder) {
  struct stat st {};
  return ::lstat(QFile::encodeName(folder).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

}  // namespace

FontStretchTable::FontStretchTable(QString fingerprint, QString path)
    : fingerprint_(std::move(fingerprint)), path_(std::move(path)) {
  load();
}

QString FontStretchTable::fingerprintOf(const QStringList& families) {
  const QByteArray hash = QCryptographicHash::hash(families.join(QLatin1Char('\n')).toUtf8(), QCryptographicHash::Sha1);
  return QStringLiteral("pitkit font stretches 1, Qt %1, families %2")
      .arg(QString::fromLatin1(qVersion()), QString::fromLatin1(hash.toHex()));
}

QString FontStretchTable::userCacheFile() {
  const QString folder = QStandardPaths::writableLocation(QStandardPaths::GenericCacheLocation);
  return folder.isEmpty() ? QString() : folder + QStringLiteral("/torvane-pitkit/font-stretches");
}

std::optional<int> FontStretchTable::find(const QString& key) const {
  const auto found = values_.constFind(key);
  if (found == values_.constEnd()) return std::nullopt;
  return *found;
}

void FontStretchTable::insert(const QString& key, int stretch) {
  values_.insert(key, stretch);
  save();
}

void FontStretchTable::load() {
  if (path_.isEmpty() || !isOwnFolder(QFileInfo(path_).path())) return;
  std::string bytes;
  try {
    // A link, pipe, device or oversized file there is not ours: it is ignored, never waited on.
    bytes = readRegularFile(QFile::encodeName(path_).toStdString(), kMaxFileSize, true);
  } catch (const std::exception&) {
    return;
  }
  const QStringList lines = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size())).split(QLatin1Char('\n'));
  if (lines.first() != fingerprint_) return;
  for (qsizetype i = 1; i < lines.size(); ++i) {
    const qsizetype equals = lines[i].lastIndexOf(QLatin1Char('='));
    bool isNumber = false;
    const int stretch = lines[i].mid(equals + 1).toInt(&isNumber);
    if (equals > 0 && isNumber && stretch >= kNarrowest && stretch <= kFullWidth)
      values_.insert(lines[i].left(equals), stretch);
  }
}

void FontStretchTable::save() const {
  const QString folder = QFileInfo(path_).path();
  if (path_.isEmpty() || !QDir().mkpath(folder) || !isOwnFolder(folder)) return;
  QString text = fingerprint_ + QLatin1Char('\n');
  for (auto it = values_.constBegin(); it != values_.constEnd(); ++it)
    text += it.key() + QLatin1Char('=') + QString::number(it.value()) + QLatin1Char('\n');
  try {
    // A new file replaces whatever stands there, a link itself included, never what it leads to.
    writeFileAtomically(QFile::encodeName(path_).toStdString(), text.toUtf8().toStdString(), LinkAtPath::ReplaceLink);
  } catch (const std::exception&) {
    // A file that cannot be written only means the fonts are measured again next time.
  }
}

}  // namespace pitkit
