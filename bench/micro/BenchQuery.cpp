#include "bench/micro/BenchQuery.h"

#include <cstdlib>
#include <random>
#include <string>
#include <string_view>

namespace micro {

namespace {

const char16_t* const kArguments[] = {u"ostrelin", u"-o:micro.csv", nullptr};

}  // namespace

BenchQuery::BenchQuery() : CDataStoreQuery(2, kArguments) {}

TempFolder::TempFolder() {
    std::string pattern = (std::filesystem::temp_directory_path() / "ostrelin-micro-XXXXXX");
    if (mkdtemp(pattern.data()) == nullptr) {
        std::abort();
    }
    path_ = pattern;
}

TempFolder::~TempFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

RecordSample::RecordSample(std::size_t count) {
    constexpr std::u16string_view kNames[] = {u"Search Engines & Portals", u"News", u"Shopping",
                                              u"Computers & Technology", u"Malware"};
    constexpr std::u16string_view kUsers[] = {u"Unix User\\alice", u"Unix User\\bob"};
    std::mt19937 random(42);
    records.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        std::u16string& url =
            texts.emplace_back(u"\"https://www.example.org/articles/2026/03/item-");
        for (int digit = 0; digit < 6; ++digit) {
            url += static_cast<char16_t>(u'0' + random() % 10);
        }
        url += u".html?ref=feed\"";
        CUrlRecord record;
        record.url = url;
        record.dateText = u"12/31/2025 11:59:59 PM";
        record.userName = kUsers[random() % 2];
        record.action = random() % 4 == 0 ? u"DENIED" : u"ALLOWED";
        CategoryNameList& names = lists.emplace_back();
        for (std::size_t n = random() % 3 + 1; n > 0; --n) {
            names.Add(kNames[random() % 5]);
        }
        record.categories = RecordCategories(&names);
        records.push_back(record);
    }
}

}  // namespace micro
