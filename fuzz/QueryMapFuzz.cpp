// The stand-in's datastore given any query: maps built through the library's
// own objects with any keys and values (texts, numbers, nested maps, filters
// with ends set or not, by-reference values), maps of another implementation
// that lie and fail, and values that are no map at all, executed against a
// small datastore of known visits.
//
// Checked beyond "no crash, no leak": a query built of the library's own maps
// is answered exactly as a model of the query language says: refused when it
// breaks a rule, else precisely the visits of the asked users inside the
// window, users in SID order, visits oldest first, at most maxResults of
// them. A refused query leaves its result empty. Afterwards no object of the
// library and no foreign map is alive.

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "datastore/CreateManager.h"
#include "datastore/ObjectAccess.h"
#include "fuzz/FuzzInput.h"
#include "fuzz/HostileMap.h"
#include "objectlib/Diagnostics.h"
#include "objectlib/store/UtcTime.h"
#include "objectlib/store/Writer.h"
#include "platform/Text.h"
#include "platform/UniqueVariant.h"

namespace {

struct StoredVisit {
    std::u16string user;
    std::u16string url;
    std::int64_t timeMs;
    bool allowed;
    std::vector<std::int32_t> categories;
};

constexpr std::int64_t kDayMs = 86'400'000;
constexpr std::int64_t kBase = 1'700'000'000'000;  // November 2023

const std::vector<StoredVisit>& Stored() {
    static const std::vector<StoredVisit> visits = {
        {u"S-1-22-1-1000", u"https://a.example/1", kBase, true, {42}},
        {u"S-1-22-1-1000", u"https://a.example/2", kBase + 1, false, {}},
        {u"S-1-22-1-1000", u"https://a.example/3", kBase - kDayMs, true, {1, 2, 3, 4, 5, 6}},
        {u"S-1-22-1-0", u"https://b.example/1", kBase, true, {0}},
        {u"S-1-22-1-0", u"https://b.example/2", kBase + 5 * kDayMs, true, {1001}},
        {u"S-1-22-1-0", u"https://b.example/3", kBase + 1, false, {8}},
        {u"S-1-22-1-0", u"https://b.example/tie", kBase + 1, true, {}},
        {u"S-\u00e9", u"https://c.example/\U0001F600", kBase - 400 * kDayMs, true, {-1}},
        {u"S-\u00e9", u"https://c.example/\"q\",x", kBase + 2, true, {}},
        {u"S-1-22-1-1001", u"https://d.example/old", -11'644'473'600'000, true, {}},
        {u"S-1-22-1-1001", u"https://d.example/late", 253'402'300'799'999, false, {7}},
    };
    return visits;
}

// The instants a window's ends are taken from: each visit's time and its
// neighbours.
std::int64_t Instant(FuzzedDataProvider& data) {
    const auto& visits = Stored();
    const std::size_t pick = data.ConsumeIntegralInRange<std::size_t>(0, visits.size() - 1);
    return visits[pick].timeMs + data.ConsumeIntegralInRange(-1, 1);
}

std::filesystem::path& DatastoreDirectory() {
    static std::filesystem::path directory;
    return directory;
}

void RemoveDatastore() {
    std::error_code ignored;
    std::filesystem::remove_all(DatastoreDirectory(), ignored);
}

// What the model knows of a value set into a map.
struct Intent {
    VARTYPE vt = VT_EMPTY;
    std::u16string text;  // of a VT_BSTR
    // Of one of the library's filters (`isFilter`: valid when both ends are
    // set) or of one of its maps used as "dateTimeFilters" (`isFilters`:
    // valid when the query language accepts it); the window of either.
    bool isFilter = false;
    bool isFilters = false;
    bool validFilters = false;
    std::int64_t startMs = INT64_MIN;
    std::int64_t endMs = INT64_MAX;
};

class QueryBuilder {
  public:
    QueryBuilder(FuzzedDataProvider& data, NSVumoUtil::IHLPKELOManager& manager)
        : data_(data), manager_(manager) {}

