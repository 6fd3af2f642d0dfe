#pragma once

#include <string_view>
#include <vector>

#include "platform/OleAuto.h"
#include "platform/UniqueVariant.h"

namespace kelo {

// The entries of a map in insertion order. Keys are texts (VT_BSTR) compared
// unit by unit, NULs included; the entries own copies of their keys and values.
// Maps stay small (a query, a visit), so look-up is a linear scan.
class MapEntries {
  public:
    MapEntries() = default;
    MapEntries(const MapEntries&) = delete;
    MapEntries& operator=(const MapEntries&) = delete;

    LONG Count() const { return static_cast<LONG>(entries_.size()); }

    // Copies `key` and `value` (a by-reference value is copied as the value it
    // refers to, since the reference would not outlive the call). A key already
    // held keeps its place and gets the new value.
    HRESULT Set(const VARIANT& key, const VARIANT& value);

    // Takes over `key` (a VT_BSTR known not to be held yet) and `value`.
    // Both are left untouched when memory runs out (std::bad_alloc).
    void Append(VARIANT key, VARIANT value);

    HRESULT KeyAt(LONG index, VARIANT& out) const;
    HRESULT ValueAt(LONG index, VARIANT& out) const;
    HRESULT Get(const VARIANT& key, VARIANT& out) const;

  private:
    struct Entry {
        Entry(VARIANT ownedKey, VARIANT ownedValue) noexcept : key(ownedKey), value(ownedValue) {}
        platform::UniqueVariant key;
        platform::UniqueVariant value;
    };
    // The index of `key`, or the number of entries when it is not held.
    std::size_t Find(std::u16string_view key) const;

    std::vector<Entry> entries_;
};

}  // namespace kelo
