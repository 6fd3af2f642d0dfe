#include "tools/kelodb/VisitLine.h"

#include <algorithm>
#include <array>
#include <limits>
#include <nlohmann/json.hpp>

#include "objectlib/store/UtcTime.h"

namespace kelodb {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::string_view, 5> kFields = {"user", "url", "time", "allowed",
                                                     "categories"};

// A field name as it may be shown: short, and only printable ASCII.
std::string Shown(std::string_view name) {
    std::string shown;
    for (const char c : name.substr(0, 40)) {
        shown.push_back(c >= 0x20 && c < 0x7F ? c : '?');
    }
    return "\"" + shown + (name.size() > 40 ? "...\"" : "\"");
}

bool ReadCategories(const Json& value, std::vector<std::int32_t>& categories, std::string& error) {
    if (!value.is_array()) {
        error = "\"categories\" must be an array of 32-bit integers";
        return false;
    }
    categories.clear();
    categories.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        const Json& item = value[i];
        bool fits = false;
        std::int64_t number = 0;
        if (item.is_number_unsigned()) {
            const auto unsignedNumber = item.get<std::uint64_t>();
            fits = unsignedNumber <= std::numeric_limits<std::int32_t>::max();
            number = static_cast<std::int64_t>(unsignedNumber);
        } else if (item.is_number_integer()) {
            number = item.get<std::int64_t>();
            fits = number >= std::numeric_limits<std::int32_t>::min() &&
                   number <= std::numeric_limits<std::int32_t>::max();
        }
        if (!fits) {
            error = "\"categories\" item " + std::to_string(i + 1) + " is not a 32-bit integer";
            return false;
        }
        categories.push_back(static_cast<std::int32_t>(number));
    }
    return true;
}

}  // namespace

bool ParseVisitLine(std::string_view line, Visit& visit, std::string& error) {
    // The parser keeps only the last of repeated keys; the callback sees them all.
    std::vector<std::string> keys;
    bool repeated = false;
    const auto watchKeys = [&](int depth, Json::parse_event_t event, Json& parsed) {
        if (depth == 1 && event == Json::parse_event_t::key) {
            const auto& key = parsed.get_ref<const std::string&>();
            for (const std::string& seen : keys) {
                if (seen == key && !repeated) {
                    repeated = true;
                    error = "field " + Shown(key) + " is given twice";
                }
            }
            keys.push_back(key);
        }
        return true;
    };
    Json record;
    try {
        record = Json::parse(line.begin(), line.end(), watchKeys);
    } catch (const Json::parse_error& failure) {
        error = "not valid JSON (at byte " + std::to_string(failure.byte) + ")";
        return false;
    } catch (const Json::out_of_range&) {
        // A number beyond what a double holds (1E400) is refused this way.
        error = "not valid JSON (a number out of range)";
        return false;
    }
    if (!record.is_object()) {
        error = "not a JSON object";
        return false;
    }
    if (repeated) {
        return false;
    }
    for (const auto& [name, value] : record.items()) {
        if (std::find(kFields.begin(), kFields.end(), name) == kFields.end()) {
            error = "unknown field " + Shown(name);
            return false;
        }
    }
    for (const std::string_view field : kFields) {
        if (!record.contains(std::string(field))) {
            error = "missing field \"" + std::string(field) + "\"";
            return false;
        }
    }
    const Json& user = record.at("user");
    if (!user.is_string() || user.get_ref<const std::string&>().empty()) {
        error = "\"user\" must be a non-empty string";
        return false;
    }
    const Json& url = record.at("url");
    if (!url.is_string()) {
        error = "\"url\" must be a string";
        return false;
    }
    const Json& time = record.at("time");
    std::optional<std::int64_t> timeMs;
    if (time.is_string()) {
        timeMs = kelo::ParseIsoUtc(time.get_ref<const std::string&>());
    }
    if (!timeMs) {
        error =
            "\"time\" must be a valid UTC time written YYYY-MM-DDTHH:MM:SS[.fff]Z, "
            "years 1601 to 9999";
        return false;
    }
    const Json& allowed = record.at("allowed");
    if (!allowed.is_boolean()) {
        error = "\"allowed\" must be true or false";
        return false;
    }
    if (!ReadCategories(record.at("categories"), visit.categories, error)) {
        return false;
    }
    visit.user = user.get<std::string>();
    visit.url = url.get<std::string>();
    visit.timeMs = *timeMs;
    visit.allowed = allowed.get<bool>();
    return true;
}

}  // namespace kelodb
