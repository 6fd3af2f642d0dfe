#include "app/CDataStoreQuery.h"
#include "platform/Console.h"
#include "platform/Entry.h"

int OstrelinMain(int argc, const char16_t* const* argv) {
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
