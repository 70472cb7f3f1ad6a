// X11: restack an unmanaged window right under another top-level window's frame,
// through Qt's own xcb connection.
#include <QGuiApplication>
#include <QWidget>

#include <xcb/xcb.h>

#include <cstdlib>

#include "Stacking.h"

namespace {

xcb_connection_t* X11Connection() {
  auto* App = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return App ? App->connection() : nullptr;
}

// The child of the root window that holds W: its frame under a window manager
// that reparents, else W itself.
xcb_window_t TopLevelOf(xcb_connection_t* C, xcb_window_t W) {
  for (int Depth = 0; Depth < 16; ++Depth) {
    xcb_query_tree_reply_t* Tree = xcb_query_tree_reply(C, xcb_query_tree(C, W), nullptr);
    if (!Tree) return XCB_WINDOW_NONE;
    const xcb_window_t Root = Tree->root;
    const xcb_window_t Parent = Tree->parent;
    std::free(Tree);
    if (Parent == Root || Parent == XCB_WINDOW_NONE) return W;
    W = Parent;
  }
  return XCB_WINDOW_NONE;
}

}  // namespace

void StackBelow(QWidget* Window, QWidget* Above) {
  if (!Window || !Above || !Window->isVisible() || !Above->isVisible()) return;
  xcb_connection_t* C = X11Connection();
  const WId Id = Window->internalWinId();
  const WId AboveId = Above->internalWinId();
  // Only an unmanaged window is ours to restack.
  if (!C || !Id || !AboveId || !(Window->windowFlags() & Qt::X11BypassWindowManagerHint)) return;
  const xcb_window_t Sibling = TopLevelOf(C, xcb_window_t(AboveId));
  if (Sibling == XCB_WINDOW_NONE || Sibling == xcb_window_t(Id)) return;
  const uint32_t Values[] = {Sibling, XCB_STACK_MODE_BELOW};
  xcb_configure_window(C, xcb_window_t(Id), XCB_CONFIG_WINDOW_SIBLING | XCB_CONFIG_WINDOW_STACK_MODE,
                       Values);
  xcb_flush(C);
}
