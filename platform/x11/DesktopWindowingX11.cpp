// X11: compositor detection and our own stacking of the unmanaged flame window,
// through Qt's own xcb connection. On any other Qt platform (offscreen in the
// tests, Wayland) the functions fall back to plain Qt.
#include "DesktopWindowing.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QPointer>
#include <QWidget>
#include <QWindow>

#include <xcb/xcb.h>
#ifdef QUELMA_HAVE_XCB_SHAPE
#include <xcb/shape.h>
#endif

#include <cstdlib>
#include <string>
#include <vector>

#include "X11Common.h"

namespace {

using X11::Connection;

std::vector<xcb_window_t> RootWindows(xcb_connection_t* C) {
  std::vector<xcb_window_t> Roots;
  for (auto It = xcb_setup_roots_iterator(xcb_get_setup(C)); It.rem; xcb_screen_next(&It))
    Roots.push_back(It.data->root);
  return Roots;
}

bool SelectionOwned(xcb_connection_t* C, const std::string& Name) {
  xcb_intern_atom_reply_t* Atom =
      xcb_intern_atom_reply(C, xcb_intern_atom(C, 1, uint16_t(Name.size()), Name.c_str()), nullptr);
  if (!Atom)
    return false;
  const xcb_atom_t A = Atom->atom;
  std::free(Atom);
  if (A == XCB_ATOM_NONE)
    return false; // nobody ever claimed it
  xcb_get_selection_owner_reply_t* Owner =
      xcb_get_selection_owner_reply(C, xcb_get_selection_owner(C, A), nullptr);
  if (!Owner)
    return false;
  const bool Owned = Owner->owner != XCB_WINDOW_NONE;
  std::free(Owner);
  return Owned;
}

// The window's native id as it is now. Qt gives a top-level window a new
// native window when its stay-on-top hint changes and it is shown again,
// while QWidget::internalWinId() keeps the first one; the QWindow knows.
xcb_window_t NativeId(const QWidget* Window) {
  const QWindow* W = Window ? Window->windowHandle() : nullptr;
  return W && W->handle() ? xcb_window_t(W->winId()) : xcb_window_t(XCB_WINDOW_NONE);
}

// The child of the root window that holds W: its frame under a window manager
// that reparents, else W itself; XCB_WINDOW_NONE when W is gone.
xcb_window_t TopLevelOf(xcb_connection_t* C, xcb_window_t W) {
  for (int Depth = 0; Depth < 16 && W != XCB_WINDOW_NONE; ++Depth) {
    xcb_query_tree_reply_t* Tree = xcb_query_tree_reply(C, xcb_query_tree(C, W), nullptr);
    if (!Tree)
      return XCB_WINDOW_NONE;
    const xcb_window_t Root = Tree->root;
    const xcb_window_t Parent = Tree->parent;
    std::free(Tree);
    if (Parent == Root || Parent == XCB_WINDOW_NONE)
      return W;
    W = Parent;
  }
  return XCB_WINDOW_NONE;
}

} // namespace

bool DisplayAnswers(const QByteArray& Display) {
  xcb_connection_t* C = xcb_connect(Display.isEmpty() ? nullptr : Display.constData(), nullptr);
  const bool Answers = xcb_connection_has_error(C) == 0;
  xcb_disconnect(C);
  return Answers;
}

TAlphaCompositing AlphaCompositing() {
  xcb_connection_t* C = Connection();
  if (!C)
    return TAlphaCompositing::Unknown;
  // The screen Qt shows its windows on is the display's default one; other
  // screens of a multi-screen display are checked too, any compositor counts.
  const int Default = X11::DefaultScreenNumber();
  if (SelectionOwned(C, "_NET_WM_CM_S" + std::to_string(Default)))
    return TAlphaCompositing::Active;
  const int Screens = xcb_setup_roots_length(xcb_get_setup(C));
  for (int S = 0; S < Screens; ++S)
    if (S != Default && SelectionOwned(C, "_NET_WM_CM_S" + std::to_string(S)))
      return TAlphaCompositing::Active;
  return TAlphaCompositing::Missing;
}

void RaiseTopLevel(QWidget* Window) {
  if (!Window || !Window->isVisible())
    return;
  xcb_connection_t* C = Connection();
  const WId Id = NativeId(Window);
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

bool SetWindowInputRegion(QWidget* Window, const std::vector<TRegionRect>* Rects) {
#ifdef QUELMA_HAVE_XCB_SHAPE
  xcb_connection_t* C = Connection();
  const xcb_window_t Id = NativeId(Window);
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
      R.push_back(
          xcb_rectangle_t{int16_t(Q.X), int16_t(Q.Y), uint16_t(Q.Width), uint16_t(Q.Height)});
    xcb_shape_rectangles(C, XCB_SHAPE_SO_SET, XCB_SHAPE_SK_INPUT, XCB_CLIP_ORDERING_YX_BANDED, Id,
                         0, 0, uint32_t(R.size()), R.data());
  }
  xcb_flush(C);
  return true;
#else
  (void)Window;
  (void)Rects;
  return false;
#endif
}

