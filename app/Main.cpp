#include <new>

#include "app/CDataStoreQuery.h"
#include "platform/Console.h"
#include "platform/Entry.h"

namespace {

int RunProgram(int argc, const char16_t* const* argv) {
    CDataStoreQuery query(argc, argv);
    if (query.GetShowUsage()) {
        query.PrintUsage();
        return 0;
    }
    if (query.Run() != 0) {
        platform::ConsoleWriteWide(u"Proccess finished whith errors\n");
        return 1;
    }
    platform::ConsoleWriteWide(u"Proccess finished ok with output : " + query.GetOutputPath() +
                               u"\n");
    return 0;
}

}  // namespace

int OstrelinMain(int argc, const char16_t* const* argv) {
    try {
        return RunProgram(argc, argv);
    } catch (const std::bad_alloc&) {
        // Unwinding has released what the run held, the report's temporary
        // file included, and the old report is untouched: a scheduler sees an
        // incomplete export, not an abort.
        try {
            platform::ConsoleWriteNarrow("Proccess finished whith errors\n");
        } catch (const std::bad_alloc&) {
            // Not even the line fits: the exit code still tells.
        }
        return 1;
    }
}
