#include "TellOnce.h"

#include <QSet>

#include <cstdio>

bool TellOnce(const char* Topic, const QString& Text) {
  static QSet<QByteArray> Told; // GUI thread only
  const QByteArray Key(Topic);
  if (Told.contains(Key))
    return false;
  Told.insert(Key);
  std::fprintf(stderr, "quelma: %s\n", Text.toLocal8Bit().constData());
  std::fflush(stderr);
  return true;
}