    // The query argument; `model` gets the entries of a top-level map of the
    // library's own (nullopt for anything else).
    platform::UniqueVariant Query(
        std::optional<std::vector<std::pair<std::u16string, Intent>>>& model) {
        const int kind = data_.ConsumeIntegralInRange(0, 15);
        if (kind < 12) {
            std::vector<std::pair<std::u16string, Intent>> entries;
            platform::UniqueVariant map = OwnMap(0, &entries, false);
            if (map.Type() == VT_DISPATCH) {
                model = std::move(entries);
            }
            return map;
        }
        return Any(0).first;
    }

  private:
    bool Spend() { return --budget_ > 0 && data_.remaining_bytes() > 0; }

    // A "Kelo.VariantMap" with entries set from the bytes; `entries` gets the
    // model's view of what it holds in the end.
    platform::UniqueVariant OwnMap(int depth,
                                   std::vector<std::pair<std::u16string, Intent>>* entries,
                                   bool filters) {
        OwningHolder<IVariantMap> map;
        if (FAILED(CreateAs(manager_, kClassVariantMap, map))) {
            return platform::UniqueVariant();
        }
        // Mostly the keys a well-formed map has, in order, then a few of any
        // kind; when the bytes run out every choice falls back to the
        // well-formed one, so short inputs make valid queries.
        std::vector<std::u16string_view> planned;
        if (data_.ConsumeIntegralInRange(0, 3) != 3) {
            if (filters) {
                planned = {u"All"};
            } else {
                planned = {u"command", u"queryType", u"countersType", u"user"};
                if (data_.ConsumeBool()) {
                    planned.push_back(u"maxResults");
                }
                if (depth == 0 && !data_.ConsumeBool()) {
                    planned.push_back(u"dateTimeFilters");
                }
            }
        }
        const int count = static_cast<int>(planned.size()) +
                          data_.ConsumeIntegralInRange(0, planned.empty() ? 8 : 2);
        for (int i = 0; i < count && (i < static_cast<int>(planned.size()) || Spend()); ++i) {
            platform::UniqueVariant key;
            std::optional<std::u16string> keyText;
            switch (i < static_cast<int>(planned.size()) ? -1
                                                         : data_.ConsumeIntegralInRange(0, 11)) {
                case -1:
                    key = platform::UniqueVariant::Text(planned[static_cast<std::size_t>(i)]);
                    break;
                case 10:
                    key = platform::UniqueVariant::Text(fuzz::Text(data_, 12));
                    break;
                case 11:
                    key = Any(depth + 1).first;  // mostly no text at all
                    break;
                default:
                    key = platform::UniqueVariant::Text(
                        filters ? fuzz::OneOf(data_, {u"All", u"all"})
                                : fuzz::OneOf(data_,
                                              {u"command", u"queryType", u"countersType", u"user",
                                               u"maxResults", u"dateTimeFilters", u"All"}));
                    break;
            }
            if (key.Type() == VT_BSTR) {
                keyText = std::u16string(BstrView(key.Get().bstrVal));
            }
            auto [value, intent] = ValueFor(depth, keyText.value_or(u""), filters);
            if (data_.ConsumeIntegralInRange(0, 9) == 9) {
                value = ByReference(value);
            }
            const HRESULT set = map->Set(key.Get(), value.Get());
            if (keyText && entries != nullptr && set == S_OK) {
                const auto held = std::find_if(entries->begin(), entries->end(),
                                               [&](const auto& e) { return e.first == *keyText; });
                if (held != entries->end()) {
                    held->second = intent;
                } else {
                    entries->emplace_back(*keyText, intent);
                }
            }
            fuzz::Check(keyText.has_value() == (set == S_OK),
                        "Set takes exactly the entries with text keys");
        }
        platform::UniqueVariant result = platform::UniqueVariant::Dispatch(map.Get());
        return result;
    }

