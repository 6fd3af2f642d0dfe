#include "objectlib/LiveObjects.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>

#include "objectlib/Diagnostics.h"

namespace kelo {
namespace {

std::atomic<long> liveObjects{0};

// With KELO_LEAK_CHECK set, a process that lets the library go while objects
// of it are alive says so on standard error: end-to-end tests see a reference
// the program kept or leaked.
class ExitCheck {
  public:
    ExitCheck() = default;
    ExitCheck(const ExitCheck&) = delete;
    ExitCheck& operator=(const ExitCheck&) = delete;
    ~ExitCheck() {
        const char* wanted = std::getenv("KELO_LEAK_CHECK");
        const long alive = liveObjects.load(std::memory_order_acquire);
        if (wanted != nullptr && *wanted != '\0' && alive != 0) {
            std::fprintf(stderr, "kelo: %ld objects of the library left alive\n", alive);
        }
    }
};

const ExitCheck exitCheck;

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