TNativeWindowState NativeWindowState(const QWidget* Window) {
  TNativeWindowState State;
  xcb_connection_t* C = Connection();
  const xcb_window_t Own = NativeId(Window);
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
  const xcb_window_t Top = TopLevelOf(C, Own);
  if (Top == XCB_WINDOW_NONE)
    return State;
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
      if (xcb_get_window_attributes_reply_t* A = xcb_get_window_attributes_reply(
              C, xcb_get_window_attributes(C, Children[I]), nullptr)) {
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
  QPointer<QWidget> KeptAbove;
  QPointer<QWidget> KeptBelow;
  bool Active = false;
  bool OnTop = true;
  bool ArrangeQueued = false;
  int Raised = 0;
  // Not in front: the managed window that was topmost when the flame was
  // shown or last covered; a different one on top was raised since.
  xcb_window_t Base = XCB_WINDOW_NONE;
  bool BaseKnown = false;
  xcb_connection_t* C = nullptr;
  std::vector<xcb_window_t> Roots;
  QObject Context; // queued arranges die with the keeper

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
    xcb_window_t Parent = 0;
    switch (E->response_type & 0x7F) {
    case XCB_MAP_NOTIFY:
      Parent = reinterpret_cast<xcb_map_notify_event_t*>(E)->event;
      break;
    case XCB_UNMAP_NOTIFY:
      Parent = reinterpret_cast<xcb_unmap_notify_event_t*>(E)->event;
      break;
    case XCB_CONFIGURE_NOTIFY:
      Parent = reinterpret_cast<xcb_configure_notify_event_t*>(E)->event;
      break;
    case XCB_CIRCULATE_NOTIFY:
      Parent = reinterpret_cast<xcb_circulate_notify_event_t*>(E)->event;
      break;
    default:
      return false;
    }
    if (IsRoot(Parent))
      QueueArrange();
    return false; // Qt still sees everything
  }

  void QueueArrange() {
    if (ArrangeQueued)
      return;
    ArrangeQueued = true;
    QMetaObject::invokeMethod(
        &Context,
        [this] {
          ArrangeQueued = false;
          Arrange();
        },
        Qt::QueuedConnection);
  }

  static xcb_window_t IdOf(const QPointer<QWidget>& W) {
    return W && W->isVisible() ? NativeId(W) : xcb_window_t(XCB_WINDOW_NONE);
  }

  void Restack(xcb_window_t W, xcb_window_t Sibling, uint32_t Mode) {
    if (Sibling == XCB_WINDOW_NONE) {
      xcb_configure_window(C, W, XCB_CONFIG_WINDOW_STACK_MODE, &Mode);
    } else {
      const uint32_t Values[] = {Sibling, Mode};
      xcb_configure_window(C, W, XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE, Values);
    }
    xcb_flush(C);
    ++Raised;
  }

  // One stacking query per burst of notices: a window being dragged about
  // sends many, but only a restack that breaks the order needs an answer.
  // The flame and the drawing window are unmanaged, so they are restacked
  // here directly; the settings window is the window manager's and only
  // serves as a sibling.
  void Arrange() {
    if (!Active || !C)
      return;
    const xcb_window_t Own = IdOf(Window);
    if (!Own)
      return;
    const xcb_window_t AboveId = IdOf(KeptAbove);
    const xcb_window_t Above = AboveId ? TopLevelOf(C, AboveId) : xcb_window_t(XCB_WINDOW_NONE);
    const xcb_window_t Below = IdOf(KeptBelow);
    for (xcb_window_t Root : Roots) {
      xcb_query_tree_reply_t* T = xcb_query_tree_reply(C, xcb_query_tree(C, Root), nullptr);
      if (!T)
        continue;
      const xcb_window_t* Children = xcb_query_tree_children(T);
      const int N = xcb_query_tree_children_length(T);
      std::vector<xcb_window_t> Stack(Children, Children + N); // bottom to top
      std::free(T);
      const auto Index = [&Stack](xcb_window_t W) {
        for (std::size_t I = 0; I < Stack.size(); ++I)
          if (Stack[I] == W)
            return int(I);
        return -1;
      };
      int OwnAt = Index(Own);
      if (OwnAt < 0)
        continue;
      // The topmost shown managed window that is not one of ours.
      std::vector<xcb_get_window_attributes_cookie_t> Cookies;
      Cookies.reserve(Stack.size());
      for (xcb_window_t W : Stack)
        Cookies.push_back(xcb_get_window_attributes(C, W));
      int TopForeign = -1;
      std::vector<bool> Foreigns(Stack.size(), false);
      for (std::size_t I = 0; I < Stack.size(); ++I) {
        xcb_get_window_attributes_reply_t* A =
            xcb_get_window_attributes_reply(C, Cookies[I], nullptr);
        if (!A)
          continue;
        const bool Foreign = A->map_state == XCB_MAP_STATE_VIEWABLE && !A->override_redirect &&
                             Stack[I] != Own && Stack[I] != Above;
        std::free(A);
        Foreigns[I] = Foreign;
        if (Foreign)
          TopForeign = int(I);
      }
      const xcb_window_t TopForeignId =
          TopForeign >= 0 ? Stack[std::size_t(TopForeign)] : xcb_window_t(XCB_WINDOW_NONE);
      const int AboveAt = Above ? Index(Above) : -1;
      if (OnTop) {
        if (AboveAt >= 0) {
          // Directly under the settings window: above every window under it,
          // never over it, also when a panel or a dock stays above both.
          int Under = -1;
          for (int I = 0; I < AboveAt; ++I)
            if (Foreigns[std::size_t(I)])
              Under = I;
          if (!(OwnAt > Under && OwnAt < AboveAt))
            Restack(Own, Above, XCB_STACK_MODE_BELOW);
        } else if (OwnAt < TopForeign) {
          Restack(Own, TopForeignId, XCB_STACK_MODE_ABOVE);
        }
      } else {
        // A window raised since the flame was shown covers it.
        if (BaseKnown && TopForeignId != Base && TopForeign >= 0 && OwnAt > TopForeign)
          Restack(Own, TopForeignId, XCB_STACK_MODE_BELOW);
        Base = TopForeignId;
        BaseKnown = true;
        if (AboveAt >= 0 && Index(Own) > AboveAt)
          Restack(Own, Above, XCB_STACK_MODE_BELOW);
      }
      if (Below && Below != Own) {
        // Re-read: the flame may have moved.
        xcb_query_tree_reply_t* Q = xcb_query_tree_reply(C, xcb_query_tree(C, Root), nullptr);
        if (Q) {
          const xcb_window_t* K = xcb_query_tree_children(Q);
          const int M = xcb_query_tree_children_length(Q);
          int O = -1, B = -1;
          for (int I = 0; I < M; ++I) {
            if (K[I] == Own)
              O = I;
            if (K[I] == Below)
              B = I;
          }
          std::free(Q);
          if (O >= 0 && B >= 0 && B != O - 1)
            Restack(Below, Own, XCB_STACK_MODE_BELOW);
        }
      }
      return;
    }
  }

  void Shown() {
    BaseKnown = false; // the next arrange takes the current top as covered
    if (!Active || !C)
      return;
    if (const xcb_window_t Own = IdOf(Window))
      Restack(Own, XCB_WINDOW_NONE, XCB_STACK_MODE_ABOVE);
    Arrange();
  }
};

