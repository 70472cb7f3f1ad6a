// The slider widget on Qt's offscreen platform: keys, pointer, arrow repeat and painting.

#include <gtest/gtest.h>

#include <QApplication>
#include <QCursor>
#include <QElapsedTimer>
#include <QImage>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <cmath>
#include <cstdlib>
#include <iostream>
#include <set>
#include <string>

#include "NumBar.h"
#include "RepeatClock.h"

namespace {

// Image pixels hold 8 bits per channel; compare colours at that precision.
QRgb Rgb(const QColor& Color) {
  return Color.rgb();
}

// One application for the whole program, made on first use and gone before the
// exit handlers run (Qt's own globals would be destroyed under it otherwise).
QApplication* TheApp = nullptr;

class TQtEnvironment : public ::testing::Environment {
public:
  void TearDown() override {
    delete TheApp;
    TheApp = nullptr;
  }
};
[[maybe_unused]] ::testing::Environment* const QtEnvironment =
    ::testing::AddGlobalTestEnvironment(new TQtEnvironment);

QApplication& App() {
  static int argc = 1;
  static char name[] = "test_controls";
  static char* argv[] = {name, nullptr};
  if (!TheApp) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
      qputenv("QT_QPA_PLATFORM", "offscreen");
    TheApp = new QApplication(argc, argv);
  }
  return *TheApp;
}

// A repeat clock driven by hand.
class TFakeRepeatClock : public IRepeatClock {
public:
  std::vector<int> Intervals; // every start and every change of period
  const void* Owner = nullptr;
  bool Running = false;

  void StartRepeat(int Interval, std::function<void()> Handler, const void* Owner_) override {
    FInterval = Interval;
    FHandler = std::move(Handler);
    Owner = Owner_;
    Running = true;
    Intervals.push_back(Interval);
  }
  void SetInterval(int Interval) override {
    if (Interval == FInterval)
      return;
    FInterval = Interval;
    Intervals.push_back(Interval);
  }
  void StopRepeat(const void* Owner_) override {
    if (Owner_ != Owner)
      return;
    Running = false;
    Owner = nullptr;
  }
  void Tick() {
    if (Running)
      FHandler();
  }

private:
  int FInterval = 0;
  std::function<void()> FHandler;
};

class NumBarWidget : public ::testing::Test {
protected:
  void SetUp() override {
    Host.move(200, 200);
    Host.resize(240, 60);
    Bar = new TNumBar(&Host);
    Bar->SetOptions(TNumBarOptions{nbShowNumber, nbSlideKnob});
    Bar->setGeometry(10, 10, 200, 21);
    Bar->SetColor(QColor(192, 192, 192));
    Bar->OnChange = [this](TNumBar* Sender) {
      ++Changes;
      ChangeSenders.insert(Sender);
    };
    Bar->OnRelease = [this](QObject* Sender) { Releases.push_back(Sender); };
    Host.show();
    QCoreApplication::processEvents();
  }
  void TearDown() override { SetRepeatClock(nullptr); }

  bool Key(QEvent::Type Type, int KeyCode, bool AutoRepeat = false) {
    QKeyEvent e(Type, KeyCode, Qt::NoModifier, QString(), AutoRepeat);
    QCoreApplication::sendEvent(Bar, &e);
    return e.isAccepted();
  }
  void Mouse(QEvent::Type Type, QPoint At, Qt::MouseButton Button, Qt::MouseButtons Held) {
    QMouseEvent e(Type, QPointF(At), QPointF(Bar->mapToGlobal(At)), Button, Held, Qt::NoModifier);
    QCoreApplication::sendEvent(Bar, &e);
  }
  QImage Render() { return Bar->grab().toImage().convertToFormat(QImage::Format_RGB32); }
  static std::string Save(const QImage& Image, const char* Name) {
    const std::string path = ::testing::TempDir() + Name;
    Image.scaled(Image.size() * 4).save(QString::fromStdString(path));
    return path;
  }

  QApplication& FApp = App(); // before any widget
  // Before the widgets: a slider going away may still report (focus lost with a key held).
  int Changes = 0;
  std::set<TNumBar*> ChangeSenders;
  std::vector<QObject*> Releases;
  QWidget Host;
  TNumBar* Bar = nullptr;
};

} // namespace

