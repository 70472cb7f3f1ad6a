#include "MessageBoxes.h"

#include <QApplication>
#include <QDir>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

namespace {
std::function<void(const TUserMessage&)>& Handler() {
  static std::function<void(const TUserMessage&)> H;
  return H;
}

// A box as narrow as "1.0.0.0" leaves the window manager too little of its
// title bar for the caption. Room for the caption in a title font that may
// be larger and bold, and for the frame's icon and buttons.
int TitleRoom(const QString& Caption) {
  QFont F = QApplication::font();
  F.setBold(true);
  F.setPointSizeF(F.pointSizeF() > 0 ? F.pointSizeF() * 1.25 : 12);
  return QFontMetrics(F).horizontalAdvance(Caption) + 180;
}
} // namespace

void SetUserMessageHandler(std::function<void(const TUserMessage&)> H) {
  Handler() = std::move(H);
}

void SetDebugMessageHandler(std::function<void(const QString&)> H) {
  if (H)
    Handler() = [H = std::move(H)](const TUserMessage& M) { H(M.Text); };
  else
    Handler() = nullptr;
}

void ShowUserMessage(const TUserMessage& M) {
  if (Handler()) {
    Handler()(M);
    return;
  }
  QMessageBox Box(M.Kind == TUserMessage::Warning ? QMessageBox::Warning : QMessageBox::Information,
                  M.Caption, M.Text, QMessageBox::Ok);
  if (!M.Detail.isEmpty())
    Box.setInformativeText(M.Detail);
  // QMessageBox sizes itself from its texts; a spacer across the bottom of
  // its grid is what makes it keep a minimum width.
  if (auto* Grid = qobject_cast<QGridLayout*>(Box.layout()))
    Grid->addItem(
        new QSpacerItem(TitleRoom(M.Caption), 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
        Grid->rowCount(), 0, 1, Grid->columnCount());
  Box.exec();
}

void ShowDebugMessage(const QString& Text) {
  TUserMessage M;
  M.Text = Text;
  ShowUserMessage(M);
}

void ShowFileError(const QString& Text, const QString& FileName, const QString& Reason) {
  TUserMessage M;
  M.Text = Text;
  M.Kind = TUserMessage::Warning;
  M.Detail = QDir::toNativeSeparators(FileName);
  if (!Reason.isEmpty())
    M.Detail += QLatin1Char('\n') + Reason;
  ShowUserMessage(M);
}
