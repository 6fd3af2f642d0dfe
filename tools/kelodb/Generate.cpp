#include "tools/kelodb/Generate.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <span>
#include <string_view>

#include "tools/kelodb/CategoryNumbers.h"
#include "tools/kelodb/Import.h"
#include "tools/kelodb/Random.h"

namespace kelodb {
namespace {

constexpr std::int64_t kDayMs = 86'400'000;

constexpr std::string_view kKnownSites[] = {
    "www.wikipedia.org",
    "github.com",
    "stackoverflow.com",
    "www.nytimes.com",
    "www.bbc.co.uk",
    "www.amazon.com",
    "www.ebay.com",
    "www.reddit.com",
    "www.youtube.com",
    "www.google.com",
    "www.bing.com",
    "duckduckgo.com",
    "weather.com",
    "www.espn.com",
    "www.imdb.com",
    "www.booking.com",
    "www.tripadvisor.com",
    "www.linkedin.com",
    "www.facebook.com",
    "www.instagram.com",
    "www.netflix.com",
    "open.spotify.com",
    "www.apple.com",
    "learn.microsoft.com",
    "developer.mozilla.org",
    "docs.python.org",
    "en.cppreference.com",
    "www.debian.org",
    "ubuntu.com",
    "medium.com",
    "www.bloomberg.com",
    "www.reuters.com",
    "www.theguardian.com",
    "www.lemonde.fr",
    "www.spiegel.de",
    "elpais.com",
    "edition.cnn.com",
    "www.npr.org",
    "www.khanacademy.org",
    "www.coursera.org",
    "www.etsy.com",
    "www.ikea.com",
    "www.walmart.com",
    "www.bestbuy.com",
    "www.zillow.com",
    "www.paypal.com",
    "www.chase.com",
    "www.mayoclinic.org",
    "www.webmd.com",
    "www.nasa.gov",
    "www.openstreetmap.org",
    "gitlab.com",
    "www.npmjs.com",
    "pypi.org",
    "hub.docker.com",
    "app.slack.com",
    "zoom.us",
    "www.dropbox.com",
    "wordpress.com",
    "www.pinterest.com",
    "www.twitch.tv",
    "store.steampowered.com",
    "www.chess.com",
    "www.duolingo.com",
    "mail.google.com",
    "outlook.live.com",
    "news.ycombinator.com",
    "www.craigslist.org",
    "www.indeed.com",
    "www.allrecipes.com",
    "www.tiktok.com",
    "www.twitter.com",
};

constexpr std::string_view kWords[] = {
    "news",    "world",     "sport",    "article", "video",    "watch",   "search", "product",
    "item",    "review",    "blog",     "post",    "user",     "profile", "photos", "gallery",
    "docs",    "guide",     "help",     "support", "account",  "login",   "cart",   "checkout",
    "travel",  "hotel",     "flights",  "weather", "forecast", "recipes", "health", "science",
    "tech",    "games",     "music",    "movies",  "series",   "shop",    "deals",  "sale",
    "library", "reference", "forum",    "thread",  "topic",    "2024",    "2025",   "2026",
    "release", "notes",     "download", "install", "api",      "v2",      "static", "assets",
};

constexpr std::string_view kSiteWords[] = {
    "blue",   "river",  "pixel",  "cloud", "daily", "green", "smart", "quick", "metro",
    "nova",   "alpha",  "urban",  "north", "solar", "prime", "happy", "local", "open",
    "market", "garden", "studio", "media", "labs",  "works", "hub",   "zone",  "point",
};

constexpr std::string_view kTopLevels[] = {".com", ".com", ".com",   ".org",  ".net",
                                           ".io",  ".de",  ".co.uk", ".info", ".xyz"};

constexpr std::string_view kExtensions[] = {"", "", "", "", ".html", ".php", ".aspx", ".jpg"};

constexpr std::string_view kParameters[] = {"q",    "id", "page",       "ref",  "lang",
                                            "sort", "s",  "utm_source", "view", "t"};

// Categories whose sites the product mostly blocks.
constexpr std::int32_t kBlockedCategories[] = {10, 18, 23, 31, 33, 40, 42, 61, 65, 78, 1001};

// The share of visits on hours 0..23 UTC (relative weights).
constexpr std::array<int, 24> kHourWeights = {3,  2,  1,  1,  1,  2,  4,  7,  10, 12, 12, 12,
                                              11, 12, 12, 12, 11, 11, 12, 14, 15, 13, 9,  5};

struct Site {
    std::string origin;  // scheme and host
    std::vector<std::int32_t> categories;
    bool blocked = false;  // the product mostly denies it
};

template <typename Items>
const auto& Pick(Random& random, const Items& items) {
    return items[random.Below(std::size(items))];
}

bool Contains(std::span<const std::int32_t> numbers, std::int32_t number) {
    return std::find(numbers.begin(), numbers.end(), number) != numbers.end();
}

// A category of an ordinary site: a number of the product's table outside the
// blocked ones, now and then one the table does not name.
std::int32_t OrdinaryCategory(Random& random) {
    std::int32_t number = 0;
    if (random.Chance(0.04)) {
        do {
            number = static_cast<std::int32_t>(random.Below(1100));
        } while (Contains(kListedCategories, number));
        return number;
    }
    do {
        number = Pick(random, kListedCategories);
    } while (Contains(kBlockedCategories, number));
    return number;
}

// Zero to six categories, most sites have one or two; a risky site's first
// one is a blocked category.
std::vector<std::int32_t> SiteCategories(Random& random, bool risky) {
    static constexpr int kCountWeights[] = {6, 40, 28, 13, 7, 4, 2};
    std::uint64_t draw = random.Below(100);
    std::size_t count = 0;
    while (draw >= static_cast<std::uint64_t>(kCountWeights[count])) {
        draw -= static_cast<std::uint64_t>(kCountWeights[count]);
        ++count;
    }
    std::vector<std::int32_t> categories;
    if (risky) {
        categories.push_back(Pick(random, kBlockedCategories));
        count = std::max<std::size_t>(count, 1);
    }
    while (categories.size() < count) {
        const std::int32_t number = OrdinaryCategory(random);
        if (!Contains(categories, number)) {
            categories.push_back(number);
        }
    }
    return categories;
}

std::vector<Site> MakeSites(Random& random) {
    std::vector<Site> sites;
    for (const std::string_view host : kKnownSites) {
        sites.push_back(Site{"https://" + std::string(host), {}, false});
    }
    // The long tail: smaller sites, some still on plain HTTP, a few risky.
    for (int i = 0; i < 240; ++i) {
        std::string host = random.Chance(0.5) ? "www." : "";
        host += Pick(random, kSiteWords);
        host += random.Chance(0.3) ? "-" : "";
        host += Pick(random, kSiteWords);
        if (random.Chance(0.2)) {
            host += std::to_string(random.Below(100));
        }
        host += Pick(random, kTopLevels);
        sites.push_back(
            Site{(random.Chance(0.85) ? "https://" : "http://") + host, {}, random.Chance(0.12)});
    }
    for (Site& site : sites) {
        site.categories = SiteCategories(random, site.blocked);
    }
    return sites;
}

// Popular sites get most visits: a skewed pick over the catalogue.
const Site& PickSite(Random& random, const std::vector<Site>& sites) {
    const double skewed = random.Unit() * random.Unit() * random.Unit();
    return sites[static_cast<std::size_t>(skewed * static_cast<double>(sites.size()))];
}

void AppendUrl(Random& random, const Site& site, std::string& url) {
    url = site.origin;
    const std::uint64_t segments = random.Below(5);
    for (std::uint64_t i = 0; i < segments; ++i) {
        url += '/';
        url += Pick(random, kWords);
        if (random.Chance(0.15)) {
            url += '-';
            url += std::to_string(random.Below(100000));
        }
    }
    url += segments == 0 ? "/" : Pick(random, kExtensions);
    if (random.Chance(0.35)) {
        const std::uint64_t parameters = 1 + random.Below(3);
        for (std::uint64_t i = 0; i < parameters; ++i) {
            url += i == 0 ? '?' : '&';
            url += Pick(random, kParameters);
            url += '=';
            if (random.Chance(0.5)) {
                url += std::to_string(random.Below(1000000));
            } else {
                url += Pick(random, kWords);
            }
        }
    }
    if (random.Chance(0.03)) {
        url += "#section-" + std::to_string(1 + random.Below(9));
    }
}

std::int64_t TimeOfDayMs(Random& random) {
    static constexpr int kTotal = [] {
        int total = 0;
        for (const int weight : kHourWeights) {
            total += weight;
        }
        return total;
    }();
    auto draw = static_cast<int>(random.Below(kTotal));
    int hour = 0;
    while (draw >= kHourWeights[static_cast<std::size_t>(hour)]) {
        draw -= kHourWeights[static_cast<std::size_t>(hour)];
        ++hour;
    }
    return hour * 3'600'000LL + static_cast<std::int64_t>(random.Below(3'600'000));
}

}  // namespace

std::int64_t StartOfTodayUtcMs() {
    const auto now =
        std::chrono::time_point_cast<std::chrono::milliseconds>(std::chrono::system_clock::now());
    const std::int64_t ms = now.time_since_epoch().count();
    return ms - ((ms % kDayMs) + kDayMs) % kDayMs;
}

int GenerateVisits(kelo::DatastoreWriter& writer, const GenerateOptions& options, std::ostream& out,
                   std::ostream& err) {
    if (options.users.empty()) {
        err << "no users to generate visits for\n";
        return kExitFailure;
    }
    Random random(options.seed);
    const std::vector<Site> sites = MakeSites(random);

    // Some users browse far more than others.
    std::vector<double> activity;
    double totalActivity = 0;
    for (std::size_t i = 0; i < options.users.size(); ++i) {
        activity.push_back(0.2 + random.Unit() * 1.8);
        totalActivity += activity.back();
    }

    // Times and users first, then sorted, so that the visits are stored in the
    // order a log grows.
    struct Moment {
        std::int64_t timeMs;
        std::uint32_t user;
        bool operator<(const Moment& other) const { return timeMs < other.timeMs; }
    };
    std::vector<Moment> moments(options.visits);
    const std::int64_t firstDayMs = options.endMs - options.days * kDayMs;
    for (Moment& moment : moments) {
        const auto day =
            static_cast<std::int64_t>(random.Below(static_cast<std::uint64_t>(options.days)));
        moment.timeMs = firstDayMs + day * kDayMs + TimeOfDayMs(random);
        double draw = random.Unit() * totalActivity;
        std::uint32_t user = 0;
        while (user + 1 < activity.size() && draw >= activity[user]) {
            draw -= activity[user];
            ++user;
        }
        moment.user = user;
    }
    std::stable_sort(moments.begin(), moments.end());

    std::string error;
    if (!writer.Begin(error)) {
        err << "cannot write the datastore: " << error << "\n";
        return kExitFailure;
    }
    std::string url;
    for (const Moment& moment : moments) {
        const Site& site = PickSite(random, sites);
        AppendUrl(random, site, url);
        const bool allowed = site.blocked ? random.Chance(0.1) : !random.Chance(0.015);
        if (!writer.Add(options.users[moment.user], url, moment.timeMs, allowed, site.categories,
                        error)) {
            writer.Rollback();
            err << "cannot store a visit: " << error << "\n";
            return kExitFailure;
        }
    }
    if (!writer.Commit(error)) {
        err << "cannot write the datastore: " << error << "\n";
        return kExitFailure;
    }
    out << options.visits << (options.visits == 1 ? " visit" : " visits") << " generated for "
        << options.users.size() << (options.users.size() == 1 ? " user\n" : " users\n");
    return kExitOk;
}

}  // namespace kelodb