TEST_F(NumBarWidget, PartsFollowTheLayout) {
  ASSERT_NE(Bar->ArrowButton(false), nullptr);
  EXPECT_EQ(Bar->TrackStart(), 23);
  EXPECT_EQ(Bar->TrackLength(), 154);
  EXPECT_EQ(Bar->ArrowButton(false)->geometry(), QRect(0, 0, 23, 21));
  EXPECT_EQ(Bar->ArrowButton(true)->geometry(), QRect(177, 0, 23, 21));
  EXPECT_TRUE(Bar->ArrowButton(true)->isVisible());
  EXPECT_EQ(Bar->ArrowButton(true)->GlyphIndex(), 1);
  Bar->SetPosition(100);
  EXPECT_EQ(Bar->Knob()->geometry().right(), 177); // ends one pixel under the button
  EXPECT_TRUE(Bar->Knob()->isVisible());
  EXPECT_GT(Bar->KnobWidth(), Bar->fontMetrics().horizontalAdvance("100"));

  // A border moves everything in by a pixel.
  Bar->SetBorderStyle(bsSingle);
  EXPECT_EQ(Bar->TrackLength(), 152);
  EXPECT_EQ(Bar->ArrowButton(false)->geometry(), QRect(1, 1, 23, 19));
  Bar->SetBorderStyle(bsNone);

  // One value only: the slider disables itself, knob and arrows go.
  Bar->SetRange(3, 3);
  EXPECT_FALSE(Bar->isEnabled());
  EXPECT_FALSE(Bar->Knob()->isVisible());
  EXPECT_FALSE(Bar->ArrowButton(true)->isVisible());
  Bar->SetRange(0, 100);
  EXPECT_TRUE(Bar->isEnabled());
  EXPECT_TRUE(Bar->Knob()->isVisible());

  // A parent's disabling does not stick to the slider.
  Host.setEnabled(false);
  EXPECT_FALSE(Bar->Knob()->isVisible());
  Host.setEnabled(true);
  EXPECT_TRUE(Bar->isEnabled());
  EXPECT_TRUE(Bar->Knob()->isVisible());

  Bar->SetOptions(TNumBarOptions{nbShowNumber, nbSlideKnob, nbHideArrows});
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(Bar->ArrowButton(false), nullptr);
  EXPECT_EQ(Bar->TrackLength(), 198);
}

TEST_F(NumBarWidget, KeysStepAndReleaseEndsTheChange) {
  EXPECT_TRUE(Key(QEvent::KeyPress, Qt::Key_Right));
  EXPECT_EQ(Bar->Position(), 1);
  EXPECT_EQ(Changes, 1);
  EXPECT_EQ(ChangeSenders, std::set<TNumBar*>{Bar});
  EXPECT_TRUE(Key(QEvent::KeyPress, Qt::Key_PageDown));
  EXPECT_EQ(Bar->Position(), 11);

  // A held key repeats as release and press pairs; only the real release counts.
  EXPECT_TRUE(Key(QEvent::KeyRelease, Qt::Key_PageDown, true));
  EXPECT_TRUE(Releases.empty());
  Key(QEvent::KeyRelease, Qt::Key_PageDown);
  ASSERT_EQ(Releases.size(), 1u);
  EXPECT_EQ(Releases[0], Bar);

  // Up and Down step as Right and Left do.
  EXPECT_TRUE(Key(QEvent::KeyPress, Qt::Key_Up));
  EXPECT_EQ(Bar->Position(), 12);
  Key(QEvent::KeyRelease, Qt::Key_Up);
  EXPECT_TRUE(Key(QEvent::KeyPress, Qt::Key_Down));
  EXPECT_EQ(Bar->Position(), 11);
  Key(QEvent::KeyRelease, Qt::Key_Down);
  EXPECT_EQ(Releases.size(), 3u); // each a change of its own

  Key(QEvent::KeyPress, Qt::Key_End);
  EXPECT_EQ(Bar->Position(), 100);
  Key(QEvent::KeyPress, Qt::Key_Insert);
  EXPECT_EQ(Bar->Position(), 50);
  Key(QEvent::KeyPress, Qt::Key_Home);
  EXPECT_EQ(Bar->Position(), 0);
  const int before = Changes;
  Key(QEvent::KeyPress, Qt::Key_Left);
  Key(QEvent::KeyPress, Qt::Key_PageUp);
  EXPECT_EQ(Changes, before);
}

