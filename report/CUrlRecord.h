#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

// At most the first five category names of a visit, the only ones the report
// shows, so a visit with a huge list costs no more than one with five. Each
// name refers to a text that outlives the list (the category table's own).
class CategoryNameList {
  public:
    static constexpr std::size_t kMost = 5;

    // Keeps `name` while fewer than five are held.
    void Add(std::u16string_view name) {
        if (count_ < kMost) {
            texts_[count_] = name.data();
            units_[count_] = static_cast<std::uint32_t>(name.size());
            ++count_;
        }
    }
    bool Full() const { return count_ == kMost; }
    std::size_t size() const { return count_; }
    std::u16string_view operator[](std::size_t index) const {
        return {texts_[index], units_[index]};
    }

    // The same texts (not only equal ones) in the same order.
    bool operator==(const CategoryNameList&) const = default;
    std::size_t Hash() const {
        std::size_t hash = count_;
        for (std::size_t i = 0; i < count_; ++i) {
            hash = hash * 31 + reinterpret_cast<std::uintptr_t>(texts_[i]) + units_[i];
        }
        return hash;
    }

  private:
    // Pointers and sizes apart: 64 bytes where five views take 80.
    std::array<const char16_t*, kMost> texts_{};
    std::array<std::uint32_t, kMost> units_{};
    std::uint8_t count_ = 0;
};

// A record's category names: a list stored once and shared by every record
// whose visit has the same names, or none.
class RecordCategories {
  public:
    RecordCategories() = default;
    explicit RecordCategories(const CategoryNameList* list) : list_(list) {}

    std::size_t size() const { return list_ != nullptr ? list_->size() : 0; }
    std::u16string_view operator[](std::size_t index) const { return (*list_)[index]; }

  private:
    const CategoryNameList* list_ = nullptr;
};

// One visit as the report shows it. `url` carries its own surrounding quotes.
// A record refers to its texts and never changes them: the URL and the date
// text are copied once into the storage of the list that holds the records,
// the account label is stored once per user and shared by that user's records,
// the action is one of two constant texts, the category names are a shared
// list of the table's texts.
struct CUrlRecord {
    std::u16string_view url;
    std::u16string_view dateText;
    std::u16string_view userName;
    std::u16string_view action;
    RecordCategories categories;
};
