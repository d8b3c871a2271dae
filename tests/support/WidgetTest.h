#pragma once
// Small helpers shared by the window tests.
#include <QListWidget>
#include <QStringList>

namespace pitkit::test {

// The captions of a list's rows, top to bottom.
inline QStringList captions(const QListWidget& list) {
  QStringList out;
  for (int i = 0; i < list.count(); ++i) out << list.item(i)->text();
  return out;
}

}  // namespace pitkit::test
