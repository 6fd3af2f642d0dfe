#include <cstdlib>

#include "objectlib/store/Location.h"

namespace kelo {

std::filesystem::path DatastorePath() {
    const wchar_t* setting = _wgetenv(L"KELO_DATASTORE");
    if (setting != nullptr && *setting != L'\0') {
        return setting;
    }
    const wchar_t* programData = _wgetenv(L"ProgramData");
    const std::filesystem::path base =
        programData != nullptr && *programData != L'\0' ? programData : L"C:\\ProgramData";
    return base / L"Kelo" / L"datastore.db";
}

}  // namespace kelo
