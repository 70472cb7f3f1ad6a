#include "DebugReadout.h"

#include <QLocale>
#include <QPlainTextEdit>
#include <QWidget>

#include "FlameEngine.h"
#include "HelpAbout.h"
#include "StateFile.h"

namespace {

QString Float(double V, const QString& Decimal) {
  return QString::fromStdString(FloatToStateText(V, Decimal.toStdString()));
}

QString RectText(const TRect& R) {
  return QStringLiteral("%1 - %2 - %3 - %4").arg(R.Left).arg(R.Top).arg(R.Right).arg(R.Bottom);
}

} // namespace

QStringList DebugSnapshotLines(const TPartForm& Form, const TRect& LayeredBounds,
                               const QString& Thousand, const QString& Decimal) {
  QStringList L;
  L.reserve(7 + Form.FEmitters.Count);
  L << QStringLiteral("Thousand sep: ") + Thousand;
  L << QStringLiteral("Decimal sep: ") + Decimal;
  L << QStringLiteral("Screen size: ") + RectText(Form.DesktopRect);
  L << QStringLiteral("PartCenterXY: ") + Float(Form.SurfaceOffsetX, Decimal) +
           QStringLiteral(" - ") + Float(Form.SurfaceOffsetY, Decimal);
  L << QStringLiteral("CenterXY: ") + Float(Form.OriginX, Decimal) + QStringLiteral(" - ") +
           Float(Form.OriginY, Decimal);
  L << QStringLiteral("Window size: ") + RectText(LayeredBounds);
  L << QString();
  for (int32_t i = 0; i < Form.FEmitters.Count; ++i) {
    const TEmitter* E = Form.Emitter(i);
    L << QStringLiteral("EM%1 X:%2 Y:%3").arg(i).arg(Float(E->X, Decimal), Float(E->Y, Decimal));
  }
  return L;
}

void TDebugReadout::Install() {
  TPartForm* E = Engine ? Engine() : nullptr;
  if (!E || !Window)
    return;
  QWidget* W = Window;
  E->OnDebugCaption = [W](const std::string& Text) {
    W->setWindowTitle(QString::fromStdString(Text));
  };
}

void TDebugReadout::DebugBoxClick(bool Checked) {
  TPartForm* E = Engine ? Engine() : nullptr;
  if (E)
    E->FDebug = Checked;
  if (!Checked) {
    if (ClearFading)
      ClearFading();
    if (Window)
      Window->setWindowTitle(QStringLiteral("QUELMA"));
    // The snapshot goes with debug mode: a long list of emitters would
    // otherwise stand in the Help tab for the rest of the run.
    if (HelpMemo) {
      HelpMemo->setPlainText(QuickHelpText());
      HelpMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAsNeeded);
    }
    return;
  }
  if (!HelpMemo || !E)
    return;
  const QLocale Locale = QLocale::system();
  const QString T = Thousand.isEmpty() ? Locale.groupSeparator() : Thousand;
  const QString D = Decimal.isEmpty() ? Locale.decimalPoint() : Decimal;
  HelpMemo->clear();
  HelpMemo->setPlainText(DebugSnapshotLines(*E, LayeredBounds ? LayeredBounds() : TRect{}, T, D)
                             .join(QLatin1Char('\n')));
  HelpMemo->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}
