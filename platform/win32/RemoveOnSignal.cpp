#include "platform/win32/RemoveOnSignal.h"

#include <windows.h>

namespace platform::win32 {

namespace {

SRWLOCK gLock = SRWLOCK_INIT;
// Guarded by gLock. The longest path Windows takes, and its NUL.
wchar_t gPath[32768];
bool gArmed = false;
bool gHandlerAdded = false;

BOOL WINAPI RemoveOnControlEvent(DWORD) {
    AcquireSRWLockExclusive(&gLock);
    if (gArmed) {
        DeleteFileW(gPath);
        gArmed = false;
    }
    ReleaseSRWLockExclusive(&gLock);
    return FALSE;  // on to the default handler, which ends the process
}

}  // namespace

InterruptsHeld::InterruptsHeld() {
    AcquireSRWLockExclusive(&gLock);
}

InterruptsHeld::~InterruptsHeld() {
    ReleaseSRWLockExclusive(&gLock);
}

bool ArmRemovalOnSignal(const std::wstring& path) {
    if (path.size() >= sizeof gPath / sizeof gPath[0]) {
        return false;
    }
    path.copy(gPath, path.size());
    gPath[path.size()] = L'\0';
    if (!gHandlerAdded) {
        gHandlerAdded = SetConsoleCtrlHandler(RemoveOnControlEvent, TRUE) != 0;
    }
    gArmed = true;
    return true;
}

void DisarmRemovalOnSignal() {
    gArmed = false;
}

}  // namespace platform::win32
