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

TEST(Screens, QtRectanglesBecomeExclusiveRectangles) {
  EXPECT_EQ(ToTRect(QRect(10, 20, 30, 40)), (TRect{10, 20, 40, 60}));
}

} // namespace