    std::pair<platform::UniqueVariant, Intent> ValueFor(int depth, std::u16string_view key,
                                                        bool filters) {
        if (data_.ConsumeIntegralInRange(0, 7) == 7) {
            return Any(depth + 1);
        }
        if (filters) {
            return Filter();
        }
        if (key == u"command") {
            return Text({u"query", u"Query", u""});
        }
        if (key == u"queryType") {
            return Text({u"urls", u"url"});
        }
        if (key == u"countersType") {
            return Text({u"total"});
        }
        if (key == u"user") {
            return Text({u"ALL", u"S-1-22-1-1000", u"S-1-22-1-0", u"S-\u00e9", u"S-1-22-1-1001",
                         u"S-1-22-1-7", u""});
        }
        if (key == u"maxResults") {
            return Text({u"4294967295", u"0", u"1", u"2", u"3", u"5", u"0003", u"4294967296", u"-1",
                         u"", u"12345678901", u" 1"});
        }
        if (key == u"dateTimeFilters" && depth < 2) {
            return FiltersMap(depth, true);
        }
        return Any(depth + 1);
    }

    // One of the library's maps, as the model sees it when it is given as
    // "dateTimeFilters": valid when empty or holding "All" alone with a filter
    // whose ends are set.
    std::pair<platform::UniqueVariant, Intent> FiltersMap(int depth, bool filterKeys) {
        std::vector<std::pair<std::u16string, Intent>> entries;
        std::pair<platform::UniqueVariant, Intent> made{OwnMap(depth + 1, &entries, filterKeys),
                                                        Intent{}};
        Intent& intent = made.second;
        intent.vt = made.first.Type();
        intent.isFilters = intent.vt == VT_DISPATCH;
        if (entries.empty()) {
            intent.validFilters = true;
        } else if (entries.size() == 1 && entries[0].first == u"All" &&
                   entries[0].second.isFilter && entries[0].second.validFilters) {
            intent.validFilters = true;
            intent.startMs = entries[0].second.startMs;
            intent.endMs = entries[0].second.endMs;
        }
        return made;
    }

  public:
    // A map of another implementation somewhere in the query: its answers
    // are its own, so the model does not apply.
    bool HasForeignMap() const { return foreign_; }

  private:
    std::pair<platform::UniqueVariant, Intent> Text(
        std::initializer_list<std::u16string_view> choices) {
        std::pair<platform::UniqueVariant, Intent> made;
        if (data_.ConsumeIntegralInRange(0, 15) == 15) {
            VARIANT null;
            VariantInit(&null);
            null.vt = VT_BSTR;
            null.bstrVal = nullptr;
            made.first = platform::UniqueVariant(null);
        } else {
            // Mostly the first, well-formed choice.
            made.second.text = data_.ConsumeIntegralInRange(0, 3) != 3
                                   ? std::u16string(*choices.begin())
                                   : fuzz::OneOf(data_, choices);
            made.first = platform::UniqueVariant::Text(made.second.text);
        }
        made.second.vt = VT_BSTR;
        return made;
    }

