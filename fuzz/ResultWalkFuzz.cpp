// The result walk over any answer: trees of VARIANTs of every type, any
// nesting, lying counts, null objects, by-reference values, and calls of the
// object library that fail (creation, QueryInterface, Count, KeyAt, ValueAt,
// Get, ItemAt, Execute). The whole run goes through the fake object library
// and the fake platform with in-memory files.
//
// Checked beyond "no crash, no leak": the exit code agrees with the console
// and the report; once the library's state is dropped, no fake object is
// alive, so the program released every reference it took.

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "fuzz/FuzzInput.h"
#include "platform/Entry.h"
#include "tests/fakes/FakeObjectLibrary.h"
#include "tests/fakes/FakePlatform.h"

namespace {

using namespace std::string_view_literals;
using fake::Entry;
using fake::Value;

constexpr std::u16string_view kReportKey = u"/r/report.csv";

HRESULT Code(FuzzedDataProvider& data) {
    static constexpr HRESULT kCodes[] = {S_OK,
                                         S_FALSE,
                                         2,
                                         E_FAIL,
                                         E_INVALIDARG,
                                         DISP_E_BADINDEX,
                                         E_POINTER,
                                         E_NOINTERFACE,
                                         OLE_E_CANTCONVERT,
                                         DISP_E_TYPEMISMATCH};
    const std::size_t pick = data.ConsumeIntegralInRange<std::size_t>(0, std::size(kCodes));
    return pick == std::size(kCodes) ? data.ConsumeIntegral<HRESULT>() : kCodes[pick];
}

DATE Date(FuzzedDataProvider& data) {
    static constexpr DATE kDates[] = {46'000.5,
                                      0.0,
                                      -0.5,
                                      -657'434.0,
                                      -657'435.0,
                                      2'958'465.999'99,
                                      2'958'466.0,
                                      1e308,
                                      std::numeric_limits<double>::infinity(),
                                      std::numeric_limits<double>::quiet_NaN()};
    const std::size_t pick = data.ConsumeIntegralInRange<std::size_t>(0, std::size(kDates));
    return pick == std::size(kDates) ? data.ConsumeFloatingPoint<double>() : kDates[pick];
}

// Builds a tree from the bytes, shaped mostly like an answer so that the
// walk goes deep, with a budget of nodes so that one input stays quick.
class TreeBuilder {
  public:
    explicit TreeBuilder(FuzzedDataProvider& data) : data_(data) {}

    Value Result() { return Shaped(0, Shape::kResult); }

  private:
    enum class Shape { kResult, kUserMap, kVisitList, kVisit, kCategories, kAny };

    bool Spend() { return --budget_ > 0 && data_.remaining_bytes() > 0; }

    Value Shaped(int depth, Shape shape) {
        // Now and then anything at all in place of the expected shape.
        if (!Spend() || depth > 8) {
            return fake::Empty();
        }
        if (data_.ConsumeIntegralInRange(0, 9) == 0) {
            shape = Shape::kAny;
        }
        switch (shape) {
            case Shape::kResult: {
                std::vector<Entry> users;
                const int count = data_.ConsumeIntegralInRange(0, 4);
                for (int i = 0; i < count; ++i) {
                    users.push_back({Key({u"S-1-22-1-0", u"S-1-22-1-1000", u""}),
                                     Shaped(depth + 1, Shape::kUserMap)});
                }
                return Tweaked(fake::ResultMap(std::move(users)));
            }
            case Shape::kUserMap: {
                std::vector<Entry> entries{{Key({u"All"}), Shaped(depth + 1, Shape::kVisitList)}};
                const int extra = data_.ConsumeIntegralInRange(0, 2);
                for (int i = 0; i < extra; ++i) {
                    entries.push_back({Key({u"All", u"Other"}), Any(depth + 1)});
                }
                return Tweaked(fake::Map(std::move(entries)));
            }
            case Shape::kVisitList: {
                std::vector<Value> visits;
                const int count = data_.ConsumeIntegralInRange(0, 12);
                for (int i = 0; i < count; ++i) {
                    visits.push_back(Shaped(depth + 1, Shape::kVisit));
                }
                return Tweaked(fake::List(std::move(visits)));
            }
            case Shape::kVisit: {
                std::vector<Entry> fields;
                static constexpr std::u16string_view kKeys[] = {u"URL", u"DATE", u"ALLOWED",
                                                                u"CATEGORIES"};
                for (const std::u16string_view key : kKeys) {
                    if (data_.ConsumeIntegralInRange(0, 15) != 0) {
                        fields.push_back({fake::Text(key), Field(depth, key)});
                    }
                }
                if (data_.ConsumeIntegralInRange(0, 7) == 0) {
                    fields.push_back({Key({u"URL", u"url"}), Any(depth + 1)});
                }
                return Tweaked(fake::Map(std::move(fields)));
            }
            case Shape::kCategories: {
                std::vector<Value> items;
                const int count = data_.ConsumeIntegralInRange(0, 9);
                for (int i = 0; i < count; ++i) {
                    items.push_back(data_.ConsumeIntegralInRange(0, 7) != 0
                                        ? fake::Int(data_.ConsumeIntegralInRange(-2, 1003))
                                        : Any(depth + 1));
                }
                return Tweaked(fake::List(std::move(items)));
            }
            case Shape::kAny:
                break;
        }
        return Any(depth);
    }

