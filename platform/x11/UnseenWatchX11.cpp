// X11: the active window's full-screen state and the screen saver, from the
// server's notices on Qt's own connection. The root tells when another window
// becomes active (_NET_ACTIVE_WINDOW), the active window when its state
// changes (_NET_WM_STATE), and the screen-saver extension when the saver or a
// lock goes on or off. Requests about a foreign window are checked ones, so a
// window that goes away meanwhile costs an error reply, not a warning from Qt.
#include "UnseenWatch.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QWindow>

#include <xcb/xcb.h>
#ifdef QUELMA_HAVE_XCB_SCREENSAVER
#include <xcb/screensaver.h>
#endif

#include <cstdlib>
#include <cstring>
#include <memory>

#include "X11Common.h"

namespace {

// What the reply functions hand over, freed with the scope.
template <class T> using TReply = std::unique_ptr<T, decltype(&std::free)>;
template <class T> TReply<T> Own(T* Reply) {
  return TReply<T>(Reply, &std::free);
}

xcb_atom_t Atom(xcb_connection_t* C, const char* Name) {
  const auto Reply = Own(
      xcb_intern_atom_reply(C, xcb_intern_atom(C, 0, uint16_t(std::strlen(Name)), Name), nullptr));
  return Reply ? Reply->atom : xcb_atom_t(XCB_ATOM_NONE);
}

// Asks for more events of Window without dropping those already selected on
// this connection (Qt's own on the root).
void AddEventMask(xcb_connection_t* C, xcb_window_t Window, uint32_t Mask) {
  const auto A =
      Own(xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, Window), nullptr));
  if (A)
    Mask |= A->your_event_mask;
  xcb_change_window_attributes(C, Window, XCB_CW_EVENT_MASK, &Mask);
}

class TUnseenWatchX11 final : public IUnseenWatch, public QAbstractNativeEventFilter {
public:
  explicit TUnseenWatchX11(xcb_connection_t* Connection) : C(Connection) {
    Root = X11::DefaultRoot(C);
    NetActiveWindow = Atom(C, "_NET_ACTIVE_WINDOW");
    NetWmState = Atom(C, "_NET_WM_STATE");
    NetWmStateFullScreen = Atom(C, "_NET_WM_STATE_FULLSCREEN");
    NetWmStateHidden = Atom(C, "_NET_WM_STATE_HIDDEN");
    AddEventMask(C, Root, XCB_EVENT_MASK_PROPERTY_CHANGE);
#ifdef QUELMA_HAVE_XCB_SCREENSAVER
    const xcb_query_extension_reply_t* Saver = xcb_get_extension_data(C, &xcb_screensaver_id);
    if (Saver && Saver->present) {
      SaverEvent = uint8_t(Saver->first_event + XCB_SCREENSAVER_NOTIFY);
      HaveSaver = true;
      xcb_screensaver_select_input(C, Root, XCB_SCREENSAVER_EVENT_NOTIFY_MASK);
      const auto Info =
          Own(xcb_screensaver_query_info_reply(C, xcb_screensaver_query_info(C, Root), nullptr));
      if (Info)
        SaverActive = SaverOn(Info->state);
    }
#endif
    xcb_flush(C);
    QCoreApplication::instance()->installNativeEventFilter(this);
    FollowActiveWindow();
    FState = TUnseenState{ActiveIsFullScreen(), SaverActive};
  }

  ~TUnseenWatchX11() override {
    if (QCoreApplication* App = QCoreApplication::instance())
      App->removeNativeEventFilter(this);
    Watch(XCB_WINDOW_NONE);
    xcb_flush(C);
  }

  TUnseenState State() const override {
    return FState;
  }
  void SetOnChange(std::function<void()> OnChange) override {
    FOnChange = std::move(OnChange);
  }
  void SetArea(const QRect& Area) override {
    FArea = Area;
    Update();
  }

  bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) override {
    if (EventType != "xcb_generic_event_t")
      return false;
    auto* E = static_cast<xcb_generic_event_t*>(Message);
    const uint8_t Type = E->response_type & 0x7F;
    switch (Type) {
    case XCB_PROPERTY_NOTIFY: {
      auto* P = reinterpret_cast<xcb_property_notify_event_t*>(E);
      if (P->window == Root && P->atom == NetActiveWindow) {
        FollowActiveWindow();
        Update();
      } else if (P->window == Active && P->atom == NetWmState) {
        Update();
      }
      break;
    }
    case XCB_CONFIGURE_NOTIFY:
      // Moved to another monitor, or resized out of full screen.
      if (reinterpret_cast<xcb_configure_notify_event_t*>(E)->window == Active)
        Update();
      break;
    case XCB_UNMAP_NOTIFY:
    case XCB_DESTROY_NOTIFY: {
      // A window manager that leaves _NET_ACTIVE_WINDOW behind still does not
      // keep a closed window full screen.
      const xcb_window_t W = Type == XCB_UNMAP_NOTIFY
                                 ? reinterpret_cast<xcb_unmap_notify_event_t*>(E)->window
                                 : reinterpret_cast<xcb_destroy_notify_event_t*>(E)->window;
      if (W == Active) {
        if (Type == XCB_DESTROY_NOTIFY)
          Active = XCB_WINDOW_NONE;
        Update();
      }
      break;
    }
    default:
#ifdef QUELMA_HAVE_XCB_SCREENSAVER
      if (HaveSaver && Type == SaverEvent) {
        auto* N = reinterpret_cast<xcb_screensaver_notify_event_t*>(E);
        if (N->root == Root) {
          SaverActive = SaverOn(N->state);
          Update();
        }
      }
#endif
      break;
    }
    return false; // Qt still sees everything
  }

