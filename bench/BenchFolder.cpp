#include "bench/BenchFolder.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

const char* const kBenchBigGroup = "bench-big";
const char* const kBenchWideGroup = "bench-wide";

namespace {

constexpr int kCards = 100000;
constexpr int kGroups = 10000;
constexpr int kRootMembers = 1000;
constexpr int kMaxDepth = 6;  // levels below "\"

// Cards [0, 50000) belong to the big group's leaves, [50000, 60000) to the
// wide group; the rest are spread over the other groups.
constexpr int kBigCards = 50000;
constexpr int kBigFanout = 10;  // bench-big -> 10 -> 100 -> 1000 leaves
constexpr int kBigLeaves = kBigFanout * kBigFanout * kBigFanout;
constexpr int kWideFirstCard = kBigCards;
constexpr int kWideMembers = 10000;

// Names in cp932 (written as bytes so the source needs no conversion).
const char* const kFamily[] = {
    "\x8d\xb2\x93\xa1",         "\x97\xe9\x96\xd8", "\x8d\x82\x8b\xb4", "\x93\x63\x92\x86",
    "\x88\xc9\x93\xa1",         "\x93\x6e\x95\xd3", "\x8e\x52\x96\x7b", "\x92\x86\x91\xba",
    "\x8f\xac\x97\xd1",         "\x89\xc1\x93\xa1", "\x8b\x67\x93\x63", "\x8e\x52\x93\x63",
    "\x8d\xb2\x81\x58\x96\xd8", "\x8e\x52\x8c\xfb", "\x8f\xbc\x96\x7b", "\x88\xe4\x8f\xe3",
    "\x96\xd8\x91\xba",         "\x97\xd1",         "\x8d\xd6\x93\xa1", "\x90\xb4\x90\x85",
};
const char* const kGiven[] = {
    "\x91\xbe\x98\x59", "\x89\xd4\x8e\x71", "\x8c\x92",         "\x8c\x62",
    "\xe3\xc4",         "\x97\x7a\x8e\x71", "\x90\xbd",         "\x88\xa4",
    "\x91\xe5\x95\xe3", "\x94\xfc\x95\xe4", "\x91\xf1\x8a\x43", "\x82\xb3\x82\xad\x82\xe7",
    "\x88\xea\x98\x59", "\x92\xbc\x8e\x71", "\x97\xba",         "\x8d\xca",
};
const char* const kLatinGiven[] = {"taro",   "hanako", "ken",     "megumi", "sho",    "yoko",
                                   "makoto", "ai",     "daisuke", "miho",   "takumi", "sakura",
                                   "ichiro", "naoko",  "ryo",     "aya"};
const char* const kLatinFamily[] = {"sato",     "suzuki",   "takahashi", "tanaka",    "ito",
                                    "watanabe", "yamamoto", "nakamura",  "kobayashi", "kato",
                                    "yoshida",  "yamada",   "sasaki",    "yamaguchi", "matsumoto",
                                    "inoue",    "kimura",   "hayashi",   "saito",     "shimizu"};
const char* const kUnits[] = {"\x89\x63\x8b\xc6\x95\x94", "\x8a\x4a\x94\xad\x95\x94",
                              "\x91\x8d\x96\xb1\x95\x94", "\x8c\x6f\x97\x9d\x95\x94",
                              "\x90\x6c\x8e\x96\x95\x94", "\x8a\xe9\x89\xe6\x8e\xba"};
const char* const kGroupWords[] = {"\x8e\x78\x93\x58", "\x83\x60\x81\x5b\x83\x80", "\x94\xc7",
                                   "\x89\xef"};
const char* const kDomains[] = {"example.jp", "example.com", "mail.example.jp", "corp.example.com"};

template <typename T, size_t N>
constexpr size_t Count(const T (&)[N]) {
    return N;
}

// A small generator whose sequence is the same on every platform and library.
class TRandom {
  public:
    explicit TRandom(uint64_t seed) : state_(seed) {}
    uint32_t Next() {
        state_ = state_ * 6364136223846793005ULL + 1442695040888963407ULL;
        return static_cast<uint32_t>(state_ >> 33);
    }
    int Below(int n) { return static_cast<int>(Next() % static_cast<uint32_t>(n)); }

