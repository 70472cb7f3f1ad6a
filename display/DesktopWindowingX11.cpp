// X11: compositor detection and our own stacking of the unmanaged flame window,
// through Qt's own xcb connection. On any other Qt platform (offscreen in the
// tests, Wayland) the functions fall back to plain Qt.
#include "DesktopWindowing.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>

#include <xcb/xcb.h>
#ifdef QUELMA_HAVE_XCB_SHAPE
#include <xcb/shape.h>
#endif

#include <cstdlib>
#include <string>
#include <vector>

namespace {

xcb_connection_t* X11Connection()
{
  auto* App = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return App ? App->connection() : nullptr;
}

std::vector<xcb_window_t> RootWindows(xcb_connection_t* C)
{
  std::vector<xcb_window_t> Roots;
  for (auto It = xcb_setup_roots_iterator(xcb_get_setup(C)); It.rem; xcb_screen_next(&It))
    Roots.push_back(It.data->root);
  return Roots;
}

bool SelectionOwned(xcb_connection_t* C, const std::string& Name)
{
  xcb_intern_atom_reply_t* Atom =
      xcb_intern_atom_reply(C, xcb_intern_atom(C, 1, uint16_t(Name.size()), Name.c_str()), nullptr);
  if (!Atom)
    return false;
  const xcb_atom_t A = Atom->atom;
  std::free(Atom);
  if (A == XCB_ATOM_NONE)
    return false;  // nobody ever claimed it
  xcb_get_selection_owner_reply_t* Owner =
      xcb_get_selection_owner_reply(C, xcb_get_selection_owner(C, A), nullptr);
  if (!Owner)
    return false;
  const bool Owned = Owner->owner != XCB_WINDOW_NONE;
  std::free(Owner);
  return Owned;
}

}  // namespace

TAlphaCompositing AlphaCompositing()
{
  xcb_connection_t* C = X11Connection();
  if (!C)
    return TAlphaCompositing::Unknown;
  // The screen Qt shows its windows on is the display's default one; other
  // screens of a multi-screen display are checked too, any compositor counts.
  int Default = 0;
  const QByteArray Display = qgetenv("DISPLAY");
  if (!Display.isEmpty()) {
    // libxcb writes the host and display number unconditionally.
    char* Host = nullptr;
    int Number = 0;
    if (xcb_parse_display(Display.constData(), &Host, &Number, &Default))
      std::free(Host);
  }
  if (SelectionOwned(C, "_NET_WM_CM_S" + std::to_string(Default)))
    return TAlphaCompositing::Active;
  const int Screens = xcb_setup_roots_length(xcb_get_setup(C));
  for (int S = 0; S < Screens; ++S)
    if (S != Default && SelectionOwned(C, "_NET_WM_CM_S" + std::to_string(S)))
      return TAlphaCompositing::Active;
  return TAlphaCompositing::Missing;
}

void RaiseTopLevel(QWidget* Window)
{
  if (!Window || !Window->isVisible())
    return;
  xcb_connection_t* C = X11Connection();
  const WId Id = Window->internalWinId();
  if (!C || !Id) {
    Window->raise();
    return;
  }
  // An unmanaged window is restacked by the server at once; no window manager
  // gets a say.
  const uint32_t Above = XCB_STACK_MODE_ABOVE;
  xcb_configure_window(C, xcb_window_t(Id), XCB_CONFIG_WINDOW_STACK_MODE, &Above);
  xcb_flush(C);
}

