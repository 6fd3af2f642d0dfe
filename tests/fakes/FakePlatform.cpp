#include "tests/fakes/FakePlatform.h"

#if __has_include(<sanitizer/asan_interface.h>)
#include <sanitizer/asan_interface.h>
#else
#define ASAN_POISON_MEMORY_REGION(start, bytes) ((void)(start), (void)(bytes))
#define ASAN_UNPOISON_MEMORY_REGION(start, bytes) ((void)(start), (void)(bytes))
#endif

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "platform/Accounts.h"
#include "platform/Clock.h"
#include "platform/Console.h"
#include "platform/DateText.h"
#include "platform/Files.h"
#include "platform/Memory.h"
#include "platform/Profiles.h"
#include "platform/SystemInfo.h"
#include "platform/SystemTimeRules.h"
#include "platform/Text.h"

namespace fake {

PlatformState& Platform() {
    static PlatformState state;
    return state;
}

void ResetPlatform() {
    Platform() = PlatformState{};
}

}  // namespace fake

namespace {

using fake::Platform;

constexpr std::int64_t kUnitsPerMillisecond = 10'000;
constexpr std::int64_t kUnitsPerMinute = 60'000 * kUnitsPerMillisecond;
constexpr std::int64_t kUnitsPerDay = 1440 * kUnitsPerMinute;
// Days from 1601-01-01 to 1970-01-01.
constexpr std::int64_t kEpochDays1601 = 134'774;

bool IsValid(const SYSTEMTIME& t) {
    return platform::IsValidSystemDate(t) && platform::IsValidTimeOfDay(t);
}

bool ToUnits(const SYSTEMTIME& t, std::int64_t& units) {
    if (!IsValid(t)) {
        return false;
    }
    const std::int64_t days =
        platform::calendar::DaysFromDate(t.wYear, t.wMonth, t.wDay) + kEpochDays1601;
    units = days * kUnitsPerDay +
            ((t.wHour * 60 + t.wMinute) * 60 + t.wSecond) * 1000 * kUnitsPerMillisecond +
            t.wMilliseconds * kUnitsPerMillisecond;
    return true;
}

bool FromUnits(std::int64_t units, SYSTEMTIME& t) {
    if (units < 0) {
        return false;
    }
    const std::int64_t days = units / kUnitsPerDay;
    const platform::calendar::Date date = platform::calendar::DateFromDays(days - kEpochDays1601);
    if (date.year > platform::kMaxSystemYear) {
        return false;
    }
    t.wYear = static_cast<WORD>(date.year);
    t.wMonth = static_cast<WORD>(date.month);
    t.wDay = static_cast<WORD>(date.day);
    t.wDayOfWeek = static_cast<WORD>(platform::calendar::WeekdayFromDays(days - kEpochDays1601));
    const platform::calendar::TimeOfDay time = platform::calendar::TimeOfDayFromMilliseconds(
        (units % kUnitsPerDay) / kUnitsPerMillisecond);
    t.wHour = static_cast<WORD>(time.hour);
    t.wMinute = static_cast<WORD>(time.minute);
    t.wSecond = static_cast<WORD>(time.second);
    t.wMilliseconds = static_cast<WORD>(time.millisecond);
    return true;
}

bool Shift(const SYSTEMTIME& in, std::int64_t minutes, SYSTEMTIME& out) {
    std::int64_t units = 0;
    return ToUnits(in, units) && FromUnits(units + minutes * kUnitsPerMinute, out);
}

bool Deliver(const std::u16string& made, std::u16string& text, std::uint32_t bufferUnits) {
    if (made.size() + 1 > bufferUnits) {
        return false;
    }
    text = made;
    return true;
}

class FakeProfileList final : public platform::ProfileList {
  public:
    explicit FakeProfileList(std::vector<std::u16string> names) : names_(std::move(names)) {
        Platform().profileListOpen = true;
    }
    ~FakeProfileList() override { Platform().profileListOpen = false; }

    long EnumName(std::uint32_t index, std::u16string& name,
                  std::uint32_t nameBufferUnits) override {
        if (Platform().profileEnumFailIndex && *Platform().profileEnumFailIndex == index) {
            return Platform().profileEnumFailCode;
        }
        if (index >= names_.size()) {
            return platform::kProfileEnumNoMoreItems;
        }
        if (names_[index].size() + 1 > nameBufferUnits) {
            return 234;  // ERROR_MORE_DATA
        }
        name = names_[index];
        return platform::kProfileEnumOk;
    }

  private:
    std::vector<std::u16string> names_;
};

// The heap, so that the sanitizers watch the records' storage too. A block
// given back is kept, poisoned, for the next program object: a fuzz target
// makes one per input and would otherwise map and fault in megabytes each time.
class ReusingHeap final : public std::pmr::memory_resource {
  public:
    ReusingHeap() = default;
    ReusingHeap(const ReusingHeap&) = delete;
    ReusingHeap& operator=(const ReusingHeap&) = delete;
    ~ReusingHeap() override {
        for (const Block& block : kept_) {
            ASAN_UNPOISON_MEMORY_REGION(block.start, block.bytes);
            Heap()->deallocate(block.start, block.bytes, block.alignment);
        }
    }

  private:
    struct Block {
        void* start;
        std::size_t bytes;
        std::size_t alignment;
    };
    static constexpr std::size_t kMostKept = 4;

