#include "objectlib/store/CategoryText.h"

#include <charconv>

namespace kelo {

std::string EncodeCategories(std::span<const std::int32_t> categories) {
    std::string text;
    char number[16];
    for (const std::int32_t category : categories) {
        if (!text.empty()) {
            text.push_back(',');
        }
        const auto end = std::to_chars(number, number + sizeof number, category).ptr;
        text.append(number, end);
    }
    return text;
}

bool DecodeCategories(std::string_view text, std::vector<std::int32_t>& categories) {
    if (text.empty()) {
        return true;
    }
    const std::size_t firstNew = categories.size();
    const char* position = text.data();
    const char* const end = text.data() + text.size();
    for (;;) {
        // from_chars accepts neither '+' nor blanks: the stored form only.
        std::int32_t value = 0;
        const auto [next, error] = std::from_chars(position, end, value);
        if (error != std::errc{}) {
            break;
        }
        categories.push_back(value);
        if (next == end) {
            return true;
        }
        if (*next != ',') {
            break;
        }
        position = next + 1;
    }
    categories.resize(firstNew);
    return false;
}

}  // namespace kelo
