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

#include <X11/keysym.h>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "HotKeys.h"
#include "X11Common.h"

namespace {

using X11::Connection;

constexpr uint16_t RelevantModifiers = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;

// The keyboard mapping as the server has it now (fetched on first lookup),
// so that a grab follows a changed layout.
using TKeySymbols = std::unique_ptr<xcb_key_symbols_t, decltype(&xcb_key_symbols_free)>;
TKeySymbols KeySymbols(xcb_connection_t* C) {
  return {xcb_key_symbols_alloc(C), &xcb_key_symbols_free};
}

// Key codes carrying Sym, those where it is the unshifted symbol first (the
// library lists them by key code).
std::vector<xcb_keycode_t> KeyCodesOf(xcb_key_symbols_t* Syms, xcb_keysym_t Sym) {
  std::vector<xcb_keycode_t> Codes;
  if (!Syms)
    return Codes;
  xcb_keycode_t* Found = xcb_key_symbols_get_keycode(Syms, Sym); // ends with XCB_NO_SYMBOL
  for (const xcb_keycode_t* K = Found; K && *K != XCB_NO_SYMBOL; ++K)
    Codes.push_back(*K);
  std::free(Found);
  std::stable_partition(Codes.begin(), Codes.end(), [&](xcb_keycode_t K) {
    return xcb_key_symbols_get_keysym(Syms, K, 0) == Sym;
  });
  return Codes;
}

// The modifier bit NumLock sets, from the server's modifier map; 0 if none.
uint16_t NumLockMask(xcb_connection_t* C, xcb_key_symbols_t* Syms) {
  const std::vector<xcb_keycode_t> NumLock = KeyCodesOf(Syms, XK_Num_Lock);
  if (NumLock.empty())
    return 0;
  xcb_get_modifier_mapping_reply_t* Reply =
      xcb_get_modifier_mapping_reply(C, xcb_get_modifier_mapping(C), nullptr);
  if (!Reply)
    return 0;
  uint16_t Mask = 0;
  const int Per = Reply->keycodes_per_modifier;
  const xcb_keycode_t* Codes = xcb_get_modifier_mapping_keycodes(Reply);
  for (int m = 0; m < 8 && !Mask; ++m)
    for (int j = 0; j < Per; ++j)
      for (xcb_keycode_t K : NumLock)
        if (K != 0 && Codes[m * Per + j] == K)
          Mask = uint16_t(1u << m);
  std::free(Reply);
  return Mask;
}

class TX11HotKeys final : public TGlobalHotKeys::IBackend, public QAbstractNativeEventFilter {
public:
  explicit TX11HotKeys(std::function<void(int)> Fired) : FFired(std::move(Fired)) {
    FConnection = Connection();
    if (!FConnection)
      return;
    for (auto It = xcb_setup_roots_iterator(xcb_get_setup(FConnection)); It.rem;
         xcb_screen_next(&It))
      FRoots.push_back(It.data->root);
    QCoreApplication::instance()->installNativeEventFilter(this);
  }
  ~TX11HotKeys() override {
    for (int i = 0; i < TGlobalHotKeys::Count; ++i)
      Ungrab(i);
    if (FConnection && QCoreApplication::instance())
      QCoreApplication::instance()->removeNativeEventFilter(this);
  }

  bool Available() const override { return FConnection != nullptr; }

  bool Grab(int Index, THotKey Key) override {
    Ungrab(Index);
    if (!FConnection || Index < 0 || Index >= TGlobalHotKeys::Count)
      return false;
    const unsigned Sym = VKToKeySym(Key.Key);
    if (Sym == 0)
      return false;
    const TKeySymbols Syms = KeySymbols(FConnection);
    const std::vector<xcb_keycode_t> Codes = KeyCodesOf(Syms.get(), Sym);
    if (Codes.empty())
      return false;
    uint16_t Mods = 0;
    if (Key.Modifiers & ModShift)
      Mods |= XCB_MOD_MASK_SHIFT;
    if (Key.Modifiers & ModControl)
      Mods |= XCB_MOD_MASK_CONTROL;
    if (Key.Modifiers & ModAlt)
      Mods |= XCB_MOD_MASK_1;
    const uint16_t NumLock = NumLockMask(FConnection, Syms.get());
    std::vector<uint16_t> Locks = {0, XCB_MOD_MASK_LOCK};
    if (NumLock)
      Locks.insert(Locks.end(), {NumLock, uint16_t(NumLock | XCB_MOD_MASK_LOCK)});

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
          if (Lock == 0)
            Taken = false;
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
    if (Index < 0 || Index >= TGlobalHotKeys::Count)
      return;
    Release(FGrabs[Index]);
    FGrabs[Index] = {};
  }

  bool nativeEventFilter(const QByteArray& EventType, void* Message, qintptr*) override {
    if (EventType != "xcb_generic_event_t" || !Message)
      return false;
    auto* Event = static_cast<xcb_generic_event_t*>(Message);
    if ((Event->response_type & 0x7f) != XCB_KEY_PRESS)
      return false;
    auto* Key = reinterpret_cast<xcb_key_press_event_t*>(Event);
    bool OnRoot = false;
    for (xcb_window_t R : FRoots)
      OnRoot = OnRoot || Key->event == R;
    if (!OnRoot)
      return false;
    const uint16_t Mods = Key->state & RelevantModifiers;
    for (int i = 0; i < TGlobalHotKeys::Count; ++i) {
      const TGrab& G = FGrabs[i];
      if (!G.Held.empty() && G.Code == Key->detail && G.Modifiers == Mods) {
        if (FFired)
          FFired(i);
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
    if (!FConnection || G.Held.empty())
      return;
    for (const THeld& H : G.Held)
      xcb_ungrab_key(FConnection, G.Code, H.Root, H.Modifiers);
    xcb_flush(FConnection);
  }

  std::function<void(int)> FFired;
  xcb_connection_t* FConnection = nullptr;
  std::vector<xcb_window_t> FRoots;
  TGrab FGrabs[TGlobalHotKeys::Count];
};

} // namespace

std::unique_ptr<TGlobalHotKeys::IBackend>
TGlobalHotKeys::CreateBackend(std::function<void(int)> Fired) {
  return std::make_unique<TX11HotKeys>(std::move(Fired));
}
