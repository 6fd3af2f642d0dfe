#include <cstdlib>

#include "objectlib/store/Location.h"

namespace kelo {

std::filesystem::path DatastorePath() {
    const char* setting = std::getenv("KELO_DATASTORE");
    if (setting != nullptr && *setting != '\0') {
        return setting;
    }
    return "/var/lib/kelo/datastore.db";
}

}  // namespace kelo
