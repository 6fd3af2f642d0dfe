#pragma once

#include <string>

namespace platform::win32 {

// Holds the removal's lock while a file is made or moved and its removal
// armed or disarmed, so that a console control event never falls between
// the two. The handler runs on a thread of its own and takes the same lock.
class InterruptsHeld {
  public:
    InterruptsHeld();
    InterruptsHeld(const InterruptsHeld&) = delete;
    InterruptsHeld& operator=(const InterruptsHeld&) = delete;
    ~InterruptsHeld();
};

// While armed, a console control event (Ctrl+C, Ctrl+Break, the console
// closing, log-off, shut-down) marks the file at `path` for deletion before
// the default handler ends the process; the file must have been opened with
// FILE_SHARE_DELETE, and goes when its last handle closes. Call both with
// InterruptsHeld. Arm allocates nothing; false for a path too long to keep.
bool ArmRemovalOnSignal(const std::wstring& path);
void DisarmRemovalOnSignal();

}  // namespace platform::win32
