#pragma once

#include <string>
#include <string_view>

namespace platform {

// Resolves the text form of an account identifier (a SID on Windows,
// "S-1-22-1-<uid>" on POSIX) to the account's domain and name on the local
// system. False when the text is no identifier or names no account.
bool LookupAccount(std::u16string_view sidText, std::u16string& domain, std::u16string& name);

}  // namespace platform