TStayOnTopKeeper::TStayOnTopKeeper(QWidget* Window) : FImpl(std::make_unique<TImpl>()) {
  FImpl->Window = Window;
}

TStayOnTopKeeper::~TStayOnTopKeeper() {
  SetActive(false);
}

void TStayOnTopKeeper::SetActive(bool Active) {
  TImpl& I = *FImpl;
  if (Active == I.Active)
    return;
  if (Active) {
    I.C = Connection();
    if (!I.C)
      return; // not on X11: the stay-on-top hint is all there is
    if (I.Roots.empty()) {
      I.Roots = RootWindows(I.C);
      I.WatchRoots();
    }
    if (QCoreApplication* App = QCoreApplication::instance())
      App->installNativeEventFilter(&I);
    I.Active = true;
    I.QueueArrange();
  } else {
    if (QCoreApplication* App = QCoreApplication::instance())
      App->removeNativeEventFilter(&I);
    I.Active = false;
  }
}

bool TStayOnTopKeeper::Active() const {
  return FImpl->Active;
}

void TStayOnTopKeeper::SetOnTop(bool OnTop) {
  if (OnTop == FImpl->OnTop)
    return;
  FImpl->OnTop = OnTop;
  FImpl->BaseKnown = false;
  if (FImpl->Active)
    FImpl->QueueArrange();
}

bool TStayOnTopKeeper::OnTop() const {
  return FImpl->OnTop;
}

void TStayOnTopKeeper::SetKeptAbove(QWidget* Window) {
  FImpl->KeptAbove = Window;
}

void TStayOnTopKeeper::SetKeptBelow(QWidget* Window) {
  FImpl->KeptBelow = Window;
}

void TStayOnTopKeeper::Shown() {
  FImpl->Shown();
}
void TStayOnTopKeeper::Arrange() {
  FImpl->Arrange();
}
int TStayOnTopKeeper::RaiseCount() const {
  return FImpl->Raised;
}
