// The drawing window on Qt's offscreen platform, with a settings window stand-in
// whose check boxes behave like the real ones (handlers once per real change).
#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPointer>
#include <QScreen>
#include <memory>
#include <vector>

#include "DrawingWindow.h"
#include "FlameDisplay.h"
#include "FlameEngine.h"

namespace {

QApplication& App() {
  // One application object per test program, whichever test makes it first.
  if (auto* Existing = qobject_cast<QApplication*>(QCoreApplication::instance()))
    return *Existing;
  static int Argc = 1;
  static char Name[] = "test_input";
  static char* Argv[] = {Name, nullptr};
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  // Never destroyed: Qt's input devices must not outlive it at exit.
  static QApplication* A = new QApplication(Argc, Argv);
  return *A;
}

// Processes posted events, including deferred deletes.
void Settle() {
  for (int i = 0; i < 3; ++i) {
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::processEvents();
  }
}

class FakeHost : public IDrawingHost {
public:
  FakeHost() { Settings.setGeometry(50, 50, 300, 200); }
  QWidget Settings;
  bool DrawingBox = false;
  bool DisplayBox = true;
  bool SettingsOnTop = false;
  bool FlameOnTop = true;
  int StartOvers = 0;
  int FlameRaises = 0;
  int DrawingClicks = 0;
  int DisplayClicks = 0;
  QString HotKey = QStringLiteral("Ctrl+F8");
  TPartForm* Engine = nullptr;
  TDrawingWindow* Drawing = nullptr;

  QWidget* SettingsWindow() override { return &Settings; }
  void SetDrawingBox(bool Checked) override {
    if (Checked == DrawingBox)
      return;
    DrawingBox = Checked;
    ++DrawingClicks;
    if (Checked)
      Drawing->Show();
    else
      Drawing->Hide();
  }
  void SetDisplayBox(bool Checked) override {
    if (Checked == DisplayBox)
      return;
    DisplayBox = Checked;
    ++DisplayClicks;
  }
  void SetSettingsStayOnTop(bool OnTop) override { SettingsOnTop = OnTop; }
  void StartOverClick() override {
    ++StartOvers;
    if (Engine)
      Engine->StartOver();
  }
  QString DrawingHotKeyText() override { return HotKey; }
  bool FlameStayOnTop() override { return FlameOnTop; }
  void RaiseFlameWindow() override { ++FlameRaises; }
  void StrokeBegins() override { ++Strokes; }
  void UndoArt() override { ++Undos; }
  void RedoArt() override { ++Redos; }
  int Strokes = 0, Undos = 0, Redos = 0;
};

class DrawingWindow : public ::testing::Test {
protected:
  void SetUp() override {
    Host.Engine = &Form;
    Host.Drawing = &Drawing;
    Form.FMaxCount = 10000;
    Form.FStyle.Thickness = 15;
  }
  void TearDown() override {
    Drawing.Hide();
    Settle();
  }

  void Mouse(QEvent::Type Type, Qt::MouseButton Button, QPoint Local,
             Qt::KeyboardModifiers Mods = Qt::NoModifier) {
    ASSERT_NE(Drawing.Form(), nullptr);
    const QPointF Global = Drawing.Form()->mapToGlobal(QPointF(Local));
    Qt::MouseButtons Buttons = Type == QEvent::MouseButtonRelease ? Qt::NoButton : Button;
    QMouseEvent E(Type, QPointF(Local), Global, Button, Buttons, Mods);
    QApplication::sendEvent(Drawing.Form(), &E);
  }

