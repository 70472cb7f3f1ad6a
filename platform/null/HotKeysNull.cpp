// Global hot keys where the platform has none: every grab fails quietly, and
// the settings window stays reachable through the tray and a second start.
#include "HotKeys.h"

namespace {

class TNoHotKeys final : public TGlobalHotKeys::IBackend {
public:
  bool Available() const override { return false; }
  bool Grab(int, THotKey) override { return false; }
  void Ungrab(int) override {}
};

} // namespace

std::unique_ptr<TGlobalHotKeys::IBackend> TGlobalHotKeys::CreateBackend(std::function<void(int)>) {
  return std::make_unique<TNoHotKeys>();
}
