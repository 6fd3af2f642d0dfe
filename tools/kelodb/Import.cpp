#include "tools/kelodb/Import.h"

#include <new>
#include <string>

#include "tools/kelodb/VisitLine.h"

namespace kelodb {
namespace {

bool IsBlank(std::string_view line) {
    return line.find_first_not_of(" \t\r") == std::string_view::npos;
}

}  // namespace

int ImportVisits(kelo::DatastoreWriter& writer, std::istream& in, std::ostream& out,
                 std::ostream& err) {
    std::string error;
    if (!writer.Begin(error)) {
        err << "cannot write the datastore: " << error << "\n";
        return kExitFailure;
    }
    std::string line;
    Visit visit;
    std::uint64_t number = 0;
    std::uint64_t imported = 0;
    try {
        while (std::getline(in, line)) {
            ++number;
            std::string_view text = line;
            if (number == 1 && text.starts_with("\xEF\xBB\xBF")) {
                text.remove_prefix(3);
            }
            if (text.ends_with('\r')) {
                text.remove_suffix(1);
            }
            if (IsBlank(text)) {
                continue;
            }
            if (!ParseVisitLine(text, visit, error)) {
                writer.Rollback();
                err << "line " << number << ": " << error << "\n";
                return kExitBadInput;
            }
            if (!writer.Add(visit.user, visit.url, visit.timeMs, visit.allowed, visit.categories,
                            error)) {
                writer.Rollback();
                err << "line " << number << ": cannot store the visit: " << error << "\n";
                return kExitFailure;
            }
            ++imported;
        }
    } catch (const std::bad_alloc&) {
        // The transaction goes: nothing of this input is stored.
        writer.Rollback();
        err << "line " << number << ": out of memory\n";
        return kExitFailure;
    }
    if (in.bad()) {
        writer.Rollback();
        err << "cannot read the input after line " << number << "\n";
        return kExitFailure;
    }
    if (!writer.Commit(error)) {
        err << "cannot write the datastore: " << error << "\n";
        return kExitFailure;
    }
    out << imported << (imported == 1 ? " visit" : " visits") << " imported\n";
    return kExitOk;
}

}  // namespace kelodb
