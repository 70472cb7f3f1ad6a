// Platforms without X11: no way to tell, so the flame is never taken as unseen.
#include "UnseenWatch.h"

std::unique_ptr<IUnseenWatch> CreateUnseenWatch() {
  return std::make_unique<TNeverUnseenWatch>();
}