    // A loaded date-time object and the instant it holds, or one left empty.
    OwningHolder<IKELODateTime> DateTime(std::optional<std::int64_t>& time) {
        OwningHolder<IKELODateTime> dateTime;
        if (FAILED(CreateAs(manager_, kClassDateTime, dateTime))) {
            return dateTime;
        }
        if (data_.ConsumeIntegralInRange(0, 7) == 7) {
            return dateTime;
        }
        SYSTEMTIME utc{};
        if (data_.ConsumeIntegralInRange(0, 5) != 5) {
            const kelo::UtcFields f = kelo::FieldsFromMilliseconds(Instant(data_));
            utc = SYSTEMTIME{static_cast<WORD>(f.year),
                             static_cast<WORD>(f.month),
                             0,
                             static_cast<WORD>(f.day),
                             static_cast<WORD>(f.hour),
                             static_cast<WORD>(f.minute),
                             static_cast<WORD>(f.second),
                             static_cast<WORD>(f.millisecond)};
        } else {
            utc = SYSTEMTIME{data_.ConsumeIntegral<WORD>(), data_.ConsumeIntegral<WORD>(),
                             data_.ConsumeIntegral<WORD>(), data_.ConsumeIntegral<WORD>(),
                             data_.ConsumeIntegral<WORD>(), data_.ConsumeIntegral<WORD>(),
                             data_.ConsumeIntegral<WORD>(), data_.ConsumeIntegral<WORD>()};
        }
        const long loaded = NSVumoUtil::ConvertFromSystemTime(utc, *dateTime.Get());
        time = kelo::MillisecondsFromFields({utc.wYear, utc.wMonth, utc.wDay, utc.wHour,
                                             utc.wMinute, utc.wSecond, utc.wMilliseconds},
                                            1601, 30827);
        fuzz::Check((loaded == S_OK) == time.has_value(),
                    "ConvertFromSystemTime accepts exactly the real instants");
        return dateTime;
    }

    // A filter with its ends set, or not, as the model tracks them.
    std::pair<platform::UniqueVariant, Intent> Filter() {
        std::pair<platform::UniqueVariant, Intent> made;
        OwningHolder<IDateTimeFilter> filter;
        if (FAILED(CreateAs(manager_, kClassDateTimeFilter, filter))) {
            return made;
        }
        std::optional<std::int64_t> start;
        std::optional<std::int64_t> end;
        // Mostly the start and then the end, then further calls.
        const bool both = data_.ConsumeIntegralInRange(0, 7) != 7;
        const int calls = (both ? 2 : 0) + data_.ConsumeIntegralInRange(0, 2);
        for (int i = 0; i < calls; ++i) {
            const bool isStart = both && i < 2 ? i == 0 : data_.ConsumeBool();
            std::optional<std::int64_t> time;
            OwningHolder<IKELODateTime> dateTime;
            if (data_.ConsumeIntegralInRange(0, 9) != 9) {
                dateTime = DateTime(time);
            }
            const HRESULT hr =
                isStart ? filter->SetStart(dateTime.Get()) : filter->SetEnd(dateTime.Get());
            fuzz::Check(SUCCEEDED(hr) == time.has_value(),
                        "a filter takes exactly the loaded date-time objects");
            if (time) {
                (isStart ? start : end) = time;
            }
        }
        made.first = platform::UniqueVariant::Dispatch(filter.Get());
        made.second.vt = VT_DISPATCH;
        made.second.isFilter = true;
        made.second.validFilters = start && end;
        made.second.startMs = start.value_or(0);
        made.second.endMs = end.value_or(0);
        return made;
    }

    // A by-reference value to `value`, which is kept until the query goes.
    platform::UniqueVariant ByReference(platform::UniqueVariant& value) {
        const bool toVariant = data_.ConsumeBool();
        if (!toVariant && value.Type() != VT_BSTR && value.Type() != VT_DISPATCH) {
            return std::move(value);
        }
        held_.push_back(std::make_unique<platform::UniqueVariant>(std::move(value)));
        VARIANT& target = *held_.back()->Out();
        VARIANT reference;
        VariantInit(&reference);
        if (toVariant) {
            reference.vt = VT_BYREF | VT_VARIANT;
            reference.pvarVal = &target;
        } else {
            reference.vt = static_cast<VARTYPE>(VT_BYREF | target.vt);
            reference.byref = &target.bstrVal;
        }
        return platform::UniqueVariant(reference);
    }

