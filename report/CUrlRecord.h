#pragma once

#include <string>
#include <vector>

// One visit as the report shows it. `url` carries its own surrounding quotes.
struct CUrlRecord {
    std::u16string url;
    std::u16string dateText;
    std::u16string userName;
    std::u16string action;
    std::vector<std::u16string> categories;
};