bool SetWindowInputRegion(QWidget* Window, const std::vector<TRegionRect>* Rects)
{
#ifdef QUELMA_HAVE_XCB_SHAPE
  xcb_connection_t* C = X11Connection();
  const xcb_window_t Id = Window ? xcb_window_t(Window->internalWinId()) : 0;
  if (!C || !Id)
    return false;
  const xcb_query_extension_reply_t* Shape = xcb_get_extension_data(C, &xcb_shape_id);
  if (!Shape || !Shape->present)
    return false;
  if (!Rects) {
    xcb_shape_mask(C, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, Id, 0, 0, XCB_PIXMAP_NONE);
  } else {
    std::vector<xcb_rectangle_t> R;
    R.reserve(Rects->size());
    for (const TRegionRect& Q : *Rects)
      R.push_back(xcb_rectangle_t{int16_t(Q.X), int16_t(Q.Y), uint16_t(Q.Width), uint16_t(Q.Height)});
    xcb_shape_rectangles(C, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_YX_BANDED, Id, 0, 0,
                         uint32_t(R.size()), R.data());
  }
  xcb_flush(C);
  return true;
#else
  (void)Window;
  (void)Rects;
  return false;
#endif
}

TNativeWindowState NativeWindowState(const QWidget* Window)
{
  TNativeWindowState State;
  xcb_connection_t* C = X11Connection();
  const xcb_window_t Own = Window ? xcb_window_t(Window->internalWinId()) : 0;
  if (!C || !Own)
    return State;
  xcb_get_geometry_reply_t* G = xcb_get_geometry_reply(C, xcb_get_geometry(C, Own), nullptr);
  if (!G)
    return State;
  const xcb_window_t Root = G->root;
  xcb_translate_coordinates_reply_t* T =
      xcb_translate_coordinates_reply(C, xcb_translate_coordinates(C, Own, Root, 0, 0), nullptr);
  if (T) {
    State.Geometry = QRect(T->dst_x, T->dst_y, G->width, G->height);
    std::free(T);
  }
  std::free(G);
  if (xcb_get_window_attributes_reply_t* A =
          xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, Own), nullptr)) {
    State.Unmanaged = A->override_redirect;
    State.Mapped = A->map_state == XCB_MAP_STATE_VIEWABLE;
    std::free(A);
  }
  // The root's child that holds the window: the window itself, or the frame a
  // window manager put around it.
  xcb_window_t Top = Own;
  for (int Depth = 0; Depth < 16; ++Depth) {
    xcb_query_tree_reply_t* Q = xcb_query_tree_reply(C, xcb_query_tree(C, Top), nullptr);
    if (!Q)
      return State;
    const xcb_window_t Parent = Q->parent;
    std::free(Q);
    if (Parent == Root || Parent == XCB_WINDOW_NONE)
      break;
    Top = Parent;
  }
  if (xcb_query_tree_reply_t* Q = xcb_query_tree_reply(C, xcb_query_tree(C, Root), nullptr)) {
    const xcb_window_t* Children = xcb_query_tree_children(Q);
    const int N = xcb_query_tree_children_length(Q);
    // Bottom to top: only windows shown above ours cover it.
    int Index = N;
    for (int I = 0; I < N; ++I)
      if (Children[I] == Top)
        Index = I;
    State.OnTop = Index < N;
    for (int I = Index + 1; I < N && State.OnTop; ++I)
      if (xcb_get_window_attributes_reply_t* A =
              xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, Children[I]), nullptr)) {
        State.OnTop = A->map_state != XCB_MAP_STATE_VIEWABLE;
        std::free(A);
      }
    std::free(Q);
  }
  State.Known = true;
  return State;
}

struct TStayOnTopKeeper::TImpl : public QAbstractNativeEventFilter {
  QPointer<QWidget> Window;
  bool Active = false;
  bool RaiseQueued = false;
  int Raised = 0;
  xcb_connection_t* C = nullptr;
  std::vector<xcb_window_t> Roots;
  QObject Context;  // queued raises die with the keeper

  bool IsRoot(xcb_window_t W) const {
    for (xcb_window_t R : Roots)
      if (R == W)
        return true;
    return false;
  }

  // Asks for the map and stacking notices of every top-level window without
  // dropping the root events Qt itself selected.
  void WatchRoots() {
    for (xcb_window_t Root : Roots) {
      xcb_get_window_attributes_reply_t* A =
          xcb_get_window_attributes_reply(C, xcb_get_window_attributes(C, Root), nullptr);
      uint32_t Mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
      if (A) {
        Mask |= A->your_event_mask;
        std::free(A);
      }
      xcb_change_window_attributes(C, Root, XCB_CW_EVENT_MASK, &Mask);
    }
    xcb_flush(C);
  }

  bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) override {
    if (!Active || EventType != "xcb_generic_event_t")
      return false;
    auto* E = static_cast<xcb_generic_event_t*>(Message);
    xcb_window_t Parent = 0, Child = 0;
    bool Unmanaged = false;
    switch (E->response_type & 0x7F) {
      case XCB_MAP_NOTIFY: {
        auto* M = reinterpret_cast<xcb_map_notify_event_t*>(E);
        Parent = M->event;
        Child = M->window;
        Unmanaged = M->override_redirect;
        break;
      }
      case XCB_CONFIGURE_NOTIFY: {
        auto* M = reinterpret_cast<xcb_configure_notify_event_t*>(E);
        Parent = M->event;
        Child = M->window;
        Unmanaged = M->override_redirect;
        break;
      }
      case XCB_CIRCULATE_NOTIFY: {
        auto* M = reinterpret_cast<xcb_circulate_notify_event_t*>(E);
        Parent = M->event;
        Child = M->window;
        break;
      }
      default:
        return false;
    }
    if (Unmanaged || !IsRoot(Parent) || !Window || Child == xcb_window_t(Window->internalWinId()))
      return false;
    QueueRaise();
    return false;  // Qt still sees everything
  }

  void QueueRaise() {
    if (RaiseQueued)
      return;
    RaiseQueued = true;
    QMetaObject::invokeMethod(&Context, [this] {
      RaiseQueued = false;
      RaiseIfCovered();
    }, Qt::QueuedConnection);
  }

  // One stacking query per burst of notices: a window being dragged about
  // sends many, but only a restack above ours needs an answer.
  void RaiseIfCovered() {
    if (!Active || !Window || !Window->isVisible())
      return;
    const xcb_window_t Own = xcb_window_t(Window->internalWinId());
    if (!Own)
      return;
    for (xcb_window_t Root : Roots) {
      xcb_query_tree_reply_t* T = xcb_query_tree_reply(C, xcb_query_tree(C, Root), nullptr);
      if (!T)
        continue;
      const xcb_window_t* Children = xcb_query_tree_children(T);
      const int N = xcb_query_tree_children_length(T);
      bool Found = false, OnTop = false;
      for (int I = 0; I < N; ++I)
        if (Children[I] == Own) {
          Found = true;
          OnTop = I == N - 1;
        }
      std::free(T);
      if (Found) {
        if (!OnTop) {
          const uint32_t Above = XCB_STACK_MODE_ABOVE;
          xcb_configure_window(C, Own, XCB_CONFIG_WINDOW_STACK_MODE, &Above);
          xcb_flush(C);
          ++Raised;
        }
        return;
      }
    }
  }
};

TStayOnTopKeeper::TStayOnTopKeeper(QWidget* Window) : FImpl(std::make_unique<TImpl>())
{
  FImpl->Window = Window;
}

TStayOnTopKeeper::~TStayOnTopKeeper()
{
  SetActive(false);
}

void TStayOnTopKeeper::SetActive(bool Active)
{
  TImpl& I = *FImpl;
  if (Active == I.Active)
    return;
  if (Active) {
    I.C = X11Connection();
    if (!I.C)
      return;  // not on X11: the stay-on-top hint is all there is
    if (I.Roots.empty()) {
      I.Roots = RootWindows(I.C);
      I.WatchRoots();
    }
    if (QCoreApplication* App = QCoreApplication::instance())
      App->installNativeEventFilter(&I);
    I.Active = true;
    I.QueueRaise();
  } else {
    if (QCoreApplication* App = QCoreApplication::instance())
      App->removeNativeEventFilter(&I);
    I.Active = false;
  }
}

bool TStayOnTopKeeper::Active() const { return FImpl->Active; }
int TStayOnTopKeeper::RaiseCount() const { return FImpl->Raised; }