    // A visit's field, mostly of the right type.
    Value Field(int depth, std::u16string_view key) {
        Value value;
        if (data_.ConsumeIntegralInRange(0, 5) == 0) {
            value = Any(depth + 1);
        } else if (key == u"URL") {
            value = data_.ConsumeIntegralInRange(0, 15) == 0
                        ? fake::NullText()
                        : fake::Text(fuzz::Text(data_, 64, u"ab\",\n\0/:\U0001F600"sv));
        } else if (key == u"DATE") {
            value = fake::Date(Date(data_));
        } else if (key == u"ALLOWED") {
            value = fake::Bool(data_.ConsumeIntegral<VARIANT_BOOL>());
        } else {
            value = Shaped(depth + 1, Shape::kCategories);
        }
        return data_.ConsumeIntegralInRange(0, 7) == 0 ? Reference(std::move(value)) : value;
    }

    // A by-reference value. A reference to a reference exists only through a
    // VARIANT (VT_BYREF | VT_VARIANT); VT_BYREF | VT_BYREF is no type.
    Value Reference(Value target) {
        const bool direct = data_.ConsumeBool() && (target.Get().vt & VT_BYREF) == 0;
        return direct ? Value::RefTo(std::move(target)) : Value::RefToVariant(std::move(target));
    }

    Value Key(std::initializer_list<std::u16string_view> usual) {
        switch (data_.ConsumeIntegralInRange(0, 9)) {
            case 0:
                return fake::NullText();
            case 1:
                return fake::Int(7);
            case 2:
                return fake::Text(fuzz::Text(data_, 20));
            default:
                return fake::Text(fuzz::OneOf(data_, usual));
        }
    }

    Value Any(int depth) {
        if (!Spend() || depth > 8) {
            return fake::Empty();
        }
        switch (data_.ConsumeIntegralInRange(0, 13)) {
            case 0:
                return fake::Empty();
            case 1:
                return fake::Text(fuzz::Text(data_, 32));
            case 2:
                return fake::NullText();
            case 3:
                return fake::Date(Date(data_));
            case 4:
                return fake::Bool(data_.ConsumeIntegral<VARIANT_BOOL>());
            case 5:
                return fake::Int(data_.ConsumeIntegral<INT>());
            case 6:
                return fake::I4(data_.ConsumeIntegral<LONG>());
            case 7:
                return fake::NullDispatch();
            case 8:
                return Reference(Any(depth + 1));
            case 9:
                return Shaped(depth + 1, Shape::kVisit);
            case 10:
                return Shaped(depth + 1, Shape::kVisitList);
            case 11:
                return Shaped(depth + 1, Shape::kCategories);
            case 12:
                return Shaped(depth + 1, Shape::kUserMap);
            default: {
                std::vector<Value> items;
                const int count = data_.ConsumeIntegralInRange(0, 3);
                for (int i = 0; i < count; ++i) {
                    items.push_back(Any(depth + 1));
                }
                return Tweaked(fake::List(std::move(items)));
            }
        }
    }

    // A count that lies: a little off, or far beyond what is held.
    LONG Count(LONG size) {
        return data_.ConsumeIntegralInRange(0, 7) == 0
                   ? 0x7FFFFFFF
                   : data_.ConsumeIntegralInRange<LONG>(-2, size + 3);
    }

    // Chosen failures of a map's or list's calls and of its QueryInterface.
    Value Tweaked(Value value) {
        if (data_.ConsumeIntegralInRange(0, 3) != 0) {
            return value;
        }
        fake::FakeObject* object = nullptr;
        if (fake::FakeMap* map = fake::AsMap(value)) {
            object = map;
            const LONG size = static_cast<LONG>(map->entries.size());
            switch (data_.ConsumeIntegralInRange(0, 5)) {
                case 0:
                    map->countCode = Code(data_);
                    break;
                case 1:
                    map->countValue = Count(size);
                    break;
                case 2:
                    map->keyAtCodes[data_.ConsumeIntegralInRange<LONG>(0, size)] = Code(data_);
                    break;
                case 3:
                    map->valueAtCodes[data_.ConsumeIntegralInRange<LONG>(0, size)] = Code(data_);
                    break;
                default:
                    map->getCodes[fuzz::OneOf(
                        data_, {u"All", u"URL", u"DATE", u"ALLOWED", u"CATEGORIES"})] = Code(data_);
                    break;
            }
        } else if (fake::FakeList* list = fake::AsList(value)) {
            object = list;
            const LONG size = static_cast<LONG>(list->items.size());
            switch (data_.ConsumeIntegralInRange(0, 2)) {
                case 0:
                    list->countCode = Code(data_);
                    break;
                case 1:
                    list->countValue = Count(size);
                    break;
                default:
                    list->itemAtCodes[data_.ConsumeIntegralInRange<LONG>(0, size)] = Code(data_);
                    break;
            }
        }
        if (object != nullptr && data_.ConsumeIntegralInRange(0, 5) == 0) {
            if (data_.ConsumeBool()) {
                object->queryYieldsNull = true;
            } else {
                object->queryInterfaceCode = E_NOINTERFACE;
            }
        }
        return value;
    }

