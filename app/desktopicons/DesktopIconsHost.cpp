#include "DesktopIconsHost.h"

#include "MessageBoxes.h"

#include <QCheckBox>
#include <QFile>
#include <QGuiApplication>
#include <QScreen>

namespace {

TScreenRect ToRect(const QRect& R) {
  return {R.left(), R.top(), R.width(), R.height()};
}

} // namespace

TDesktopPlace CurrentDesktopPlace() {
  TScreenRect work;
  std::vector<TScreenRect> monitors;
  if (QScreen* primary = QGuiApplication::primaryScreen()) {
    work = ToRect(primary->availableGeometry());
    monitors.push_back(ToRect(primary->geometry()));
    for (QScreen* s : QGuiApplication::screens())
      if (s != primary)
        monitors.push_back(ToRect(s->geometry()));
  }
  return DesktopPlaceFromEnvironment(work, std::move(monitors));
}

TDesktopIcons ReadCurrentDesktopIcons() {
  return ReadDesktopIcons(CurrentDesktopPlace(), DefaultIconPositionSources());
}

TDesktopIconsHost::TDesktopIconsHost(QCheckBox* WFrontBox, QCheckBox* LStyleBox, QCheckBox* LArtBox,
                                     std::function<void(const QString&)> LoadStateFile)
    : FWFrontBox(WFrontBox), FLStyleBox(LStyleBox), FLArtBox(LArtBox),
      FLoadStateFile(std::move(LoadStateFile)) {}

TDesktopIcons TDesktopIconsHost::GetDesktopIcons() {
  return ReadIcons ? ReadIcons() : TDesktopIcons{};
}

void TDesktopIconsHost::SetKeepInFront(bool Checked) {
  if (FWFrontBox)
    FWFrontBox->setChecked(Checked);
}

void TDesktopIconsHost::SetLoadStyle(bool Checked) {
  if (FLStyleBox)
    FLStyleBox->setChecked(Checked);
}

void TDesktopIconsHost::SetLoadArt(bool Checked) {
  if (FLArtBox)
    FLArtBox->setChecked(Checked);
}

void TDesktopIconsHost::NoIconsFound() {
  TUserMessage M;
  M.Caption = QStringLiteral("QUELMA");
  M.Text = QStringLiteral("No desktop icons were found: nothing was set on fire.");
  M.Detail =
      QStringLiteral("The desktop shows no icons, or keeps their places where QUELMA cannot read "
                     "them. The art and \"Keep in front\" are as they were.");
  ShowUserMessage(M);
}

void TDesktopIconsHost::LoadStateFile(const std::string& FileName) {
  if (FLoadStateFile)
    FLoadStateFile(QFile::decodeName(QByteArray::fromStdString(FileName)));
}
