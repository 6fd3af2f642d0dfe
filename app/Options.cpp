#include <string_view>

#include "app/CDataStoreQuery.h"
#include "app/DayCount.h"

namespace {

constexpr int kMostArguments = 2;

bool HasPrefix(std::u16string_view argument, std::u16string_view prefix) {
    return argument.substr(0, prefix.size()) == prefix;
}

}  // namespace

CDataStoreQuery::CDataStoreQuery(int argc, const char16_t* const* argv) {
    if (argc > kMostArguments + 1) {
        showUsage = true;
        return;
    }

    LoadCategoryNames();
    LoadHostName();

    int counted = 0;
    for (int i = 1; i < argc; ++i) {
        const char16_t* text = argv != nullptr && argv[i] != nullptr ? argv[i] : u"";
        const std::u16string_view argument(text);
        if (HasPrefix(argument, u"-d:")) {
            const std::int32_t value = ReadDayCount(argument.substr(3));
            if (value != 0) {
                days = value;
            } else {
                showUsage = true;
            }
            ++counted;
        } else if (HasPrefix(argument, u"-o:")) {
            const std::u16string_view value = argument.substr(3);
            if (!value.empty()) {
                outputPath.assign(value);
            } else {
                showUsage = true;
            }
            ++counted;
        } else if (HasPrefix(argument, u"-a")) {
            allUsers = true;
            ++counted;
        } else if (HasPrefix(argument, u"-h")) {
            showUsage = true;
        }
    }

    // After the options, so that -a is known.
    LoadUsers();

    if (showUsage) {
        return;
    }
    if (argc == counted + 1) {
        ResolveOutputPath(outputPath);
    } else {
        showUsage = true;
    }
}
