#include "DebugMessage.h"

#include <QMessageBox>

namespace {
std::function<void(const QString&)>& Handler() {
  static std::function<void(const QString&)> H;
  return H;
}
}  // namespace

void SetDebugMessageHandler(std::function<void(const QString&)> H) { Handler() = std::move(H); }

void ShowDebugMessage(const QString& Text) {
  if (Handler()) {
    Handler()(Text);
    return;
  }
  QMessageBox Box(QMessageBox::Information, QStringLiteral("Debug"), Text, QMessageBox::Ok);
  Box.exec();
}
