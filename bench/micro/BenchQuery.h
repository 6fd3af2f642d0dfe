#pragma once

#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "app/CDataStoreQuery.h"

namespace micro {

// The program's object with its record list and report path within reach.
class BenchQuery : public CDataStoreQuery {
  public:
    BenchQuery();

    using CDataStoreQuery::outputPath;
    using CDataStoreQuery::records;
};

// A folder of its own, removed with everything in it when the object goes.
class TempFolder {
  public:
    TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    ~TempFolder();
    const std::filesystem::path& Path() const { return path_; }

  private:
    std::filesystem::path path_;
};

// Records shaped like a year of real browsing: URLs of some 50 characters,
// one to three category names, a few users; with the texts they refer to.
struct RecordSample {
    explicit RecordSample(std::size_t count);

    std::deque<std::u16string> texts;
    std::deque<CategoryNameList> lists;
    std::vector<CUrlRecord> records;
};

}  // namespace micro