    FuzzedDataProvider& data_;
    int budget_ = 600;
};

void SetUpLibrary(FuzzedDataProvider& data, std::size_t users) {
    fake::LibraryState& library = fake::Library();
    if (data.ConsumeIntegralInRange(0, 31) == 0) {
        library.helperCode = static_cast<long>(E_FAIL);
    }
    library.instanceIsNoManager = data.ConsumeIntegralInRange(0, 31) == 0;
    const int rules =
        data.ConsumeIntegralInRange(0, 2) == 0 ? data.ConsumeIntegralInRange(1, 2) : 0;
    for (int i = 0; i < rules; ++i) {
        fake::CreationRule rule;
        rule.className = fuzz::OneOf(
            data, {kClassDatastore, kClassVariantMap, kClassDateTime, kClassDateTimeFilter});
        if (data.ConsumeBool()) {
            rule.occurrence = data.ConsumeIntegralInRange(0, 3);
        }
        switch (data.ConsumeIntegralInRange(0, 2)) {
            case 0:
                rule.code = E_FAIL;
                break;
            case 1:
                rule.yieldsNull = true;
                break;
            default:
                rule.queryInterfaceCode = E_NOINTERFACE;
                break;
        }
        library.creationRules.push_back(std::move(rule));
    }
    TreeBuilder builder(data);
    for (std::size_t i = 0; i < users; ++i) {
        fake::Answer answer;
        answer.code = data.ConsumeIntegralInRange(0, 7) == 0 ? Code(data) : S_OK;
        answer.result = data.ConsumeIntegralInRange(0, 15) == 0 ? fake::Empty() : builder.Result();
        library.answers.push_back(std::move(answer));
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
    FuzzedDataProvider data(bytes, size);
    fake::ResetPlatform();
    fake::ResetLibrary();
    fake::PlatformState& platform = fake::Platform();
    platform.inMemoryFiles = true;
    platform.memoryDirectories.insert(u"/r");
    platform.failDateText = data.ConsumeIntegralInRange(0, 15) == 0;
    platform.utcOffsetMinutes = data.ConsumeIntegralInRange(-900, 900);
    platform.accounts = {{u"S-1-22-1-0", u"Unix User", u"root"}};

    const bool allUsers = data.ConsumeIntegralInRange(0, 3) == 0;
    std::vector<std::u16string> profiles;
    if (!allUsers) {
        const int count = data.ConsumeIntegralInRange(0, 3);
        for (int i = 0; i < count; ++i) {
            profiles.push_back(fuzz::OneOf(data, {u"S-1-22-1-0", u"S-1-22-1-1000"}));
        }
    }
    platform.profiles = profiles;
    SetUpLibrary(data, allUsers ? 1 : profiles.size());

    std::vector<const char16_t*> argv{u"Ostrelin", u"-o:/r/report.csv"};
    if (allUsers) {
        argv.push_back(u"-a");
    }
    const int code = OstrelinMain(static_cast<int>(argv.size()), argv.data());

    fuzz::Check(code == 0 || code == 1, "exit code neither 0 nor 1");
    const std::string& console = platform.console;
    if (code == 0) {
        fuzz::Check(console.ends_with("Proccess finished ok with output : /r//report.csv\n"),
                    "exit 0 without the success line", console);
        fuzz::Check(platform.memoryFiles.count(std::u16string(kReportKey)) != 0,
                    "exit 0 without a report");
    } else {
        fuzz::Check(console.ends_with("Proccess finished whith errors\n"),
                    "exit 1 without the failure line", console);
    }
    if (platform.memoryFiles.count(std::u16string(kReportKey)) != 0) {
        const std::string& report = platform.memoryFiles.at(std::u16string(kReportKey));
        fuzz::Check(report.size() >= 180 && report.size() % 2 == 0 && report.ends_with("\n\0"sv),
                    "a report that is no sequence of whole lines");
    }

    fake::ResetLibrary();
    fuzz::Check(fake::LiveObjects() == 0, "objects of the library left alive",
                fake::DescribeLiveObjects());
    return 0;
}
