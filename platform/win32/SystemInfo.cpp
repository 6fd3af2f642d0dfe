#include "platform/SystemInfo.h"

#include <memory>
#include <new>

#include "platform/win32/Wide.h"

namespace platform {

bool ReadComputerName(std::u16string& name, std::uint32_t bufferUnits) {
    const std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[bufferUnits]);
    if (!buffer) {
        return false;
    }
    DWORD length = bufferUnits;
    if (GetComputerNameW(buffer.get(), &length) == 0) {
        return false;
    }
    name.assign(win32::AsUtf16(buffer.get(), length));
    return true;
}

std::uint32_t ReadCurrentDirectory(std::u16string& directory, std::uint32_t bufferUnits) {
    const std::unique_ptr<wchar_t[]> buffer(new (std::nothrow) wchar_t[bufferUnits]);
    if (!buffer) {
        return 0;
    }
    const DWORD result = GetCurrentDirectoryW(bufferUnits, buffer.get());
    // Below the buffer size the directory fits; else the result is the size needed.
    if (result != 0 && result < bufferUnits) {
        directory.assign(win32::AsUtf16(buffer.get(), result));
    }
    return result;
}

}  // namespace platform