  private:
    uint64_t state_;
};

std::string Number(int value, int width) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%0*d", width, value);
    return buf;
}

std::string CardName(int i) {
    return std::string(kFamily[i % Count(kFamily)]) + " " +
           kGiven[(i / Count(kFamily)) % Count(kGiven)] + " " + Number(i, 6);
}

std::string CardAddress(int i, TRandom& rnd) {
    std::string local = std::string(kLatinGiven[(i / Count(kFamily)) % Count(kLatinGiven)]) + "." +
                        kLatinFamily[i % Count(kLatinFamily)] + Number(i, 6);
    if (rnd.Below(8) == 0) {
        local[0] = static_cast<char>(local[0] - 'a' + 'A');  // some people write it so
    }
    return local + "@" + kDomains[rnd.Below(static_cast<int>(Count(kDomains)))];
}

struct TBenchGroup {
    std::string Name;
    std::vector<std::string> Members;
    int Depth = 0;  // levels below "\"
};

void WriteCards(const std::filesystem::path& file, std::vector<std::string>& names) {
    TRandom rnd(20240601);
    std::string out;
    out.reserve(static_cast<size_t>(kCards) * 140);
    names.reserve(kCards);
    for (int i = 0; i < kCards; ++i) {
        names.push_back(CardName(i));
        out += "Nickname: " + names.back() + "\r\n";
        const std::string address = CardAddress(i, rnd);
        if (rnd.Below(10) == 0) {
            // A second address on a continuation line.
            out +=
                "Address: " + address + ",\r\n  " + "m" + Number(i, 6) + "@mobile.example.jp\r\n";
        } else {
            out += "Address: " + address + "\r\n";
        }
        if (rnd.Below(2) == 0) {
            out += "tel: 0" + Number(3 + rnd.Below(97), 2) + "-" + Number(rnd.Below(10000), 4) +
                   "-" + Number(rnd.Below(10000), 4) + "\r\n";
        }
        if (rnd.Below(3) == 0) {
            out += std::string("org: ") + kGroupWords[rnd.Below(4)] + " " +
                   Number(rnd.Below(500), 3) +
                   "\r\norg_unit: " + kUnits[rnd.Below(static_cast<int>(Count(kUnits)))] + "\r\n";
        }
        if (rnd.Below(4) == 0) {
            out += "Memo: " + std::string(kUnits[rnd.Below(static_cast<int>(Count(kUnits)))]) +
                   " " + Number(rnd.Below(100000), 5) + "\r\n";
        }
        out += ".\r\n";
    }
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!f) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

