// The platform chosen before the application starts.
#include <gtest/gtest.h>

#include <map>
#include <string>

#include "StartupPlatform.h"

namespace {

TPlatformChoice Choose(const std::map<std::string, QByteArray>& Vars) {
  return ChoosePlatform([&](const char* Name) {
    const auto It = Vars.find(Name);
    return It == Vars.end() ? QByteArray() : It->second;
  });
}

TEST(Platform, X11IsLeftAlone) {
  const TPlatformChoice C = Choose({{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}});
  EXPECT_TRUE(C.Platform.isEmpty());
  EXPECT_TRUE(C.Note.isEmpty());
  EXPECT_FALSE(C.Fatal);
}

TEST(Platform, X11WithoutADisplayCannotRun) {
  for (const auto& Vars : {std::map<std::string, QByteArray>{},
                           std::map<std::string, QByteArray>{{"QT_QPA_PLATFORM", "xcb"}}}) {
    const TPlatformChoice C = Choose(Vars);
    EXPECT_TRUE(C.Fatal);
    EXPECT_TRUE(C.Note.startsWith("no display")) << C.Note.toStdString();
  }
  // A platform chosen on purpose needs none.
  EXPECT_FALSE(Choose({{"QT_QPA_PLATFORM", "offscreen"}}).Fatal);
}

TEST(Platform, WaylandRunsThroughXWaylandAndSaysSo) {
  for (const auto& Vars :
       {std::map<std::string, QByteArray>{{"DISPLAY", ":0"}, {"WAYLAND_DISPLAY", "wayland-0"}},
        std::map<std::string, QByteArray>{{"DISPLAY", ":1"}, {"XDG_SESSION_TYPE", "wayland"}},
        std::map<std::string, QByteArray>{{"DISPLAY", ":1"},
                                          {"WAYLAND_DISPLAY", "wayland-0"},
                                          {"QT_QPA_PLATFORM", "wayland;xcb"}}}) {
    const TPlatformChoice C = Choose(Vars);
    EXPECT_EQ(C.Platform, "xcb");
    EXPECT_TRUE(C.Note.contains("XWayland"));
    EXPECT_FALSE(C.Fatal);
  }
}

TEST(Platform, WaylandWithoutAnXServerCannotRun) {
  const TPlatformChoice C = Choose({{"WAYLAND_DISPLAY", "wayland-0"}});
  EXPECT_TRUE(C.Fatal);
  EXPECT_FALSE(C.Note.isEmpty());
}

TEST(Platform, AnExplicitNonWaylandPlatformIsKept) {
  const TPlatformChoice C =
      Choose({{"WAYLAND_DISPLAY", "wayland-0"}, {"QT_QPA_PLATFORM", "offscreen"}});
  EXPECT_TRUE(C.Platform.isEmpty());
  EXPECT_FALSE(C.Fatal);
}

TEST(Platform, WaylandSessionOnX11) {
  using TVars = std::map<std::string, QByteArray>;
  struct TCase {
    TVars Vars;
    const char* Platform;
    bool Expected;
  } const Cases[] = {
      {{{"WAYLAND_DISPLAY", "wayland-1"}}, "xcb", true},
      {{{"XDG_SESSION_TYPE", "wayland"}}, "xcb", true},
      {{{"WAYLAND_DISPLAY", "wayland-0"}, {"XDG_SESSION_TYPE", "x11"}}, "xcb", true},
      {{{"DISPLAY", ":0"}, {"XDG_SESSION_TYPE", "x11"}}, "xcb", false},
      {{{"DISPLAY", ":0"}}, "xcb", false},
      {{{"WAYLAND_DISPLAY", ""}, {"XDG_SESSION_TYPE", "tty"}}, "xcb", false},
      {{{"WAYLAND_DISPLAY", "wayland-0"}}, "wayland", false}, // keys reach native windows
      {{{"XDG_SESSION_TYPE", "wayland"}}, "offscreen", false},
  };
  for (const TCase& C : Cases) {
    std::string Name = C.Platform;
    for (const auto& [K, V] : C.Vars)
      Name += " " + K + "=" + V.toStdString();
    SCOPED_TRACE(Name);
    EXPECT_EQ(WaylandSessionOnX11(
                  [&](const char* N) {
                    const auto It = C.Vars.find(N);
                    return It == C.Vars.end() ? QByteArray() : It->second;
                  },
                  QString::fromLatin1(C.Platform)),
              C.Expected);
  }
  // The note names the commands to bind instead.
  for (const char* Command : {"--toggle-drawing", "--toggle-visible", "--toggle-settings"})
    EXPECT_TRUE(WaylandHotKeysNote().contains(QLatin1String(Command))) << Command;
}

} // namespace
