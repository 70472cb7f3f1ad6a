#pragma once
// The settings window's side of "My desktop icons on fire!": the screens
// from Qt, the desktop's icon stores, and the three check boxes, whose
// toggled handlers run when they change as for a click.
#include <QString>

#include <functional>

#include "DesktopIconFire.h"
#include "IconPositionSource.h"

class QCheckBox;

// The primary screen's work area and every monitor (primary first), from Qt.
TDesktopPlace CurrentDesktopPlace();

// The icons of the running desktop: its own store, else the default grid.
TDesktopIcons ReadCurrentDesktopIcons();

class TDesktopIconsHost : public IDesktopIconsHost {
public:
  // LoadStateFile: the settings window's own state-file reading (the one
  // "Load" uses, which reports its errors itself).
  TDesktopIconsHost(QCheckBox* WFrontBox, QCheckBox* LStyleBox, QCheckBox* LArtBox,
                    std::function<void(const QString& FileName)> LoadStateFile);

  // Where the icons come from; default: ReadCurrentDesktopIcons. Tests
  // replace it.
  std::function<TDesktopIcons()> ReadIcons = ReadCurrentDesktopIcons;

  TDesktopIcons GetDesktopIcons() override;
  void SetKeepInFront(bool Checked) override;
  void SetLoadStyle(bool Checked) override;
  void SetLoadArt(bool Checked) override;
  void LoadStateFile(const std::string& FileName) override;
  void NoIconsFound() override;

private:
  QCheckBox* FWFrontBox;
  QCheckBox* FLStyleBox;
  QCheckBox* FLArtBox;
  std::function<void(const QString&)> FLoadStateFile;
};