    std::pair<platform::UniqueVariant, Intent> Any(int depth) {
        std::pair<platform::UniqueVariant, Intent> made;
        VARIANT value;
        VariantInit(&value);
        switch (data_.ConsumeIntegralInRange(0, 9)) {
            case 0:
                break;
            case 1:
                value.vt = VT_I4;
                value.lVal = data_.ConsumeIntegral<LONG>();
                break;
            case 2:
                value.vt = VT_DISPATCH;
                value.pdispVal = nullptr;
                break;
            case 3:
                value.vt = VT_BOOL;
                value.boolVal = VARIANT_TRUE;
                break;
            case 4:
                return Text({u"query", u"4294967295"});
            case 5:
                if (depth < 3) {
                    return FiltersMap(depth, data_.ConsumeBool());
                }
                break;
            case 6:
                return Filter();
            case 7:
                if (depth < 3) {
                    made.first = Hostile(depth);
                    made.second.vt = VT_DISPATCH;
                    return made;
                }
                break;
            case 8: {
                // An object of the library that is no map.
                OwningHolder<IDatastore> datastore;
                if (SUCCEEDED(CreateAs(manager_, kClassDatastore, datastore))) {
                    made.first = platform::UniqueVariant::Dispatch(datastore.Get());
                    made.second.vt = VT_DISPATCH;
                }
                return made;
            }
            default:
                value.vt = VT_DATE;
                value.date = data_.ConsumeFloatingPoint<double>();
                break;
        }
        made.second.vt = value.vt;
        made.first = platform::UniqueVariant(value);
        return made;
    }

    platform::UniqueVariant Hostile(int depth) {
        foreign_ = true;
        auto* map = new fuzz::HostileMap();
        const int count = data_.ConsumeIntegralInRange(0, 6);
        for (int i = 0; i < count && Spend(); ++i) {
            platform::UniqueVariant key =
                data_.ConsumeIntegralInRange(0, 5) == 0
                    ? Any(depth + 1).first
                    : platform::UniqueVariant::Text(
                          fuzz::OneOf(data_, {u"command", u"queryType", u"countersType", u"user",
                                              u"All", u"dateTimeFilters"}));
            platform::UniqueVariant value =
                ValueFor(depth + 1, BstrView(key.Type() == VT_BSTR ? key.Get().bstrVal : nullptr),
                         false)
                    .first;
            map->Add(key.Detach(), value.Detach());
        }
        switch (data_.ConsumeIntegralInRange(0, 5)) {
            case 0:
                map->countShown = data_.ConsumeIntegralInRange(0, count + 3);
                break;
            case 1:
                map->countCode = E_FAIL;
                break;
            case 2:
                map->failAt[data_.ConsumeIntegralInRange(0, count)] = E_FAIL;
                break;
            case 3:
                map->refuseQueries = true;
                break;
            default:
                break;
        }
        VARIANT value;
        VariantInit(&value);
        value.vt = VT_DISPATCH;
        value.pdispVal = map;
        return platform::UniqueVariant(value);
    }

