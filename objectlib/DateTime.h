#pragma once

#include <cstdint>
#include <optional>

#include "datastore/OwningHolder.h"
#include "objectlib/ComObject.h"

namespace kelo {

// The private identifiers of the library's own implementations.
inline constexpr IID kDateTimeImplementationId = {
    0x7E3A1C52, 0x0B6D, 0x4F2E, {0x9A, 0x41, 0x3C, 0x5D, 0x8E, 0x21, 0xF1, 0x01}};
inline constexpr IID kDateTimeFilterImplementationId = {
    0x7E3A1C52, 0x0B6D, 0x4F2E, {0x9A, 0x41, 0x3C, 0x5D, 0x8E, 0x21, 0xF1, 0x02}};

// "Kelo.DateTimeObject": one UTC instant in milliseconds, or none until
// ConvertFromSystemTime loads one.
class CDateTime final : public ComObject<IKELODateTime> {
  public:
    CDateTime() = default;

    std::optional<std::int64_t> Time() const { return time_; }
    void Load(std::optional<std::int64_t> time) { time_ = time; }

  private:
    ~CDateTime() override = default;
    void* FindImplementation(REFIID iid) override;

    std::optional<std::int64_t> time_;
};

// "Kelo.DateTimeFilterObject": a time window, both ends inclusive. It copies
// the instants it is given, so it keeps no date-time object alive.
class CDateTimeFilter final : public ComObject<IDateTimeFilter> {
  public:
    CDateTimeFilter() = default;

    // E_POINTER for null, E_INVALIDARG for an object that is not the library's
    // own or holds no instant, leaving that end as it was.
    HRESULT SetStart(IKELODateTime* start) override;
    HRESULT SetEnd(IKELODateTime* end) override;

    std::optional<std::int64_t> Start() const { return start_; }
    std::optional<std::int64_t> End() const { return end_; }

  private:
    ~CDateTimeFilter() override = default;
    void* FindImplementation(REFIID iid) override;
    static HRESULT TimeOf(IKELODateTime* object, std::int64_t& time);

    std::optional<std::int64_t> start_;
    std::optional<std::int64_t> end_;
};

// The library's own object behind an interface pointer, with a reference of
// its own; empty for a null pointer or another implementation.
OwningHolder<CDateTime> DateTimeBehind(IUnknown* object);
OwningHolder<CDateTimeFilter> DateTimeFilterBehind(IUnknown* object);

}  // namespace kelo

template <>
struct Iid<kelo::CDateTime> {
    static constexpr const IID& value = kelo::kDateTimeImplementationId;
};
template <>
struct Iid<kelo::CDateTimeFilter> {
    static constexpr const IID& value = kelo::kDateTimeFilterImplementationId;
};
