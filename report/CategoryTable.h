#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string_view>

// One entry of the product's category table.
struct CategoryEntry {
    std::int32_t number;
    std::u16string_view name;
};

// The product's category table, in ascending order of number. The program
// names categories from it and kelodb generate picks its numbers from it;
// a record refers to these texts, which last as long as the program.
inline constexpr CategoryEntry kCategoryTable[] = {
    {0, u"Unknown"},
    {1, u"Advertisements & Pop-Ups"},
    {2, u"Alcohol & Tobacco"},
    {3, u"Anonymizers"},
    {4, u"Arts"},
    {5, u"Business"},
    {6, u"Transportation"},
    {7, u"Chat"},
    {9, u"Forums & Newsgroups"},
    {10, u"Compromised"},
    {11, u"Computers & Technology"},
    {12, u"Criminal Activity"},
    {13, u"Dating & Personals"},
    {14, u"Download Sites"},
    {15, u"Education"},
    {16, u"Entertainment"},
    {17, u"Finance"},
    {18, u"Gambling"},
    {19, u"Games"},
    {20, u"Government"},
    {21, u"Hate & Intolerance"},
    {22, u"Health & Medicine"},
    {23, u"Illegal Drug"},
    {24, u"Job Search"},
    {26, u"Streaming Media & Downloads"},
    {27, u"News"},
    {28, u"Non-profits & NGOs"},
    {29, u"Nudity"},
    {30, u"Personal Sites"},
    {31, u"Phishing & Fraud"},
    {32, u"Politics"},
    {33, u"Pornography/Sexually Explicit"},
    {34, u"Real Estate"},
    {35, u"Religion"},
    {36, u"Restaurants & Dining"},
    {37, u"Search Engines & Portals"},
    {38, u"Shopping"},
    {39, u"Social Networking"},
    {40, u"Spam Sites"},
    {41, u"Sports"},
    {42, u"Malware"},
    {44, u"Translators"},
    {45, u"Travel"},
    {46, u"Violence"},
    {47, u"Weapons"},
    {48, u"Web-based Email"},
    {49, u"General"},
    {50, u"Leisure & Recreation"},
    {61, u"Botnets"},
    {62, u"Cults"},
    {63, u"Fashion & Beauty"},
    {64, u"Greeting cards"},
    {65, u"Hacking"},
    {67, u"Illegal Software"},
    {68, u"Image Sharing"},
    {69, u"Information Security"},
    {70, u"Instant Messaging"},
    {71, u"Network Errors"},
    {72, u"Parked Domains"},
    {73, u"Peer-to-Peer"},
    {74, u"Private IP Addresses"},
    {75, u"School Cheating"},
    {76, u"Sex Education"},
    {77, u"Tasteless"},
    {78, u"Child Abuse Images"},
    {100, u"Quorren Malware"},
    {1000, u"White List"},
    {1001, u"Black List"},
};
static_assert(std::size(kCategoryTable) == 68);
static_assert(std::ranges::is_sorted(kCategoryTable, {}, &CategoryEntry::number));
