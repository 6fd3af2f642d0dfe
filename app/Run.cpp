#include "app/CDataStoreQuery.h"
#include "platform/Console.h"
#include "platform/Text.h"

std::int32_t CDataStoreQuery::Run() {
    if (outputPath.empty()) {
        return 1;
    }

    // Destroyed in reverse: query map, filter map, manager.
    ManagerHolder manager;
    VariantMapHolder filter;
    VariantMapHolder query;

    // A missing manager, a filter that could not be built (the whole history
    // is then exported) or a failed query still leaves a report of what was
    // collected, but the run is not reported as a success.
    bool complete = true;
    if (CreateManager(manager) != 0) {
        platform::ConsoleWriteNarrow("Helper not created");
        complete = false;
    } else {
        platform::ConsoleWriteNarrow("Helper created \n");
        BuildDateTimeFilters(*manager.Get(), filter);
        if (!filter) {
            complete = false;
        }
        for (const std::u16string& user : users) {
            BuildQuery(*manager.Get(), user, filter, query);
            if (ExecuteQuery(*manager.Get(), query) != 0) {
                platform::ConsoleWriteNarrow("Query for user " + platform::Utf16ToUtf8(user) +
                                             " failed");
                complete = false;
                break;
            }
        }
        filter.Reset();
    }

    const bool written = WriteReport();
    query.Reset();
    manager.Reset();
    return written && complete ? 0 : 1;
}
