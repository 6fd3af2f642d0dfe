#include "app/CDataStoreQuery.h"
#include "platform/Console.h"

void CDataStoreQuery::PrintUsage() const {
    static constexpr const char* kLines[] = {
        "Ostrelin [-d:nDays] [-o:Filepath] [-h]\n",
        "\t-d:nDays    : Allows user to get urls from nDays ago until now.\n",
        "\t              If no days are specified, urls from last 365 days will be showed\n",
        "\t-o:Filepath : Allows user to save data on the specified path and file.\n",
        "\t              Paths should end with '\\' character\n",
        "\t              If no filename is supplied a default one will be used\n",
        "\t-h          : Shows this help\n",
    };
    for (const char* line : kLines) {
        platform::ConsoleWriteNarrow(line);
    }
}
