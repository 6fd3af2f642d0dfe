#pragma once

#include <signal.h>

namespace platform::posix {

// Holds back the interrupting signals (below) while a file is made or moved
// and its removal armed or disarmed, so that no signal falls between the two.
class InterruptsHeld {
  public:
    InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
    ~InterruptsHeld();

  private:
    sigset_t saved_;
};

// While armed, SIGINT, SIGTERM, SIGHUP and the other signals that end a
// process by default (SIGQUIT, SIGPIPE, SIGALRM, SIGXCPU...) remove the file
// at `path` and then end the process as the signal would have (signals the
// process ignores stay ignored). SIGXFSZ is ignored meanwhile, so a file-size limit fails a write
// instead of killing the process. One path at a time; false when it is too
// long to keep.
bool ArmRemovalOnSignal(const char* path);
void DisarmRemovalOnSignal();

}  // namespace platform::posix
