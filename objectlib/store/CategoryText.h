#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kelo {

// A visit's categories are stored as decimal numbers joined by commas, in
// their order ("42,0"; empty for none), so the file stays readable with any
// SQLite client.
std::string EncodeCategories(std::span<const std::int32_t> categories);

// Appends the numbers of `text` to `categories`; false (nothing appended) for
// anything but that form with 32-bit signed numbers.
bool DecodeCategories(std::string_view text, std::vector<std::int32_t>& categories);

}  // namespace kelo
