#include "platform/FontStretchTable.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace pitkit {

namespace {

// A longer file is not one of ours.
constexpr qint64 kMaxFileSize = 64 * 1024;
// The stretches a narrowing can give.
constexpr int kNarrowest = 75;
constexpr int kFullWidth = 100;

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
  QFile file(path_);
  if (path_.isEmpty() || !file.open(QIODevice::ReadOnly) || file.size() > kMaxFileSize) return;
  const QStringList lines = QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'));
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
  if (path_.isEmpty() || !QDir().mkpath(QFileInfo(path_).path())) return;
  QSaveFile file(path_);
  if (!file.open(QIODevice::WriteOnly)) return;
  QString text = fingerprint_ + QLatin1Char('\n');
  for (auto it = values_.constBegin(); it != values_.constEnd(); ++it)
    text += it.key() + QLatin1Char('=') + QString::number(it.value()) + QLatin1Char('\n');
  file.write(text.toUtf8());
  file.commit();
}

}  // namespace pitkit