TEST_F(NumBarWidget, ArrowButtonStepsThenRepeatsOnTheRepeatClock) {
  TFakeRepeatClock clock;
  SetRepeatClock(&clock);
  TNumBarButton* inc = Bar->ArrowButton(true);
  Bar->SetPosition(10);

  Mouse(QEvent::MouseButtonPress, QPoint(190, 10), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(Bar->Position(), 11);
  EXPECT_TRUE(inc->Pressed());
  EXPECT_TRUE(clock.Running);
  EXPECT_EQ(clock.Owner, inc);
  clock.Tick();
  clock.Tick();
  EXPECT_EQ(Bar->Position(), 13);
  EXPECT_EQ(clock.Intervals, (std::vector<int>{250, 50}));
  EXPECT_TRUE(Releases.empty());

  Mouse(QEvent::MouseButtonRelease, QPoint(190, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_FALSE(clock.Running);
  EXPECT_FALSE(inc->Pressed());
  ASSERT_EQ(Releases.size(), 1u);
  EXPECT_EQ(Releases[0], inc);
  EXPECT_EQ(Changes, 3);

  // The decrement button, and no wrap without nbEndless.
  Bar->SetPosition(0);
  Mouse(QEvent::MouseButtonPress, QPoint(5, 10), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(Bar->Position(), 0);
  EXPECT_EQ(clock.Owner, Bar->ArrowButton(false));
  Mouse(QEvent::MouseButtonRelease, QPoint(5, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Changes, 3);
}

TEST_F(NumBarWidget, ArrowButtonsTakenAwayWhilePressed) {
  TFakeRepeatClock clock;
  SetRepeatClock(&clock);
  Bar->OnChange = [this](TNumBar*) { Bar->SetOptions(Bar->Options().With(nbHideArrows)); };
  Mouse(QEvent::MouseButtonPress, QPoint(190, 10), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(Bar->Position(), 1);
  EXPECT_FALSE(clock.Running);
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  clock.Tick();
  Mouse(QEvent::MouseButtonRelease, QPoint(190, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Bar->Position(), 1);
}

TEST_F(NumBarWidget, QtRepeatClockWaitsBeforeRepeating) {
  Bar->SetPosition(10);
  QElapsedTimer held;
  held.start();
  Mouse(QEvent::MouseButtonPress, QPoint(190, 10), Qt::LeftButton, Qt::LeftButton);
  EXPECT_EQ(Bar->Position(), 11);
  qint64 second = -1;
  while (Bar->Position() < 14 && held.elapsed() < 5000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    if (second < 0 && Bar->Position() >= 12)
      second = held.elapsed();
  }
  Mouse(QEvent::MouseButtonRelease, QPoint(190, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_GE(Bar->Position(), 14);
  EXPECT_GE(second, 200); // a timer may come a little early, never 50 ms early
  const int stopped = Bar->Position();
  QElapsedTimer after;
  after.start();
  while (after.elapsed() < 150)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_EQ(Bar->Position(), stopped);
}

TEST_F(NumBarWidget, ClickOnTheTrackJumpsAndDragEndsWithRelease) {
  const int x = 100;
  Mouse(QEvent::MouseButtonPress, QPoint(x, 10), Qt::LeftButton, Qt::LeftButton);
  const int room = Bar->TrackLength() - Bar->KnobInner();
  const int expected = static_cast<int>(
      std::nearbyint((x - Bar->TrackStart() - Bar->KnobInner() / 2) * 100.0 / room));
  EXPECT_EQ(Bar->Position(), expected);
  EXPECT_EQ(Bar->DragState(), dbLeft);
  Mouse(QEvent::MouseMove, QPoint(x + room, 10), Qt::NoButton, Qt::LeftButton);
  EXPECT_EQ(Bar->Position(), 100);
  EXPECT_TRUE(Releases.empty());
  Mouse(QEvent::MouseButtonRelease, QPoint(x + room, 10), Qt::LeftButton, Qt::NoButton);
  EXPECT_EQ(Bar->DragState(), dsIdle);
  ASSERT_EQ(Releases.size(), 1u);
  EXPECT_EQ(Releases[0], Bar);
}

TEST_F(NumBarWidget, RelativeDragHidesThePointerAndPutsItBack) {
  TNumBar linked(&Host);
  linked.setGeometry(10, 35, 200, 21);
  Bar->SetLinkedNumBar(&linked);
  Bar->SetPosition(20);
  linked.SetPosition(60);
  const QPoint start(100, 10);
  QCursor::setPos(Bar->mapToGlobal(start));

  Mouse(QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::BlankCursor);
  EXPECT_EQ(linked.DragState(), dsLinked);
  for (int step = 1; step <= 4; ++step)
    Mouse(QEvent::MouseMove, start + QPoint(10 * step, -step), Qt::NoButton, Qt::RightButton);
  EXPECT_EQ(Bar->Position(), 60);   // 40 pixels right at speed 16
  EXPECT_EQ(linked.Position(), 56); // 4 pixels up: toward the start of its track
  Mouse(QEvent::MouseButtonRelease, start + QPoint(40, -4), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(QCursor::pos(), Bar->mapToGlobal(start));
  EXPECT_EQ(linked.DragState(), dsIdle);

  Bar->SetMoveSpeed(8);
  Mouse(QEvent::MouseButtonPress, start, Qt::MiddleButton, Qt::MiddleButton);
  Mouse(QEvent::MouseMove, start + QPoint(40, 0), Qt::NoButton, Qt::MiddleButton);
  Mouse(QEvent::MouseButtonRelease, start + QPoint(40, 0), Qt::MiddleButton, Qt::NoButton);
  EXPECT_EQ(Bar->Position(), 80);
  EXPECT_EQ(Releases.size(), 2u);
}

TEST_F(NumBarWidget, HiddenPointerWrapsInsideTheScreen) {
  const QRect area = Bar->screen()->virtualGeometry().adjusted(32, 32, -32, -32);
  const QPoint start(100, 10);
  Bar->SetRange(0, 100000);
  Bar->SetPosition(50000);
  Mouse(QEvent::MouseButtonPress, start, Qt::RightButton, Qt::RightButton);
  // Past the right edge of the area: the pointer goes to its left edge.
  const QPoint beyond(area.right() + 5, Bar->mapToGlobal(start).y());
  const QPoint local = Bar->mapFromGlobal(beyond);
  Mouse(QEvent::MouseMove, local, Qt::NoButton, Qt::RightButton);
  const int moved = beyond.x() - Bar->mapToGlobal(start).x();
  EXPECT_EQ(Bar->Position(), 50000 + moved);
  EXPECT_EQ(QCursor::pos().x(), area.left());
  // Moving on from the left edge counts from there.
  const QPoint next = Bar->mapFromGlobal(QPoint(area.left() + 10, beyond.y()));
  Mouse(QEvent::MouseMove, next, Qt::NoButton, Qt::RightButton);
  EXPECT_EQ(Bar->Position(), 50000 + moved + 10);
  Mouse(QEvent::MouseButtonRelease, next, Qt::RightButton, Qt::NoButton);
}

TEST_F(NumBarWidget, HidingDuringADragEndsIt) {
  Mouse(QEvent::MouseButtonPress, QPoint(100, 10), Qt::MiddleButton, Qt::MiddleButton);
  ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
  Bar->hide();
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  EXPECT_EQ(Bar->DragState(), dsIdle);
  EXPECT_EQ(Releases.size(), 1u);
}

TEST_F(NumBarWidget, LinkedSliderGoneIsForgotten) {
  auto* linked = new TNumBar(&Host);
  Bar->SetLinkedNumBar(linked);
  EXPECT_EQ(Bar->LinkedNumBar(), linked);
  delete linked;
  EXPECT_EQ(Bar->LinkedNumBar(), nullptr);
  EXPECT_EQ(static_cast<TNumBarModel*>(Bar)->LinkedNumBar(), nullptr);
  Mouse(QEvent::MouseButtonPress, QPoint(100, 10), Qt::RightButton, Qt::RightButton);
  Mouse(QEvent::MouseMove, QPoint(90, 20), Qt::NoButton, Qt::RightButton);
  Mouse(QEvent::MouseButtonRelease, QPoint(90, 20), Qt::RightButton, Qt::NoButton);
  EXPECT_EQ(Bar->Position(), 0);
}

TEST_F(NumBarWidget, PaintsTrackKnobAndArrows) {
  Bar->SetPosition(50);
  Bar->clearFocus();
  const TShadeScheme scheme = Bar->Scheme();
  QImage image = Render();
  std::cout << "rendered " << Save(image, "numbar_settings.png") << "\n";
  const int k = Bar->KnobOffset();
  // Track between the buttons in the face colour.
  EXPECT_EQ(image.pixel(30, 10), Rgb(scheme.Base));
  // The knob: black frame, raised bevel, the number in the middle.
  EXPECT_EQ(image.pixel(k, 10), Rgb(QColor(Qt::black)));
  EXPECT_EQ(image.pixel(k + 1, 10), Rgb(scheme.Highlight));
  EXPECT_EQ(image.pixel(k + Bar->KnobWidth() - 2, 10), Rgb(scheme.Shadow));
  int dark = 0;
  for (int x = k + 2; x < k + Bar->KnobWidth() - 2; ++x)
    for (int y = 2; y < 19; ++y)
      dark += image.pixelColor(x, y).lightness() < 80;
  EXPECT_GT(dark, 10); // "50"
  // Arrow buttons: frame and a black triangle at the centre, shadowed right and down.
  EXPECT_EQ(image.pixel(0, 0), Rgb(QColor(Qt::black)));
  EXPECT_EQ(image.pixel(11, 10), Rgb(QColor(Qt::black)));  // left-pointing, inside
  EXPECT_EQ(image.pixel(188, 10), Rgb(QColor(Qt::black))); // right-pointing, inside
  EXPECT_EQ(image.pixel(12, 13), Rgb(Qt::black));          // the base's lower end
  EXPECT_EQ(image.pixel(13, 14), Rgb(scheme.Shadow));      // its shadow
  EXPECT_EQ(image.pixel(8, 10), Rgb(scheme.Base));         // just before the point
}

TEST_F(NumBarWidget, PressedKnobIsSunkenAndShifted) {
  Bar->SetPosition(50);
  const int k = Bar->KnobOffset();
  Mouse(QEvent::MouseButtonPress, QPoint(k + Bar->KnobWidth() / 2, 10), Qt::LeftButton,
        Qt::LeftButton);
  QImage image = Render();
  Save(image, "numbar_pressed.png");
  EXPECT_EQ(image.pixel(k + 1, 10), Rgb(Bar->Scheme().Shadow));
  EXPECT_EQ(image.pixel(k + Bar->KnobWidth() - 2, 10), Rgb(Bar->Scheme().Base));
  Mouse(QEvent::MouseButtonRelease, QPoint(k + Bar->KnobWidth() / 2, 10), Qt::LeftButton,
        Qt::NoButton);

  Bar->SetOptions(Bar->Options().With(nbNotPressed));
  Mouse(QEvent::MouseButtonPress, QPoint(k + Bar->KnobWidth() / 2, 10), Qt::LeftButton,
        Qt::LeftButton);
  EXPECT_EQ(Render().pixel(k + 1, 10), Rgb(Bar->Scheme().Highlight));
  Mouse(QEvent::MouseButtonRelease, QPoint(k + Bar->KnobWidth() / 2, 10), Qt::LeftButton,
        Qt::NoButton);
}

TEST_F(NumBarWidget, KnobWithoutTextShowsGripLines) {
  Bar->SetOptions(TNumBarOptions{nbSlideKnob, nbHideArrows});
  Bar->SetPosition(0);
  QImage image = Render();
  Save(image, "numbar_grip.png");
  const int k = Bar->KnobOffset();
  EXPECT_EQ(Bar->KnobWidth(), 22);
  for (int at = 4; at <= 17; at += 3) {
    EXPECT_EQ(image.pixel(k + at, 10), Rgb(Bar->Scheme().Shadow)) << at;
    EXPECT_EQ(image.pixel(k + at + 1, 10), Rgb(Bar->Scheme().Highlight)) << at;
  }
  EXPECT_EQ(image.pixel(k + 4, 3), Rgb(Bar->Scheme().Base)); // 4 pixels in from the edge
}

TEST_F(NumBarWidget, FocusShadesTheTrack) {
  Host.activateWindow();
  QApplication::setActiveWindow(&Host);
  Bar->setFocus();
  QCoreApplication::processEvents();
  ASSERT_TRUE(Bar->hasFocus());
  QImage image = Render();
  Save(image, "numbar_focused.png");
  EXPECT_EQ(image.pixel(120, 10), Rgb(Bar->Scheme().Focused));
  Bar->clearFocus();
  EXPECT_EQ(Render().pixel(120, 10), Rgb(Bar->Scheme().Base));
  EXPECT_NE(Bar->Scheme().Focused, Bar->Scheme().Base);
}

TEST_F(NumBarWidget, OnPaintKnobReplacesThePainting) {
  std::set<int> indices;
  Bar->OnPaintKnob = [&](TNumBar* Sender, QPainter& Canvas, bool, int Index, const QRect& R) {
    EXPECT_EQ(Sender, Bar);
    indices.insert(Index);
    Canvas.fillRect(R, Index == -1 ? Qt::blue : Qt::red);
  };
  QImage image = Render();
  EXPECT_EQ(indices, (std::set<int>{-2, 0, 1}));
  EXPECT_EQ(image.pixel(Bar->KnobOffset() + 3, 10), Rgb(QColor(Qt::red)));
  EXPECT_EQ(image.pixel(5, 5), Rgb(QColor(Qt::red)));
  Bar->clearFocus();
  image = Render();
  EXPECT_EQ(image.pixel(120, 10), Rgb(Bar->Scheme().Base));

  Bar->SetOptions(Bar->Options().With(nbOnBackPaint));
  indices.clear();
  image = Render();
  EXPECT_TRUE(indices.count(-1));
  EXPECT_EQ(image.pixel(120, 10), Rgb(QColor(Qt::blue)));
}

TEST_F(NumBarWidget, OnSetKnobWidthAdjustsTheKnob) {
  Bar->OnSetKnobWidth = [](TNumBar*, int& Width) { Width = 70; };
  Bar->LayoutParts();
  EXPECT_EQ(Bar->KnobWidth(), 70);
  EXPECT_EQ(Bar->Knob()->width(), 70);
}

TEST_F(NumBarWidget, VerticalSliderPaintsUpAndDownArrows) {
  Bar->setGeometry(10, 10, 21, 200);
  Bar->SetOrientation(trVertical);
  EXPECT_EQ(Bar->ArrowButton(false)->GlyphIndex(), 2);
  EXPECT_EQ(Bar->ArrowButton(true)->GlyphIndex(), 3);
  Bar->SetPosition(30);
  QImage image = Render();
  std::cout << "rendered " << Save(image, "numbar_vertical.png") << "\n";
  EXPECT_EQ(image.pixel(10, 11), Rgb(QColor(Qt::black)));  // up-pointing, inside
  EXPECT_EQ(image.pixel(10, 188), Rgb(QColor(Qt::black))); // down-pointing, inside
  EXPECT_EQ(image.pixel(10, Bar->KnobOffset()), Rgb(QColor(Qt::black)));
  Key(QEvent::KeyPress, Qt::Key_Right); // keys are the same whatever the orientation
  EXPECT_EQ(Bar->Position(), 31);
}

TEST_F(NumBarWidget, SmoothingRunsOnTheAnimationClock) {
  std::vector<int> shown;
  Bar->OnChange = [&](TNumBar* Sender) {
    shown.push_back(Sender->Smoothing() ? Sender->Smoothed() : Sender->Position());
  };
  Bar->SetSmoothingTime(120); // five ticks of 24 ms
  Key(QEvent::KeyPress, Qt::Key_End);
  EXPECT_EQ(Bar->Position(), 100);
  EXPECT_TRUE(Bar->Smoothing());
  QElapsedTimer waited;
  waited.start();
  while (Bar->Smoothing() && waited.elapsed() < 5000)
    QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
  EXPECT_FALSE(Bar->Smoothing());
  ASSERT_GE(shown.size(), 3u);
  EXPECT_LT(shown.front(), 100);
  EXPECT_EQ(shown.back(), 100);
}

TEST_F(NumBarWidget, RightButtonOpensThePopupMenuInsteadOfDragging) {
  QMenu menu;
  Bar->SetPopupMenu(&menu);
  Mouse(QEvent::MouseButtonPress, QPoint(100, 10), Qt::RightButton, Qt::RightButton);
  EXPECT_EQ(Bar->DragState(), dsIdle);
  EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
  Mouse(QEvent::MouseButtonRelease, QPoint(100, 10), Qt::RightButton, Qt::NoButton);
  EXPECT_TRUE(Releases.empty());
  // The middle button still drags.
  Mouse(QEvent::MouseButtonPress, QPoint(100, 10), Qt::MiddleButton, Qt::MiddleButton);
  EXPECT_EQ(Bar->DragState(), dbMiddle);
  Mouse(QEvent::MouseButtonRelease, QPoint(100, 10), Qt::MiddleButton, Qt::NoButton);
}