std::vector<TBenchGroup> MakeGroups(const std::vector<std::string>& cards) {
    TRandom rnd(19980401);
    std::vector<TBenchGroup> groups;
    groups.reserve(kGroups);
    groups.push_back({"\\", {}, 0});

    // bench-big: three levels of ten, then 1,000 leaves of 50 cards each.
    // Every inner level also names a few cards already in its leaves, so the
    // expansion meets duplicates.
    groups.push_back({kBenchBigGroup, {}, 1});
    const size_t big = groups.size() - 1;
    groups[0].Members.push_back(kBenchBigGroup);
    const int perLeaf = kBigCards / kBigLeaves;
    int leaf = 0;
    for (int a = 0; a < kBigFanout; ++a) {
        const std::string nameA = std::string(kUnits[a % Count(kUnits)]) + " " + Number(a, 2);
        groups.push_back({nameA, {}, 2});
        const size_t ia = groups.size() - 1;
        groups[big].Members.push_back(nameA);
        for (int b = 0; b < kBigFanout; ++b) {
            const std::string nameB = nameA + "-" + Number(b, 2) + kGroupWords[0];
            groups.push_back({nameB, {}, 3});
            const size_t ib = groups.size() - 1;
            groups[ia].Members.push_back(nameB);
            for (int c = 0; c < kBigFanout; ++c, ++leaf) {
                const std::string nameC = nameB + "-" + Number(c, 2) + kGroupWords[1];
                TBenchGroup g{nameC, {}, 4};
                for (int k = 0; k < perLeaf; ++k) {
                    g.Members.push_back(cards[static_cast<size_t>(leaf * perLeaf + k)]);
                }
                groups.push_back(std::move(g));
                groups[ib].Members.push_back(nameC);
                groups[ib].Members.push_back(cards[static_cast<size_t>(leaf * perLeaf)]);
            }
            groups[ia].Members.push_back(cards[static_cast<size_t>(rnd.Below(kBigCards))]);
        }
    }

    TBenchGroup wide{kBenchWideGroup, {}, 1};
    for (int i = 0; i < kWideMembers; ++i) {
        wide.Members.push_back(cards[static_cast<size_t>(kWideFirstCard + i)]);
    }
    groups.push_back(std::move(wide));
    groups[0].Members.push_back(kBenchWideGroup);

    // The rest: a forest whose top groups sit in "\", each later group under an
    // earlier one that is not yet at the deepest level.
    const int rest = kGroups - static_cast<int>(groups.size());
    const int tops = kRootMembers - static_cast<int>(groups[0].Members.size()) - 50;
    const size_t firstRest = groups.size();
    for (int i = 0; i < rest; ++i) {
        TBenchGroup g;
        g.Name = std::string(kGroupWords[i % 4]) + " " + kUnits[(i / 4) % Count(kUnits)] + " " +
                 Number(i, 5);
        const int members = 3 + rnd.Below(15);
        for (int k = 0; k < members; ++k) {
            g.Members.push_back(cards[static_cast<size_t>(
                kBigCards + kWideMembers + rnd.Below(kCards - kBigCards - kWideMembers))]);
        }
        if (i < tops) {
            g.Depth = 1;
            groups[0].Members.push_back(g.Name);
        } else {
            size_t parent;
            do {
                parent = firstRest + static_cast<size_t>(rnd.Below(i));
            } while (groups[parent].Depth >= kMaxDepth);
            g.Depth = groups[parent].Depth + 1;
            // Insert among the parent's cards, not always last.
            auto& pm = groups[parent].Members;
            pm.insert(pm.begin() + rnd.Below(static_cast<int>(pm.size()) + 1), g.Name);
        }
        groups.push_back(std::move(g));
    }
    // Fill "\" up with cards that belong to no other group.
    for (int i = 0; groups[0].Members.size() < static_cast<size_t>(kRootMembers); ++i) {
        groups[0].Members.push_back(cards[static_cast<size_t>(kCards - 1 - i)]);
    }
    return groups;
}

void WriteGroups(const std::filesystem::path& file, const std::vector<TBenchGroup>& groups) {
    std::string out;
    out.reserve(8 << 20);
    for (const TBenchGroup& g : groups) {
        out += "Name: " + g.Name + "\r\n";
        for (size_t i = 0; i < g.Members.size(); ++i) {
            out += (i == 0 ? "Entry: " : "  ") + g.Members[i] +
                   (i + 1 < g.Members.size() ? ",\r\n" : "\r\n");
        }
        out += ".\r\n";
    }
    std::ofstream f(file, std::ios::binary | std::ios::trunc);
    f.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!f) {
        throw std::runtime_error("cannot write " + file.string());
    }
}

}  // namespace

void GenerateBenchFolder(const std::filesystem::path& dir) {
    std::filesystem::create_directories(dir);
    std::vector<std::string> cards;
    WriteCards(dir / "card.dat", cards);
    WriteGroups(dir / "group.dat", MakeGroups(cards));
}
