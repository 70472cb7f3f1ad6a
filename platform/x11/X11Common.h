#pragma once
// What the X11 platform files share: Qt's own xcb connection and the screen
// Qt shows its windows on.
#include <QByteArray>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace X11 {

// Qt's connection; nullptr on any other Qt platform (offscreen in the tests).
inline xcb_connection_t* Connection() {
  auto* App = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return App ? App->connection() : nullptr;
}

// The display's default screen, the one Qt shows its windows on.
inline int DefaultScreenNumber() {
  int Default = 0;
  const QByteArray Display = qgetenv("DISPLAY");
  if (!Display.isEmpty()) {
    // libxcb writes the host and display number unconditionally.
    char* Host = nullptr;
    int Number = 0;
    if (xcb_parse_display(Display.constData(), &Host, &Number, &Default))
      std::free(Host);
  }
  return Default;
}

// The default screen's root window; XCB_WINDOW_NONE when there is none.
inline xcb_window_t DefaultRoot(xcb_connection_t* C) {
  int Index = DefaultScreenNumber();
  xcb_window_t First = XCB_WINDOW_NONE;
  for (auto It = xcb_setup_roots_iterator(xcb_get_setup(C)); It.rem;
       xcb_screen_next(&It), --Index) {
    if (First == XCB_WINDOW_NONE)
      First = It.data->root;
    if (Index == 0)
      return It.data->root;
  }
  return First;
}

} // namespace X11
