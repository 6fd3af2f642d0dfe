#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <memory_resource>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "datastore/CreateManager.h"
#include "platform/Memory.h"
#include "report/CUrlRecord.h"

// The program: built from the command line, it either asks for the usage text
// or runs one export. Each group of operations is defined in the folder of its
// subsystem.
class CDataStoreQuery {
  public:
    // Sets the defaults, reads the options, loads the category table, the host
    // name and the user list, and resolves the report path.
    CDataStoreQuery(int argc, const char16_t* const* argv);
    CDataStoreQuery(const CDataStoreQuery&) = delete;
    CDataStoreQuery& operator=(const CDataStoreQuery&) = delete;
    virtual ~CDataStoreQuery() = default;

    bool GetShowUsage() const { return showUsage; }
    std::u16string GetOutputPath() const { return outputPath; }
    void PrintUsage() const;
    // 0 when the report file exists after writing, else 1.
    std::int32_t Run();

    // Output path (app/)
    bool ResolveOutputPath(std::u16string& path);
    bool CreateDirectoryPath(const std::u16string& directory);
    std::u16string MakeDefaultFileName() const;

    // Local look-ups (system/)
    void LoadUsers();
    void LoadHostName();
    std::u16string AccountNameFromSid(const std::u16string& sidText) const;

    // Category names (report/)
    void LoadCategoryNames();
    std::u16string_view CategoryName(std::int32_t number);

    // Queries (datastore/)
    void BuildDateTimeFilters(NSVumoUtil::IHLPKELOManager& manager, VariantMapHolder& filter);
    void BuildQuery(NSVumoUtil::IHLPKELOManager& manager, const std::u16string& user,
                    const VariantMapHolder& filter, VariantMapHolder& query) const;
    HRESULT ExecuteQuery(NSVumoUtil::IHLPKELOManager& manager, const VariantMapHolder& query);
    void CollectResults(IVariantMap& result);
    void CategoryNamesFromList(VARIANT categories, CategoryNameList& names);
    // The stored list equal to `names`, shared by every record that has it.
    RecordCategories ShareCategories(const CategoryNameList& names);

    // Report (report/)
    void FormatDateTime(SYSTEMTIME utc, std::u16string& text) const;
    bool WriteReport() const;

  protected:
    // The first block of the records' storage; later ones grow from it.
    static constexpr std::size_t kRecordBlockBytes = 4 * 1024 * 1024;

    // Declaration order is destruction order, reversed.
    std::u16string outputPath;
    std::u16string hostName;
    std::int32_t days = 365;
    bool showUsage = false;
    bool allUsers = false;
    // The records, their URL and date texts and the account labels, in one
    // arena released as a whole: declared first, so it goes after them. A
    // deque grows without ever moving the records already held.
    std::pmr::monotonic_buffer_resource recordStorage{kRecordBlockBytes, platform::BulkMemory()};
    // The category name lists the records refer to, each stored once.
    struct ListHash {
        std::size_t operator()(const CategoryNameList& list) const { return list.Hash(); }
    };
    std::unordered_set<CategoryNameList, ListHash> categoryLists;
    // Beyond this many distinct lists, new ones are stored with their records.
    std::size_t mostSharedCategoryLists = 65536;
    std::pmr::deque<CUrlRecord> records{&recordStorage};
    std::vector<std::u16string> users;
    // Number -> name, the names the category table's own texts (an unlisted
    // number has the empty name). Records refer to these texts.
    std::map<std::int32_t, std::u16string_view> categoryNames;
};
