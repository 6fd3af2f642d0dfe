#include "platform/posix/RemoveOnSignal.h"

#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace platform::posix {

namespace {

// Every signal whose default action ends the process and that another
// process, a terminal or a limit may send, as `sort` cleans up its temporary
// files for (SIGXFSZ is ignored instead, see the header).
constexpr int kInterrupts[] = {SIGINT,  SIGTERM, SIGHUP,    SIGQUIT, SIGPIPE,
                               SIGALRM, SIGXCPU, SIGVTALRM, SIGPROF};
constexpr std::size_t kCount = sizeof kInterrupts / sizeof kInterrupts[0];

// Static storage: the handler may read nothing that the heap holds.
char gPath[PATH_MAX];
volatile sig_atomic_t gArmed = 0;
struct sigaction gSaved[kCount];
bool gInstalled[kCount];
struct sigaction gSavedSizeLimit;
// Whether the handlers above are ours now (the main line's own flag).
bool gActive = false;

sigset_t InterruptSet() {
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : kInterrupts) {
        sigaddset(&set, signal);
    }
    return set;
}

// Only async-signal-safe calls: unlink, then the default action, raised again
// so that the parent sees the process ended by this signal.
extern "C" void RemoveAndEnd(int signal) {
    const int savedErrno = errno;
    if (gArmed != 0) {
        unlink(gPath);
        gArmed = 0;
    }
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    sigaction(signal, &fallback, nullptr);
    raise(signal);  // pending until this handler returns: the signal is blocked here
    errno = savedErrno;
}

}  // namespace

InterruptsHeld::InterruptsHeld() {
    const sigset_t set = InterruptSet();
    sigprocmask(SIG_BLOCK, &set, &saved_);
}

InterruptsHeld::~InterruptsHeld() {
    sigprocmask(SIG_SETMASK, &saved_, nullptr);
}

bool ArmRemovalOnSignal(const char* path) {
    const std::size_t length = std::strlen(path);
    if (length >= sizeof gPath || gActive) {
        return false;
    }
    std::memcpy(gPath, path, length + 1);
    struct sigaction handler {};
    handler.sa_handler = RemoveAndEnd;
    handler.sa_mask = InterruptSet();
    for (std::size_t i = 0; i < kCount; ++i) {
        gInstalled[i] = sigaction(kInterrupts[i], nullptr, &gSaved[i]) == 0 &&
                        gSaved[i].sa_handler != SIG_IGN &&
                        sigaction(kInterrupts[i], &handler, nullptr) == 0;
    }
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    sigaction(SIGXFSZ, &ignore, &gSavedSizeLimit);
    gActive = true;
    gArmed = 1;
    return true;
}

void DisarmRemovalOnSignal() {
    gArmed = 0;
    if (!gActive) {
        return;
    }
    gActive = false;
    for (std::size_t i = 0; i < kCount; ++i) {
        if (gInstalled[i]) {
            sigaction(kInterrupts[i], &gSaved[i], nullptr);
            gInstalled[i] = false;
        }
    }
    sigaction(SIGXFSZ, &gSavedSizeLimit, nullptr);
}

}  // namespace platform::posix