private:
  xcb_connection_t* C;
  xcb_window_t Root = XCB_WINDOW_NONE;
  xcb_atom_t NetActiveWindow = XCB_ATOM_NONE;
  xcb_atom_t NetWmState = XCB_ATOM_NONE;
  xcb_atom_t NetWmStateFullScreen = XCB_ATOM_NONE;
  xcb_atom_t NetWmStateHidden = XCB_ATOM_NONE; // minimised
  xcb_window_t Active = XCB_WINDOW_NONE;       // the foreign active window we listen to
  bool HaveSaver = false;
  uint8_t SaverEvent = 0;
  bool SaverActive = false; // as the extension last told
  QRect FArea;
  TUnseenState FState;
  std::function<void()> FOnChange;

#ifdef QUELMA_HAVE_XCB_SCREENSAVER
  // Cycle: the saver is on and changing its picture.
  static bool SaverOn(uint8_t State) {
    return State == XCB_SCREENSAVER_STATE_ON || State == XCB_SCREENSAVER_STATE_CYCLE;
  }
#endif

  static bool IsOwnWindow(xcb_window_t W) {
    for (QWindow* Q : QGuiApplication::allWindows())
      if (Q->handle() && xcb_window_t(Q->winId()) == W)
        return true;
    return false;
  }

  // Listens to W's state and geometry; the previous window is let go.
  void Watch(xcb_window_t W) {
    if (W == Active)
      return;
    if (Active != XCB_WINDOW_NONE) {
      const uint32_t None = XCB_EVENT_MASK_NO_EVENT;
      xcb_discard_reply(
          C, xcb_change_window_attributes_checked(C, Active, XCB_CW_EVENT_MASK, &None).sequence);
    }
    Active = W;
    if (W != XCB_WINDOW_NONE) {
      const uint32_t Mask = XCB_EVENT_MASK_PROPERTY_CHANGE | XCB_EVENT_MASK_STRUCTURE_NOTIFY;
      xcb_discard_reply(
          C, xcb_change_window_attributes_checked(C, W, XCB_CW_EVENT_MASK, &Mask).sequence);
    }
    xcb_flush(C);
  }

  void FollowActiveWindow() {
    xcb_window_t W = XCB_WINDOW_NONE;
    xcb_generic_error_t* Error = nullptr;
    const auto P = Own(xcb_get_property_reply(
        C, xcb_get_property(C, 0, Root, NetActiveWindow, XCB_ATOM_WINDOW, 0, 1), &Error));
    std::free(Error);
    if (P && P->format == 32 && xcb_get_property_value_length(P.get()) >= 4)
      std::memcpy(&W, xcb_get_property_value(P.get()), sizeof W);
    // Our own windows (the settings window above all) are never watched:
    // their event masks are Qt's.
    Watch(IsOwnWindow(W) ? xcb_window_t(XCB_WINDOW_NONE) : W);
  }

  bool ActiveIsFullScreen() const {
    if (Active == XCB_WINDOW_NONE || NetWmStateFullScreen == XCB_ATOM_NONE)
      return false;
    xcb_generic_error_t* Error = nullptr;
    const auto P = Own(xcb_get_property_reply(
        C, xcb_get_property(C, 0, Active, NetWmState, XCB_ATOM_ATOM, 0, 64), &Error));
    std::free(Error);
    if (!P || P->format != 32)
      return false;
    const auto* Atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(P.get()));
    const int Count = xcb_get_property_value_length(P.get()) / 4;
    bool FullScreen = false, Hidden = false;
    for (int I = 0; I < Count; ++I) {
      FullScreen = FullScreen || Atoms[I] == NetWmStateFullScreen;
      Hidden = Hidden || Atoms[I] == NetWmStateHidden;
    }
    return FullScreen && !Hidden && ShownOverArea();
  }

  // The active window is shown and lies over the flame's area (its monitor
  // is one the flame spans).
  bool ShownOverArea() const {
    xcb_generic_error_t* Error = nullptr;
    const auto A =
        Own(xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, Active), &Error));
    std::free(Error);
    Error = nullptr;
    if (!A || A->map_state != XCB_MAP_STATE_VIEWABLE)
      return false;
    if (FArea.isEmpty())
      return true;
    const auto G = Own(xcb_get_geometry_reply(C, xcb_get_geometry(C, Active), &Error));
    std::free(Error);
    Error = nullptr;
    if (!G)
      return false;
    const auto T = Own(xcb_translate_coordinates_reply(
        C, xcb_translate_coordinates(C, Active, Root, 0, 0), &Error));
    std::free(Error);
    if (!T)
      return false;
    return QRect(T->dst_x, T->dst_y, G->width, G->height).intersects(FArea);
  }

  void Update() {
    const TUnseenState Now{ActiveIsFullScreen(), SaverActive};
    if (Now == FState)
      return;
    FState = Now;
    if (FOnChange)
      FOnChange();
  }
};

} // namespace

std::unique_ptr<IUnseenWatch> CreateUnseenWatch() {
  if (xcb_connection_t* C = X11::Connection(); C && QCoreApplication::instance())
    return std::make_unique<TUnseenWatchX11>(C);
  return std::make_unique<TNeverUnseenWatch>(); // not on X11 (offscreen in the tests)
}
