// Global hot keys on X11: passive key grabs on every root window through Qt's
// own xcb connection, one per state of the lock keys (CapsLock, NumLock), so a
// hot key works whichever of them is on. Presses arrive at the root window and
// are picked out of Qt's event stream by a native event filter. On any other
// Qt platform (offscreen in the tests, Wayland without XWayland) there are no
// global hot keys and every grab fails quietly.
#include <QAbstractNativeEventFilter>
#include <QByteArray>
#include <QCoreApplication>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <vector>

#include "HotKeys.h"

namespace {

xcb_connection_t* X11Connection() {
  auto* App = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
  return App ? App->connection() : nullptr;
}

constexpr unsigned NumLockKeySym = 0xff7f;
constexpr uint16_t RelevantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// Key codes carrying Sym, those where it is the unshifted symbol first.
std::vector<xcb_keycode_t> KeyCodesOf(xcb_connection_t* C, unsigned Sym) {
  std::vector<xcb_keycode_t> Codes;
  const xcb_setup_t* Setup = xcb_get_setup(C);
  const int Min = Setup->min_keycode, Max = Setup->max_keycode;
  xcb_get_keyboard_mapping_reply_t* Reply = xcb_get_keyboard_mapping_reply(
      C, xcb_get_keyboard_mapping(C, xcb_keycode_t(Min), uint8_t(Max - Min + 1)), nullptr);
  if (!Reply) return Codes;
  const int Per = Reply->keysyms_per_keycode;
  const xcb_keysym_t* Syms = xcb_get_keyboard_mapping_keysyms(Reply);
  const int Total = xcb_get_keyboard_mapping_keysyms_length(Reply);
  for (int Level = 0; Level < Per; ++Level)
    for (int k = 0; k <= Max - Min; ++k) {
      const int i = k * Per + Level;
      if (i < Total && Syms[i] == Sym) Codes.push_back(xcb_keycode_t(Min + k));
    }
  std::free(Reply);
  return Codes;
}

// The modifier bit NumLock sets, from the server's modifier map; 0 if none.
uint16_t NumLockMask(xcb_connection_t* C) {
  const std::vector<xcb_keycode_t> NumLock = KeyCodesOf(C, NumLockKeySym);
  if (NumLock.empty()) return 0;
  xcb_get_modifier_mapping_reply_t* Reply =
      xcb_get_modifier_mapping_reply(C, xcb_get_modifier_mapping(C), nullptr);
  if (!Reply) return 0;
  uint16_t Mask = 0;
  const int Per = Reply->keycodes_per_modifier;
  const xcb_keycode_t* Codes = xcb_get_modifier_mapping_keycodes(Reply);
  for (int m = 0; m < 8 && !Mask; ++m)
    for (int j = 0; j < Per; ++j)
      for (xcb_keycode_t K : NumLock)
        if (K != 0 && Codes[m * Per + j] == K) Mask = uint16_t(1u << m);
  std::free(Reply);
  return Mask;
}

class TX11HotKeys final : public TGlobalHotKeys::TBackend, public QAbstractNativeEventFilter {
public:
  explicit TX11HotKeys(std::function<void(int)> Fired) : FFired(std::move(Fired)) {
    FConnection = X11Connection();
    if (!FConnection) return;
    for (auto It = xcb_setup_roots_iterator(xcb_get_setup(FConnection)); It.rem; xcb_screen_next(&It))
      FRoots.push_back(It.data->root);
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~TX11HotKeys() override {
    for (int i = 0; i < TGlobalHotKeys::Count; ++i) Ungrab(i);
    if (FConnection && QCoreApplication::instance())
      QCoreApplication::instance()->removeNativeEventFilter(this);
  }

  bool Available() const override { return FConnection != nullptr; }

  bool Grab(int Index, THotKey Key) override {
    Ungrab(Index);
    if (!FConnection || Index < 0 || Index >= TGlobalHotKeys::Count) return false;
    const unsigned Sym = VKToKeySym(Key.Key);
    if (Sym == 0) return false;
    const std::vector<xcb_keycode_t> Codes = KeyCodesOf(FConnection, Sym);
    if (Codes.empty()) return false;
    uint16_t Mods = 0;
    if (Key.Modifiers & ModShift) Mods |= XCB_MOD_MASK_SHIFT;
    if (Key.Modifiers & ModControl) Mods |= XCB_MOD_MASK_CONTROL;
    if (Key.Modifiers & ModAlt) Mods |= XCB_MOD_MASK_1;
    const uint16_t NumLock = NumLockMask(FConnection);
    std::vector<uint16_t> Locks = {0, XCB_MOD_MASK_LOCK};
    if (NumLock) Locks.insert(Locks.end(), {NumLock, uint16_t(NumLock | XCB_MOD_MASK_LOCK)});

    TGrab G;
    G.Code = Codes.front();
    G.Modifiers = Mods;
    // The grab counts when the plain variant is ours on every root; a lock
    // variant another program holds is left to it.
    bool Taken = true;
    for (xcb_window_t Root : FRoots)
      for (uint16_t Lock : Locks) {
        xcb_generic_error_t* Error = xcb_request_check(
            FConnection, xcb_grab_key_checked(FConnection, 0, Root, uint16_t(Mods | Lock), G.Code,
                                              XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
        if (Error) {
          std::free(Error);
          if (Lock == 0) Taken = false;
        } else {
          G.Held.push_back({Root, uint16_t(Mods | Lock)});
        }
      }
    if (!Taken) {
      Release(G);
      return false;
    }
    FGrabs[Index] = std::move(G);
    return true;
  }

  void Ungrab(int Index) override {
    if (Index < 0 || Index >= TGlobalHotKeys::Count) return;
    Release(FGrabs[Index]);
    FGrabs[Index] = {};
  }

  bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) override {
    if (EventType != "xcb_generic_event_t" || !Message) return false;
    auto* Event = static_cast<xcb_generic_event_t*>(Message);
    if ((Event->response_type & 0x7f) != XCB_KEY_PRESS) return false;
    auto* Key = reinterpret_cast<xcb_key_press_event_t*>(Event);
    bool OnRoot = false;
    for (xcb_window_t R : FRoots) OnRoot = OnRoot || Key->event == R;
    if (!OnRoot) return false;
    const uint16_t Mods = Key->state & RelevantModifiers;
    for (int i = 0; i < TGlobalHotKeys::Count; ++i) {
      const TGrab& G = FGrabs[i];
      if (!G.Held.empty() && G.Code == Key->detail && G.Modifiers == Mods) {
        if (FFired) FFired(i);
        return true;
      }
    }
    return false;
  }

private:
  struct THeld {
    xcb_window_t Root;
    uint16_t Modifiers;
  };
  struct TGrab {
    xcb_keycode_t Code = 0;
    uint16_t Modifiers = 0;
    std::vector<THeld> Held;
  };

  void Release(const TGrab& G) {
    if (!FConnection || G.Held.empty()) return;
    for (const THeld& H : G.Held) xcb_ungrab_key(FConnection, G.Code, H.Root, H.Modifiers);
    xcb_flush(FConnection);
  }

  std::function<void(int)> FFired;
  xcb_connection_t* FConnection = nullptr;
  std::vector<xcb_window_t> FRoots;
  TGrab FGrabs[TGlobalHotKeys::Count];
};

}  // namespace

std::unique_ptr<TGlobalHotKeys::TBackend> TGlobalHotKeys::CreateBackend(std::function<void(int)> Fired) {
  return std::make_unique<TX11HotKeys>(std::move(Fired));
}
