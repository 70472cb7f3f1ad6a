#include "TestProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QSaveFile>
#include <QStringList>
#include <QTabBar>
#include <QTabWidget>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTimer>
#include <QWidget>

#include <cstdlib>

#include "FlameEngine.h"
#include "MainForm.h"
#include "NumBar.h"

namespace {

QString OneLine(QString S) {
  return S.replace(QLatin1Char('\n'), QLatin1String("\\n"));
}

QString StateText(const QWidget& W) {
  if (W.windowState() & Qt::WindowMinimized)
    return QStringLiteral("minimized");
  if (W.windowState() & Qt::WindowMaximized)
    return QStringLiteral("maximized");
  return QStringLiteral("normal");
}

} // namespace

namespace {

// A caption as it reads, without the mark of its Alt key.
QString Caption(QString Text) {
  Text.replace(QLatin1String("&&"), QLatin1String("\x01"));
  Text.remove(QLatin1Char('&'));
  Text.replace(QLatin1Char('\x01'), QLatin1Char('&'));
  return Text;
}

bool Clips(const QWidget& W) {
  if (W.isWindow())
    return false;
  const QSize Need = W.minimumSizeHint();
  const int NeedHeight = W.hasHeightForWidth() ? W.heightForWidth(W.width()) : Need.height();
  if (W.height() < NeedHeight || (Need.width() > 0 && W.width() < Need.width()))
    return true;
  // Laid out beyond the page or window that holds it.
  const QWidget* Parent = W.parentWidget();
  return Parent && !Parent->rect().contains(W.geometry());
}

} // namespace

QString TestProbeText(const std::function<TProbeFacts()>& Facts) {
  QString Out;
  auto Line = [&Out](const QString& Name, const QString& Value) {
    Out += Name + QLatin1Char('=') + OneLine(Value) + QLatin1Char('\n');
  };
  if (QWidget* F = QApplication::focusWidget())
    Line(QStringLiteral("focus"), F->objectName());
  else
    Line(QStringLiteral("focus"), QString());
  if (Facts)
    for (const auto& [Name, Value] : Facts())
      Line(Name, Value);
  for (QWidget* W : QApplication::topLevelWidgets()) {
    const QString Title = W->windowTitle();
    if (Title.isEmpty())
      continue;
    if (W->isVisible())
      Line(QStringLiteral("window.") + Title,
           StateText(*W) + (W->isActiveWindow() ? QStringLiteral(" active") : QString()));
    if (auto* Box = qobject_cast<QMessageBox*>(W); Box && Box->isVisible()) {
      Line(QStringLiteral("messagebox.title"), Box->windowTitle());
      Line(QStringLiteral("messagebox.text"), Box->text());
      Line(QStringLiteral("messagebox.informative"), Box->informativeText());
      Line(QStringLiteral("messagebox.detail"), Box->detailedText());
      Line(QStringLiteral("messagebox.icon"), QString::number(int(Box->icon())));
    }
  }
  QStringList Clipped;
  for (QWidget* W : QApplication::allWidgets()) {
    const QString Name = W->objectName();
    if (Name.isEmpty() || Name.startsWith(QLatin1String("qt_")))
      continue;
    // Where a test clicks it: the centre in desktop coordinates.
    if (W->isVisible()) {
      // A check box takes clicks on its box and caption only: aim at the box.
      const QPoint C = W->mapToGlobal(qobject_cast<QCheckBox*>(W) ? QPoint(8, W->height() / 2)
                                                                  : W->rect().center());
      Line(QStringLiteral("pos.") + Name, QStringLiteral("%1 %2").arg(C.x()).arg(C.y()));
      const QPoint TopLeft = W->mapToGlobal(QPoint(0, 0));
      Line(QStringLiteral("geom.") + Name, QStringLiteral("%1 %2 %3 %4")
                                               .arg(TopLeft.x())
                                               .arg(TopLeft.y())
                                               .arg(W->width())
                                               .arg(W->height()));
      if (Clips(*W))
        Clipped << Name;
    }
    if (auto* Tabs = qobject_cast<QTabWidget*>(W); Tabs && Tabs->isVisible()) {
      Line(Name, Caption(Tabs->tabText(Tabs->currentIndex())));
      for (int I = 0; I < Tabs->count(); ++I)
        if (Tabs->isTabVisible(I)) {
          const QRect R = Tabs->tabBar()->tabRect(I);
          const QPoint C = Tabs->tabBar()->mapToGlobal(R.center());
          Line(QStringLiteral("pos.tab.") + Caption(Tabs->tabText(I)),
               QStringLiteral("%1 %2").arg(C.x()).arg(C.y()));
        }
    } else if (auto* Bar = dynamic_cast<TNumBar*>(W)) {
      Line(Name, QString::number(Bar->Position()));
    } else if (auto* Box = qobject_cast<QCheckBox*>(W)) {
      Line(Name, Box->isChecked() ? QStringLiteral("1") : QStringLiteral("0"));
    } else if (auto* Edit = qobject_cast<QLineEdit*>(W)) {
      Line(Name, Edit->text());
    } else if (auto* Label = qobject_cast<QLabel*>(W)) {
      Line(Name, Label->isVisible() ? Label->text() : QString());
    } else if (auto* Browser = qobject_cast<QTextBrowser*>(W)) {
      // Its first line, and the line at the top of its view.
      Line(Name, Browser->toPlainText().section(QLatin1Char('\n'), 0, 0));
      Line(Name + QStringLiteral(".top"), Browser->cursorForPosition(QPoint(4, 4)).block().text());
    }
  }
  // Shown widgets that have less room than they need to be read whole.
  Line(QStringLiteral("clipped"), Clipped.join(QLatin1Char(' ')));
  return Out;
}

void InstallTestProbe(QObject* Parent, std::function<TProbeFacts()> Facts) {
  const char* Path = std::getenv("QUELMA_TEST_PROBE");
  if (!Path || !*Path)
    return;
  auto* Timer = new QTimer(Parent);
  const QString File = QFile::decodeName(Path);
  QObject::connect(Timer, &QTimer::timeout, Timer, [File, Facts = std::move(Facts)] {
    // Written whole and renamed: a reader never sees half a readout.
    QSaveFile Out(File);
    if (!Out.open(QIODevice::WriteOnly))
      return;
    Out.write(TestProbeText(Facts).toUtf8());
    Out.commit();
  });
  Timer->start(100);
}
