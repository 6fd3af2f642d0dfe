#include "objectlib/LiveObjects.h"

#include <atomic>

#include "objectlib/Diagnostics.h"

namespace kelo {
namespace {

std::atomic<long> liveObjects{0};

}  // namespace

void CountObjectCreated() noexcept {
    liveObjects.fetch_add(1, std::memory_order_relaxed);
}
void CountObjectDestroyed() noexcept {
    liveObjects.fetch_sub(1, std::memory_order_relaxed);
}
long LiveObjects() noexcept {
    return liveObjects.load(std::memory_order_relaxed);
}

}  // namespace kelo

long NSVumoUtil::LiveObjectCount() {
    return kelo::LiveObjects();
}
