// Monitor arithmetic: the desktop rectangle and the emitter-space origin.
#include <gtest/gtest.h>

#include "Screens.h"

namespace {

TEST(Screens, DesktopIsTheUnionOfThePrimaryScreenAndEveryMonitor) {
  // One monitor.
  EXPECT_EQ(DesktopUnion(QRect(0, 0, 1920, 1080), {QRect(0, 0, 1920, 1080)}),
            (TRect{0, 0, 1920, 1080}));
  // A second monitor to the left and lower: negative coordinates.
  EXPECT_EQ(DesktopUnion(QRect(0, 0, 1920, 1080),
                         {QRect(0, 0, 1920, 1080), QRect(-1280, 200, 1280, 1024)}),
            (TRect{-1280, 0, 1920, 1224}));
  // The primary screen counts from (0, 0) even when no monitor starts there.
  EXPECT_EQ(DesktopUnion(QRect(100, 100, 800, 600), {QRect(100, 100, 800, 600)}),
            (TRect{0, 0, 900, 700}));
}

TEST(Screens, OriginIsTheMonitorCentreAsSingles) {
  EXPECT_EQ(MonitorCentre(QRect(0, 0, 1920, 1080)), QPointF(960, 540));
  EXPECT_EQ(MonitorCentre(QRect(1920, 0, 1279, 1023)), QPointF(2559.5, 511.5));
  EXPECT_EQ(MonitorCentre(QRect(-1280, -1024, 1280, 1024)), QPointF(-640, -512));
}

TEST(Screens, TheSettingsWindowIsPlacedWhollyOnAMonitorThatHoldsIt) {
  // Two monitors side by side: a wide one and, to its right, a narrow one.
  const QList<TScreenArea> Two = {{QRect(0, 0, 800, 800), QRect(0, 0, 800, 780)},
                                  {QRect(800, 0, 480, 800), QRect(800, 0, 480, 800)}};
  const struct {
    const char* Case;
    QRect Frame;
    QList<TScreenArea> Screens;
    QPoint To;
  } Cases[] = {
      {"wholly on a monitor: stays", QRect(10, 20, 700, 400), Two, QPoint(10, 20)},
      {"partly off the wide one: pulled in", QRect(-50, 500, 700, 400), Two, QPoint(0, 380)},
      {"mostly on the narrow one, too small for it: onto the wide one", QRect(700, 100, 700, 400),
       Two, QPoint(100, 100)},
      {"off every monitor: onto the nearest", QRect(3000, 100, 300, 200), Two, QPoint(980, 100)},
      {"larger than every monitor: top-left on the one showing most", QRect(100, 100, 900, 900),
       Two, QPoint(0, 0)},
      {"no monitor at all: left as it is", QRect(5, 6, 100, 100), {}, QPoint(5, 6)},
  };
  for (const auto& C : Cases)
    EXPECT_EQ(PlaceOnScreen(C.Frame, C.Screens), C.To) << C.Case;
}

TEST(Screens, TheAnchorFollowsItsMonitorByName) {
  const QString A = QStringLiteral("A"), B = QStringLiteral("B"), C = QStringLiteral("C");
  TMonitorAnchor Anchor;
  Anchor.Attach({{A, QRect(0, 0, 1600, 900)}, {B, QRect(1600, 0, 800, 900)}}, QPoint(800, 450));
  EXPECT_TRUE(Anchor.Attached());
  EXPECT_EQ(Anchor.Name(), A);
  struct Step {
    const char* what;
    QList<TMonitor> monitors;
    QPoint moved;
  };
  const Step Steps[] = {
      {"nothing changed", {{A, QRect(0, 0, 1600, 900)}, {B, QRect(1600, 0, 800, 900)}}, {}},
      {"a monitor added right", {{A, QRect(0, 0, 1600, 900)}, {C, QRect(1600, 0, 1280, 1024)}}, {}},
      {"one added left moves ours right",
       {{C, QRect(0, 0, 1280, 1024)}, {A, QRect(1280, 0, 1600, 900)}},
       {1280, 0}},
      {"ours resized in place", {{C, QRect(0, 0, 1280, 1024)}, {A, QRect(1280, 0, 1024, 768)}}, {}},
      {"ours gone", {{C, QRect(0, 0, 1280, 1024)}}, {}},
      {"ours back, counted from where it was last", {{A, QRect(0, 0, 1600, 900)}}, {-1280, 0}},
  };
  for (const Step& S : Steps) {
    SCOPED_TRACE(S.what);
    EXPECT_EQ(Anchor.Follow(S.monitors), S.moved);
  }
  // A point on no monitor anchors to none, which never moves.
  Anchor.Attach({{A, QRect(0, 0, 1600, 900)}}, QPoint(-5, 0));
  EXPECT_FALSE(Anchor.Attached());
  EXPECT_EQ(Anchor.Follow({{A, QRect(100, 0, 1600, 900)}}), QPoint());
}

TEST(Screens, QtRectanglesBecomeExclusiveRectangles) {
  EXPECT_EQ(ToTRect(QRect(10, 20, 30, 40)), (TRect{10, 20, 40, 60}));
}

} // namespace