  QApplication& Application = App(); // before any widget
  FakeHost Host;
  TSurfaceDisplay Display;
  TPartForm Form{Display};
  TDrawingWindow Drawing{Host, Form};
};

TEST_F(DrawingWindow, EnablingDrawingOpensOneWindowAndSetsTheBoxes) {
  Host.DisplayBox = false;
  Host.SetDrawingBox(true); // as the check box's handler does
  ASSERT_NE(Drawing.Form(), nullptr);
  TInputForm* First = Drawing.Form();
  EXPECT_TRUE(Drawing.Form()->isVisible());
  EXPECT_TRUE(Host.DisplayBox);
  EXPECT_EQ(Host.DisplayClicks, 1);
  EXPECT_TRUE(Host.SettingsOnTop);
  EXPECT_GE(Host.FlameRaises, 1);
  Drawing.Show(); // already open: nothing
  EXPECT_EQ(Drawing.Form(), First);
  EXPECT_EQ(Host.DrawingClicks, 1);
}

TEST_F(DrawingWindow, ShowWithTheBoxClearStillMakesOnlyOneWindow) {
  Drawing.Show(); // sets the box, whose handler comes back here
  ASSERT_NE(Drawing.Form(), nullptr);
  int Windows = 0;
  for (QWidget* W : QApplication::topLevelWidgets())
    if (dynamic_cast<TInputForm*>(W) && W->isVisible())
      ++Windows;
  EXPECT_EQ(Windows, 1);
  EXPECT_TRUE(Host.DrawingBox);
}

TEST_F(DrawingWindow, LooksAsDesigned) {
  Host.HotKey = QStringLiteral("Ctrl+F8");
  Drawing.Show();
  ASSERT_NE(Drawing.Form(), nullptr);
  EXPECT_EQ(Drawing.Form()->DMLabel->text(), "Drawing mode");
  EXPECT_EQ(Drawing.Form()->KeyLabel->text(), "Right-click to discard, Ctrl+F8 to bring back");
  EXPECT_EQ(Drawing.Form()->Label1->text(), "Middle-click to start over");
  EXPECT_EQ(Drawing.Form()->DMLabel->pos(), QPoint(8, 8));
  EXPECT_EQ(Drawing.Form()->KeyLabel->pos(), QPoint(8, 30));
  EXPECT_EQ(Drawing.Form()->Label1->pos(), QPoint(8, 47));
  EXPECT_EQ(Drawing.Form()->DMLabel->font().pixelSize(), 16);
  EXPECT_EQ(Drawing.Form()->KeyLabel->font().pixelSize(), 12);
  EXPECT_EQ(Drawing.Form()->DMLabel->font().family(), "Tahoma");
  EXPECT_EQ(Drawing.Form()->palette().color(QPalette::Window), QColor(29, 100, 158));
  EXPECT_EQ(Drawing.Form()->KeyLabel->palette().color(QPalette::WindowText), QColor(211, 232, 248));
  EXPECT_NEAR(Drawing.Form()->windowOpacity(), 144 / 255.0, 0.01);
  EXPECT_EQ(Drawing.Form()->cursor().shape(), Qt::CrossCursor);
  EXPECT_TRUE(Drawing.Form()->windowFlags() & Qt::FramelessWindowHint);
  EXPECT_EQ(Drawing.Form()->windowFlags() & Qt::WindowType_Mask, Qt::Tool);
  EXPECT_TRUE(Drawing.Form()->windowFlags() & Qt::WindowStaysOnTopHint); // as the flame
  EXPECT_EQ(Drawing.Form()->geometry(), Host.Settings.screen()->availableGeometry());
  EXPECT_TRUE(Drawing.Form()->DMLabel->testAttribute(Qt::WA_TransparentForMouseEvents));
}

TEST_F(DrawingWindow, WithoutAHotKeyTheLabelNamesTheBoxInstead) {
  Host.HotKey.clear();
  Host.FlameOnTop = false;
  Drawing.Show();
  ASSERT_NE(Drawing.Form(), nullptr);
  EXPECT_EQ(Drawing.Form()->KeyLabel->text(),
            "Right-click to discard, \"Enable drawing\" to bring back");
  EXPECT_FALSE(Drawing.Form()->windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(DrawingWindow, LeftPressAddsOneEmitterAndDraggingFillsTheStroke) {
  Drawing.Show();
  ASSERT_NE(Drawing.Form(), nullptr);
  const QPoint G = Drawing.Form()->mapToGlobal(QPoint(100, 100));
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {100, 100});
  ASSERT_EQ(Form.FEmitters.Count, 1);
  EXPECT_EQ(Host.Strokes, 1); // told first, so that the stroke can be undone
  EXPECT_EQ(Form.Emitter(0)->X, G.x());
  EXPECT_EQ(Form.Emitter(0)->Y, G.y());
  EXPECT_EQ(Form.Emitter(0)->BaseAlpha, 256);
  Mouse(QEvent::MouseMove, Qt::LeftButton, {110, 100}, Qt::ControlModifier);
  ASSERT_EQ(Form.FEmitters.Count, 3);
  EXPECT_FLOAT_EQ(Form.Emitter(1)->X, G.x() + 5);
  EXPECT_EQ(Form.Emitter(2)->BaseAlpha, 128);
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {110, 100});
  Mouse(QEvent::MouseMove, Qt::NoButton, {300, 200});
  EXPECT_EQ(Form.FEmitters.Count, 3);
  EXPECT_EQ(Form.FAttractor.X, G.x() + 200);
  EXPECT_EQ(Form.FAttractor.Y, G.y() + 100);
  EXPECT_NE(Drawing.Form(), nullptr);
  EXPECT_EQ(Host.Strokes, 1); // one stroke, however long
}

TEST_F(DrawingWindow, CtrlZUndoesAndCtrlShiftZRedoes) {
  Drawing.Show();
  ASSERT_NE(Drawing.Form(), nullptr);
  QKeyEvent Undo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier);
  QCoreApplication::sendEvent(Drawing.Form(), &Undo);
  QKeyEvent Redo(QEvent::KeyPress, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
  QCoreApplication::sendEvent(Drawing.Form(), &Redo);
  EXPECT_EQ(Host.Undos, 1);
  EXPECT_EQ(Host.Redos, 1);
  EXPECT_NE(Drawing.Form(), nullptr);
}

TEST_F(DrawingWindow, MiddleClickStartsOverAndKeepsTheWindow) {
  Drawing.Show();
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {10, 10});
  Mouse(QEvent::MouseButtonRelease, Qt::LeftButton, {10, 10});
  ASSERT_EQ(Form.FEmitters.Count, 1);
  Mouse(QEvent::MouseButtonPress, Qt::MiddleButton, {10, 10});
  Mouse(QEvent::MouseButtonRelease, Qt::MiddleButton, {10, 10});
  EXPECT_EQ(Host.StartOvers, 1);
  EXPECT_EQ(Form.FEmitters.Count, 0);
  EXPECT_NE(Drawing.Form(), nullptr);
  EXPECT_TRUE(Host.DrawingBox);
}

