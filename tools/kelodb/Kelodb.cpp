#include "tools/kelodb/Kelodb.h"

#include <CLI/CLI.hpp>
#include <algorithm>
#include <filesystem>
#include <fstream>

#include "objectlib/store/Location.h"
#include "objectlib/store/Writer.h"
#include "tools/kelodb/Generate.h"
#include "tools/kelodb/Import.h"
#include "tools/kelodb/MachineUsers.h"
#include "tools/kelodb/Stats.h"

namespace kelodb {
namespace {

constexpr std::uint64_t kMaxVisits = 100'000'000;

std::filesystem::path PathFromUtf8(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// "a,b,c" into its items; false for an empty item.
bool SplitUsers(const std::string& text, std::vector<std::string>& users) {
    std::size_t start = 0;
    for (;;) {
        const std::size_t comma = text.find(',', start);
        std::string user = text.substr(start, comma - start);
        if (user.empty()) {
            return false;
        }
        if (std::find(users.begin(), users.end(), user) == users.end()) {
            users.push_back(std::move(user));
        }
        if (comma == std::string::npos) {
            return true;
        }
        start = comma + 1;
    }
}

std::unique_ptr<kelo::DatastoreWriter> OpenWriter(const std::string& db, kelo::OpenMode mode,
                                                  std::ostream& err) {
    std::string error;
    auto writer = kelo::DatastoreWriter::Open(PathFromUtf8(db), mode, error);
    if (!writer) {
        err << error << "\n";
    }
    return writer;
}

int RunImport(const std::string& db, const std::string& file, std::istream& in, std::ostream& out,
              std::ostream& err) {
    std::ifstream stream;
    if (file != "-") {
        stream.open(PathFromUtf8(file), std::ios::binary);
        if (!stream) {
            err << file << ": cannot open\n";
            return kExitFailure;
        }
    }
    const auto writer = OpenWriter(db, kelo::OpenMode::kOpenOrCreate, err);
    if (!writer) {
        return kExitFailure;
    }
    return ImportVisits(*writer, file == "-" ? in : stream, out, err);
}

int RunGenerate(const std::string& db, GenerateOptions options, const std::string& users,
                std::ostream& out, std::ostream& err) {
    if (users.empty()) {
        options.users = MachineUsers();
        if (options.users.empty()) {
            err << "the machine's profile list names no user: give them with --users\n";
            return kExitFailure;
        }
    } else if (!SplitUsers(users, options.users)) {
        err << "--users: an empty SID in \"" << users << "\"\n";
        return kExitBadInput;
    }
    options.endMs = StartOfTodayUtcMs();
    const auto writer = OpenWriter(db, kelo::OpenMode::kOpenOrCreate, err);
    if (!writer) {
        return kExitFailure;
    }
    return GenerateVisits(*writer, options, out, err);
}

}  // namespace

int RunKelodb(const std::vector<std::string>& arguments, std::istream& in, std::ostream& out,
              std::ostream& err) {
    CLI::App app{"kelodb: creates and fills a datastore of the Kelo object library's stand-in"};
    app.name("kelodb");
    app.require_subcommand(1, 1);

    std::string db = kelo::PathToUtf8(kelo::DatastorePath());
    const std::string dbHelp = "the datastore file (default: KELO_DATASTORE, else the product's)";

    CLI::App* init = app.add_subcommand("init", "create an empty datastore");
    init->add_option("--db", db, dbHelp)->capture_default_str();

    std::string file;
    CLI::App* import = app.add_subcommand("import", "add visits from JSON Lines");
    import->add_option("--db", db, dbHelp)->capture_default_str();
    import->add_option("FILE", file, "a JSON Lines file, - for standard input")->required();

    GenerateOptions options;
    std::string users;
    CLI::App* generate = app.add_subcommand("generate", "add realistic, reproducible visits");
    generate->add_option("--db", db, dbHelp)->capture_default_str();
    // A range check also stops CLI11 from reading "-1" as a huge count.
    generate->add_option("--visits", options.visits, "how many visits (up to 100000000)")
        ->required()
        ->check(CLI::Range(std::uint64_t{0}, kMaxVisits));
    generate->add_option("--users", users,
                         "SIDs joined by commas (default: the machine's own profiles)");
    generate->add_option("--days", options.days, "over how many days before today")
        ->check(CLI::Range(1, 100000))
        ->capture_default_str();
    generate->add_option("--seed", options.seed, "the same seed gives the same visits")
        ->capture_default_str();

    CLI::App* stats = app.add_subcommand("stats", "visits per user, oldest and newest");
    stats->add_option("--db", db, dbHelp)->capture_default_str();

    try {
        // CLI11 takes the arguments last first.
        std::vector<std::string> reversed(arguments.rbegin(), arguments.rend());
        app.parse(reversed);
    } catch (const CLI::ParseError& error) {
        const int status = app.exit(error, out, err);
        return status == 0 ? kExitOk : kExitBadInput;
    }

    if (init->parsed()) {
        const auto writer = OpenWriter(db, kelo::OpenMode::kCreateNew, err);
        if (!writer) {
            return kExitFailure;
        }
        out << "created " << db << "\n";
        return kExitOk;
    }
    if (import->parsed()) {
        return RunImport(db, file, in, out, err);
    }
    if (generate->parsed()) {
        return RunGenerate(db, options, users, out, err);
    }
    return PrintStats(PathFromUtf8(db), out, err);
}

}  // namespace kelodb
