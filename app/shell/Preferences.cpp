#include "Preferences.h"

#include <QCheckBox>
#include <QSettings>
#include <QWidget>

#include <climits>

#include "HotKeyEdit.h"
#include "TellOnce.h"

namespace {

// Opens a group for the rest of the scope, also when an error leaves early.
class TGroup {
public:
  TGroup(QSettings& Key, const QString& Name) : FKey(Key) { FKey.beginGroup(Name); }
  ~TGroup() { FKey.endGroup(); }
  TGroup(const TGroup&) = delete;
  TGroup& operator=(const TGroup&) = delete;

private:
  QSettings& FKey;
};

QString PlacementName(const QWidget& Window) {
  const QString N = Window.objectName();
  return N.isEmpty() ? QString::fromLatin1(MainFormPlacementName) : N;
}

QString ReadPrefString(QSettings& Key, const QString& Name) {
  const QVariant V = Key.value(Name);
  if (V.typeId() != QMetaType::QString)
    throw EPrefsError("value is not a string");
  return V.toString();
}

int StateOf(const QWidget& W) {
  if (W.windowState() & Qt::WindowMaximized)
    return 2;
  return 0; // never stored minimised: see LoadFormPlacement
}

} // namespace

std::unique_ptr<QSettings> OpenPrefs() {
  // No application name: the store is the organisation's own
  // ("Software\QUELMA"; QUELMA.conf under the XDG config folder).
  return std::make_unique<QSettings>(QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("QUELMA"));
}

int ReadPrefInt(QSettings& Key, const QString& Name, int Default) {
  if (!Key.contains(Name))
    return Default;
  bool Ok = false;
  const int V = ReadPrefString(Key, Name).trimmed().toInt(&Ok, 10);
  return Ok ? V : Default;
}

void WritePrefInt(QSettings& Key, const QString& Name, int Value) {
  Key.setValue(Name, QString::number(Value));
}

void LoadFormPlacement(QWidget& Window, QSettings& Key) {
  TGroup Group(Key, PlacementName(Window));
  // Outer size = the window's size plus its frame (none before it is shown).
  const QSize Frame = Window.frameGeometry().size() - Window.size();
  const int L = ReadPrefInt(Key, QStringLiteral("Left"), Window.pos().x());
  const int T = ReadPrefInt(Key, QStringLiteral("Top"), Window.pos().y());
  const int W = ReadPrefInt(Key, QStringLiteral("Width"), Window.frameGeometry().width());
  const int H = ReadPrefInt(Key, QStringLiteral("Height"), Window.frameGeometry().height());
  const bool Stored = ReadPrefInt(Key, QStringLiteral("Left"), INT_MAX) != INT_MAX;
  if (Key.contains(QStringLiteral("Parent")) &&
      ReadPrefString(Key, QStringLiteral("Parent")) == QLatin1String("Desktop") &&
      Window.parentWidget())
    Window.setParent(nullptr, Window.windowFlags());

  const bool Maximised = Window.windowState() & Qt::WindowMaximized;
  // A maximised window takes the rectangle as its restored one.
  if (Maximised)
    Window.setWindowState(Window.windowState() & ~Qt::WindowMaximized);
  Window.move(L, T);
  if (W - Frame.width() > 0 && H - Frame.height() > 0)
    Window.resize(W - Frame.width(), H - Frame.height());
  // Placed as stored: the window manager must not choose a position of its own.
  if (Stored)
    Window.setAttribute(Qt::WA_Moved);
  if (Maximised)
    Window.setWindowState(Window.windowState() | Qt::WindowMaximized);

  switch (ReadPrefInt(Key, QStringLiteral("State"), StateOf(Window))) {
  case 0:
    Window.setWindowState(Window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    break;
  case 1:
    // A window minimised when the program ended starts normal: it has no
    // taskbar entry to be restored from.
    Window.setWindowState(Window.windowState() & ~(Qt::WindowMinimized | Qt::WindowMaximized));
    break;
  case 2:
    Window.setWindowState((Window.windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    break;
  default:
    break; // no such state: left as it is
  }
  const bool Visible = ReadPrefInt(Key, QStringLiteral("Visible"), Window.isVisible() ? 1 : 0) != 0;
  if (Visible != Window.isVisible())
    Window.setVisible(Visible);
}

void SaveFormPlacement(QWidget& Window, QSettings& Key, unsigned Components) {
  TGroup Group(Key, PlacementName(Window));
  WritePrefInt(Key, QStringLiteral("State"), StateOf(Window));
  if (Components & fpLeftTop) {
    QPoint P = Window.pos();
    if (Window.windowState() & Qt::WindowMaximized) {
      // The restored rectangle, as an outer position like pos().
      P = Window.normalGeometry().topLeft() - (Window.geometry().topLeft() - Window.pos());
    }
    WritePrefInt(Key, QStringLiteral("Left"), P.x());
    WritePrefInt(Key, QStringLiteral("Top"), P.y());
  }
}

void LoadControlStates(const std::vector<QCheckBox*>& Boxes, QSettings& Key) {
  for (QCheckBox* B : Boxes) {
    if (!B || !Key.contains(B->objectName()))
      continue;
    // Only 1 sets a box; text that is no number leaves it as it is.
    const int V = ReadPrefInt(Key, B->objectName(), B->isChecked() ? 1 : 0);
    B->setChecked(V == 1);
  }
}

void SaveControlStates(const std::vector<QCheckBox*>& Boxes, QSettings& Key) {
  for (QCheckBox* B : Boxes)
    if (B)
      WritePrefInt(Key, B->objectName(), B->isChecked() ? 1 : 0);
}

void LoadSavePrefs(const TPrefsTargets& Targets, bool Save, QSettings* Store) {
  std::unique_ptr<QSettings> Own;
  if (!Store) {
    Own = OpenPrefs();
    Store = Own.get();
  }
  QSettings& Key = *Store;
  try {
    // A store that cannot be read gives the defaults; it is only replaced by
    // the values written at the end of the run.
    if (!Save && Key.status() != QSettings::NoError)
      throw EPrefsError("store unreadable");
    if (Targets.Window) {
      if (Save)
        SaveFormPlacement(*Targets.Window, Key, fpLeftTop);
      else
        LoadFormPlacement(*Targets.Window, Key);
    }
    for (size_t i = 0; i < Targets.HotKeys.size(); ++i) {
      THotKeyEdit* E = Targets.HotKeys[i];
      if (!E)
        continue;
      const QString Name = QString::fromLatin1(Targets.HotKeyNames[i]);
      if (Save) {
        WritePrefInt(Key, Name, E->HotKey());
      } else {
        const int V = ReadPrefInt(Key, Name, E->HotKey());
        // Shortcuts are 16 bits; anything else was not written by us.
        if (V >= 0 && V <= 0xffff)
          E->SetHotKey(V);
      }
    }
    if (Save)
      SaveControlStates(Targets.Boxes, Key);
    else
      LoadControlStates(Targets.Boxes, Key);
    if (Save) {
      Key.sync();
      // The earlier file stays whole (QSettings replaces it in one step);
      // the user learns why the next start does not show these values.
      if (Key.status() == QSettings::AccessError)
        TellOnce("preferences",
                 QStringLiteral("the preferences cannot be saved: %1 or its folder cannot be "
                                "written. The next start uses the values saved before.")
                     .arg(Key.fileName()));
    }
  } catch (const std::exception&) {
    // Preference errors are never shown: what was done before stays.
  }
}
