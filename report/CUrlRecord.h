#pragma once

#include <memory_resource>
#include <string>
#include <vector>

// A record's texts come from the storage of the list that holds the records:
// a year of visits is then a few large blocks, not millions of small ones.
using RecordText = std::pmr::u16string;

// One visit as the report shows it. `url` carries its own surrounding quotes.
struct CUrlRecord {
    RecordText url;
    RecordText dateText;
    RecordText userName;
    RecordText action;
    std::pmr::vector<RecordText> categories;
};
