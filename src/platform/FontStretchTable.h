#pragma once
// The narrowing stretches of the stand-in fonts measured on this machine, kept between runs in
// the user's cache folder: measuring a stand-in font loads it at full width first, a few
// milliseconds of every start. The file holds a first line that names what the values depend on
// (the fingerprint) and one "key=stretch" line per font; a file with another first line, or one
// that cannot be read, gives an empty table. Written whole to a new file that replaces the old
// one, so another instance never reads half of it; a file that cannot be written only means the
// fonts are measured again next time.
#include <QHash>
#include <QString>
#include <QStringList>
#include <optional>

namespace pitkit {

class FontStretchTable {
 public:
  // Reads `path` (none when empty).
  FontStretchTable(QString fingerprint, QString path);

  // The toolkit's version and the machine's font families: a font added or removed, or another
  // toolkit, measures anew.
  static QString fingerprintOf(const QStringList& families);
  // "torvane-pitkit/font-stretches" in the user's cache folder; empty where there is none.
  static QString userCacheFile();

  std::optional<int> find(const QString& key) const;
  // Remembers `stretch` and writes the table.
  void insert(const QString& key, int stretch);

 private:
  void load();
  void save() const;

  QString fingerprint_;
  QString path_;
  QHash<QString, int> values_;
};

}  // namespace pitkit