TEST_F(DrawingWindow, RightClickDiscardsTheWindowAndTurnsDrawingOff) {
  Drawing.Show();
  QPointer<TInputForm> W = Drawing.Form();
  Mouse(QEvent::MouseButtonPress, Qt::RightButton, {10, 10});
  EXPECT_NE(Drawing.Form(), nullptr); // closes on release only
  Mouse(QEvent::MouseButtonRelease, Qt::RightButton, {10, 10});
  EXPECT_EQ(Drawing.Form(), nullptr);
  EXPECT_FALSE(Host.DrawingBox);
  EXPECT_FALSE(Host.SettingsOnTop);
  Settle();
  EXPECT_TRUE(W.isNull());
}

TEST_F(DrawingWindow, EscapeDiscardsTheWindow) {
  Drawing.Show();
  QKeyEvent E(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
  QApplication::sendEvent(Drawing.Form(), &E);
  EXPECT_EQ(Drawing.Form(), nullptr);
  EXPECT_FALSE(Host.DrawingBox);
}

TEST_F(DrawingWindow, HidingFreesTheWindowAndANewOneStartsAfresh) {
  Drawing.Show();
  QPointer<TInputForm> W = Drawing.Form();
  Mouse(QEvent::MouseButtonPress, Qt::LeftButton, {10, 10});
  Host.SetDrawingBox(false);
  EXPECT_EQ(Drawing.Form(), nullptr);
  EXPECT_FALSE(Host.SettingsOnTop);
  Settle();
  EXPECT_TRUE(W.isNull());
  Host.SetDrawingBox(true);
  ASSERT_NE(Drawing.Form(), nullptr);
  EXPECT_FALSE(Drawing.Form()->FStroke.FDrawing);
  EXPECT_EQ(Drawing.Form()->FStroke.FLastPoint.X, NoPoint);
  // Moving without a press adds nothing in the new window.
  Mouse(QEvent::MouseMove, Qt::LeftButton, {40, 10});
  EXPECT_EQ(Form.FEmitters.Count, 1);
}

TEST_F(DrawingWindow, HideWithoutAWindowOnlyMakesTheSettingsWindowNormal) {
  Host.SettingsOnTop = true;
  Drawing.Hide();
  EXPECT_FALSE(Host.SettingsOnTop);
  EXPECT_EQ(Host.DrawingClicks, 0);
}

} // namespace
