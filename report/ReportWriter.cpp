#include <string_view>

#include "app/CDataStoreQuery.h"
#include "platform/Console.h"
#include "platform/Files.h"
#include "report/Utf16LeWriter.h"

namespace {

constexpr std::u16string_view kHeaderPieces[] = {
    u"HOSTNAME,",   u"DATE,",       u"URL,",        u"USERNAME,",   u"ACTION,",
    u"CATEGORY 1,", u"CATEGORY 2,", u"CATEGORY 3,", u"CATEGORY 4,", u"CATEGORY 5\n",
};

constexpr std::size_t kCategoryColumns = 5;

}  // namespace

bool CDataStoreQuery::WriteReport() const {
    platform::OutputFile file;
    if (!file.Open(outputPath)) {
        platform::ConsoleWriteWide(u"Failure opening " + outputPath + u" file");
        return false;
    }

    Utf16LeWriter writer(file);
    writer.WriteByteOrderMark();
    for (const std::u16string_view piece : kHeaderPieces) {
        writer.Write(piece);
    }
    // Values are written as they are held: no quoting, no escaping. Every
    // value, the last category included, is followed by a comma.
    for (const CUrlRecord& record : records) {
        for (const std::u16string_view value :
             {std::u16string_view(hostName), std::u16string_view(record.dateText),
              std::u16string_view(record.url), std::u16string_view(record.userName),
              std::u16string_view(record.action)}) {
            writer.Write(value);
            writer.Write(u",");
        }
        for (std::size_t i = 0; i < kCategoryColumns; ++i) {
            if (i < record.categories.size()) {
                writer.Write(record.categories[i]);
            }
            writer.Write(u",");
        }
        writer.Write(u"\n");
    }
    writer.Flush();

    // A report cut short by a failed write is no report: it never takes the
    // old one's place, and the run must not end as a success.
    switch (file.Commit()) {
        case platform::CommitResult::kPlaced:
            return platform::PathExists(outputPath);
        case platform::CommitResult::kCannotPlace:
            platform::ConsoleWriteWide(u"Failure opening " + outputPath + u" file");
            return false;
        case platform::CommitResult::kNotWritten:
            break;
    }
    return false;
}