    FuzzedDataProvider& data_;
    NSVumoUtil::IHLPKELOManager& manager_;
    std::vector<std::unique_ptr<platform::UniqueVariant>> held_;
    int budget_ = 200;
    bool foreign_ = false;
};

// The model of a query made of the library's own maps: nullopt when the
// query language refuses it, else the visits the answer must hold.
std::optional<std::vector<const StoredVisit*>> Expected(
    const std::vector<std::pair<std::u16string, Intent>>& entries) {
    const auto find = [&](std::u16string_view key) -> const Intent* {
        for (const auto& [name, intent] : entries) {
            if (name == key) {
                return &intent;
            }
        }
        return nullptr;
    };
    for (const auto& [name, intent] : entries) {
        if (name != u"command" && name != u"queryType" && name != u"countersType" &&
            name != u"user" && name != u"maxResults" && name != u"dateTimeFilters") {
            return std::nullopt;
        }
    }
    const auto isText = [](const Intent* intent, std::u16string_view text) {
        return intent != nullptr && intent->vt == VT_BSTR && intent->text == text;
    };
    const Intent* user = find(u"user");
    if (!isText(find(u"command"), u"query") || !isText(find(u"queryType"), u"urls") ||
        !isText(find(u"countersType"), u"total") || user == nullptr || user->vt != VT_BSTR) {
        return std::nullopt;
    }
    std::optional<std::uint64_t> maxResults;
    if (const Intent* limit = find(u"maxResults")) {
        const std::u16string& digits = limit->text;
        if (limit->vt != VT_BSTR || digits.empty() || digits.size() > 10 ||
            !std::all_of(digits.begin(), digits.end(),
                         [](char16_t c) { return c >= u'0' && c <= u'9'; })) {
            return std::nullopt;
        }
        maxResults = std::stoull(std::string(digits.begin(), digits.end()));
        if (*maxResults > 0xFFFFFFFFu) {
            return std::nullopt;
        }
    }
    std::int64_t start = INT64_MIN;
    std::int64_t end = INT64_MAX;
    if (const Intent* filters = find(u"dateTimeFilters")) {
        if (!filters->isFilters || !filters->validFilters) {
            return std::nullopt;
        }
        start = filters->startMs;
        end = filters->endMs;
    }
    std::vector<const StoredVisit*> chosen;
    for (const StoredVisit& visit : Stored()) {
        if ((user->text == u"ALL" || visit.user == user->text) && start <= visit.timeMs &&
            visit.timeMs <= end) {
            chosen.push_back(&visit);
        }
    }
    // Oldest first, ties in storage order; the limit keeps the oldest.
    std::stable_sort(chosen.begin(), chosen.end(),
                     [](const auto* a, const auto* b) { return a->timeMs < b->timeMs; });
    if (maxResults && chosen.size() > *maxResults) {
        chosen.resize(*maxResults);
    }
    // Users by SID (code point order, as UTF-8 compares), each keeping the order.
    std::stable_sort(chosen.begin(), chosen.end(), [](const auto* a, const auto* b) {
        return platform::Utf16ToUtf8(a->user) < platform::Utf16ToUtf8(b->user);
    });
    return chosen;
}

// The answer read back through the interfaces, every type checked.
std::vector<StoredVisit> ReadAnswer(const VARIANT& result) {
    std::vector<StoredVisit> read;
    OwningHolder<IVariantMap> users;
    fuzz::Check(SUCCEEDED(DispatchAs(result, users)), "answer is no map");
    LONG userCount = 0;
    users->Count(&userCount);
    const platform::UniqueVariant all = platform::UniqueVariant::Text(u"All");
    for (LONG u = 0; u < userCount; ++u) {
        platform::UniqueVariant key;
        platform::UniqueVariant value;
        fuzz::Check(users->KeyAt(u, key.Out()) == S_OK && key.Type() == VT_BSTR, "user key");
        fuzz::Check(users->ValueAt(u, value.Out()) == S_OK, "user value");
        OwningHolder<IVariantMap> userMap;
        fuzz::Check(SUCCEEDED(DispatchAs(value.Get(), userMap)), "user map");
        platform::UniqueVariant listValue;
        fuzz::Check(userMap->Get(all.Get(), listValue.Out()) == S_OK, "no visit list");
        OwningHolder<IVariantList> list;
        fuzz::Check(SUCCEEDED(DispatchAs(listValue.Get(), list)), "list");
        LONG items = 0;
        list->Count(&items);
        fuzz::Check(items > 0, "a user without visits in the answer");
        for (LONG i = 0; i < items; ++i) {
            platform::UniqueVariant item;
            fuzz::Check(list->ItemAt(i, item.Out()) == S_OK, "item");
            OwningHolder<IVariantMap> visit;
            fuzz::Check(SUCCEEDED(DispatchAs(item.Get(), visit)), "visit map");
            StoredVisit got{std::u16string(BstrView(key.Get().bstrVal)), {}, 0, false, {}};
            for (const char16_t* name : {u"URL", u"ALLOWED", u"CATEGORIES"}) {
                platform::UniqueVariant field;
                fuzz::Check(
                    visit->Get(platform::UniqueVariant::Text(name).Get(), field.Out()) == S_OK,
                    "visit field");
                if (field.Type() == VT_BSTR) {
                    got.url = BstrView(field.Get().bstrVal);
                } else if (field.Type() == VT_BOOL) {
                    got.allowed = field.Get().boolVal != 0;
                } else {
                    OwningHolder<IVariantList> numbers;
                    fuzz::Check(SUCCEEDED(DispatchAs(field.Get(), numbers)), "categories list");
                    LONG count = 0;
                    numbers->Count(&count);
                    for (LONG n = 0; n < count; ++n) {
                        platform::UniqueVariant number;
                        fuzz::Check(
                            numbers->ItemAt(n, number.Out()) == S_OK && number.Type() == VT_INT,
                            "category number");
                        got.categories.push_back(number.Get().intVal);
                    }
                }
            }
            read.push_back(std::move(got));
        }
    }
    return read;
}

void Compare(const std::vector<const StoredVisit*>& expected,
             const std::vector<StoredVisit>& read) {
    fuzz::Check(expected.size() == read.size(), "answer holds other visits than the model",
                std::to_string(expected.size()) + " expected, " + std::to_string(read.size()));
    for (std::size_t i = 0; i < read.size(); ++i) {
        const StoredVisit& want = *expected[i];
        fuzz::Check(want.user == read[i].user && want.url == read[i].url &&
                        want.allowed == read[i].allowed && want.categories == read[i].categories,
                    "answer differs from the model", platform::Utf16ToUtf8(read[i].url));
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    char pattern[] = "/tmp/ostrelin-fuzz-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        fuzz::Fail("no temporary directory");
    }
    DatastoreDirectory() = pattern;
    std::atexit(RemoveDatastore);
    const std::filesystem::path file = DatastoreDirectory() / "datastore.db";
    std::string error;
    {
        auto writer = kelo::DatastoreWriter::Open(file, kelo::OpenMode::kCreateNew, error);
        fuzz::Check(writer && writer->Begin(error), "cannot make the datastore", error);
        for (const StoredVisit& visit : Stored()) {
            fuzz::Check(
                writer->Add(platform::Utf16ToUtf8(visit.user), platform::Utf16ToUtf8(visit.url),
                            visit.timeMs, visit.allowed, visit.categories, error),
                "cannot store a visit", error);
        }
        fuzz::Check(writer->Commit(error), "cannot commit", error);
    }
    setenv("KELO_DATASTORE", file.c_str(), 1);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    {
        ManagerHolder manager;
        fuzz::Check(CreateManager(manager) == 0, "no manager");
        OwningHolder<IDatastore> datastore;
        fuzz::Check(SUCCEEDED(CreateAs(*manager.Get(), kClassDatastore, datastore)),
                    "no datastore");
        QueryBuilder builder(data, *manager.Get());
        std::optional<std::vector<std::pair<std::u16string, Intent>>> model;
        const platform::UniqueVariant query = builder.Query(model);

        // The out may still hold an earlier value, which the callee frees.
        platform::UniqueVariant result = data.ConsumeBool()
                                             ? platform::UniqueVariant::Text(u"earlier")
                                             : platform::UniqueVariant();
        const HRESULT hr = datastore->Execute(query.Get(), result.Out());
        if (FAILED(hr)) {
            fuzz::Check(result.Type() == VT_EMPTY, "a refused query left a result");
        }
        if (model && !builder.HasForeignMap()) {
            const auto expected = Expected(*model);
            fuzz::Check(expected.has_value() == SUCCEEDED(hr),
                        expected ? "a valid query was refused" : "an invalid query was answered",
                        std::to_string(hr));
            if (expected) {
                Compare(*expected, ReadAnswer(result.Get()));
            }
        } else if (SUCCEEDED(hr)) {
            ReadAnswer(result.Get());
        }
    }
    fuzz::Check(NSVumoUtil::LiveObjectCount() == 0, "objects of the library left alive",
                std::to_string(NSVumoUtil::LiveObjectCount()));
    fuzz::Check(fuzz::HostileMapsAlive() == 0, "a foreign map's reference kept or lost");
    return 0;
}