    static std::pmr::memory_resource* Heap() { return std::pmr::new_delete_resource(); }

    void* do_allocate(std::size_t bytes, std::size_t alignment) override {
        for (auto block = kept_.begin(); block != kept_.end(); ++block) {
            if (block->bytes == bytes && block->alignment == alignment) {
                void* start = block->start;
                kept_.erase(block);
                ASAN_UNPOISON_MEMORY_REGION(start, bytes);
                return start;
            }
        }
        return Heap()->allocate(bytes, alignment);
    }
    void do_deallocate(void* start, std::size_t bytes, std::size_t alignment) override {
        if (kept_.size() < kMostKept) {
            ASAN_POISON_MEMORY_REGION(start, bytes);
            kept_.push_back({start, bytes, alignment});
            return;
        }
        Heap()->deallocate(start, bytes, alignment);
    }
    bool do_is_equal(const std::pmr::memory_resource& other) const noexcept override {
        return this == &other;
    }

    std::vector<Block> kept_;
};

}  // namespace

namespace platform {

std::pmr::memory_resource* BulkMemory() {
    static ReusingHeap heap;
    return &heap;
}

void ConsoleWriteNarrow(std::string_view text) {
    Platform().console.append(text);
    Platform().narrowConsole.append(text);
}

void ConsoleWriteWide(std::u16string_view text) {
    Platform().console += Utf16ToUtf8(text);
    Platform().wideConsole.append(text);
}

void ConsoleFlush() {}

bool ReadComputerName(std::u16string& name, std::uint32_t bufferUnits) {
    const auto& configured = Platform().computerName;
    if (!configured || configured->size() + 1 > bufferUnits) {
        return false;
    }
    name = *configured;
    return true;
}

std::uint32_t ReadCurrentDirectory(std::u16string& directory, std::uint32_t bufferUnits) {
    if (Platform().failCurrentDirectory) {
        return 0;
    }
    std::u16string current;
    if (Platform().currentDirectory) {
        current = *Platform().currentDirectory;
    } else {
        std::error_code error;
        current = std::filesystem::current_path(error).u16string();
        if (error) {
            return 0;
        }
    }
    if (current.size() + 1 > bufferUnits) {
        return static_cast<std::uint32_t>(current.size() + 1);
    }
    directory = current;
    return static_cast<std::uint32_t>(current.size());
}

std::unique_ptr<ProfileList> ProfileList::Open() {
    ++Platform().profileOpenCount;
    if (!Platform().profiles) {
        return nullptr;
    }
    return std::make_unique<FakeProfileList>(*Platform().profiles);
}

bool LookupAccount(std::u16string_view sidText, std::u16string& domain, std::u16string& name) {
    ++Platform().accountLookupCount;
    for (const fake::Account& account : Platform().accounts) {
        if (account.sidText == sidText) {
            domain = account.domain;
            name = account.name;
            return true;
        }
    }
    return false;
}

SYSTEMTIME LocalNow() {
    return Platform().localNow;
}

SYSTEMTIME UtcNow() {
    if (Platform().utcNow) {
        return *Platform().utcNow;
    }
    SYSTEMTIME utc{};
    Shift(Platform().localNow, -Platform().utcOffsetMinutes, utc);
    return utc;
}

bool LocalToUtc(const SYSTEMTIME& local, SYSTEMTIME& utc) {
    return !Platform().failLocalToUtc && Shift(local, -Platform().utcOffsetMinutes, utc);
}

bool UtcToLocal(const SYSTEMTIME& utc, SYSTEMTIME& local) {
    return !Platform().failUtcToLocal && Shift(utc, Platform().utcOffsetMinutes, local);
}

bool SystemTimeToFileTimeUnits(const SYSTEMTIME& time, FILETIME& fileTime) {
    std::int64_t units = 0;
    if (!ToUnits(time, units)) {
        return false;
    }
    fileTime.dwLowDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(units));
    fileTime.dwHighDateTime = static_cast<DWORD>(static_cast<std::uint64_t>(units) >> 32);
    return true;
}

bool FileTimeUnitsToSystemTime(const FILETIME& fileTime, SYSTEMTIME& time) {
    const std::uint64_t units =
        (std::uint64_t{fileTime.dwHighDateTime} << 32) | fileTime.dwLowDateTime;
    return units <= 0x7FFFFFFFFFFFFFFFull && FromUnits(static_cast<std::int64_t>(units), time);
}

bool FormatShortDate(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits) {
    if (Platform().failDateText || !IsValid(time)) {
        return false;
    }
    return Deliver(DecimalText(time.wMonth, 1) + u"/" + DecimalText(time.wDay, 1) + u"/" +
                       DecimalText(time.wYear, 4),
                   text, bufferUnits);
}

bool FormatLongTime(const SYSTEMTIME& time, std::u16string& text, std::uint32_t bufferUnits) {
    if (Platform().failTimeText || !IsValid(time)) {
        return false;
    }
    const unsigned hour12 = time.wHour % 12 == 0 ? 12 : time.wHour % 12;
    return Deliver(DecimalText(hour12, 1) + u":" + DecimalText(time.wMinute, 2) + u":" +
                       DecimalText(time.wSecond, 2) + (time.wHour < 12 ? u" AM" : u" PM"),
                   text, bufferUnits);
}

}  // namespace platform
