// SPDX-License-Identifier: MIT
#include "mif_generator.hpp"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <vector>

namespace varnelo::bench {

namespace {

// Big enough that the sink (a file write) is called rarely, small enough to stay out of the
// way of the memory figures of whoever runs the generator.
constexpr std::size_t kOutputBufferBytes = std::size_t{1} << 20;

// Coordinates are generated in millionths of a degree, so every value has exactly six
// decimals and formatting never goes through floating point.
constexpr std::int64_t kAreaLonMin = 138'800'000;  // around the Kanto plain
constexpr std::int64_t kAreaLonMax = 140'200'000;
constexpr std::int64_t kAreaLatMin = 35'200'000;
constexpr std::int64_t kAreaLatMax = 36'200'000;

// xoshiro256** seeded through splitmix64: fast, and its sequence is fixed by the seed on every
// platform, unlike the standard library's distributions.
class TRandom {
  public:
    explicit TRandom(std::uint64_t seed) {
        for (auto& word : state_) {
            word = SplitMix(seed);
        }
    }

    std::uint64_t Next() {
        const std::uint64_t result = RotateLeft(state_[1] * 5, 7) * 9;
        const std::uint64_t t = state_[1] << 17;
        state_[2] ^= state_[0];
        state_[3] ^= state_[1];
        state_[1] ^= state_[2];
        state_[0] ^= state_[3];
        state_[2] ^= t;
        state_[3] = RotateLeft(state_[3], 45);
        return result;
    }

    // Uniform in [lo, hi], both ends included. The modulo bias is far below what matters here.
    std::int64_t Range(std::int64_t lo, std::int64_t hi) {
        const auto span = static_cast<std::uint64_t>(hi - lo) + 1;
        return lo + static_cast<std::int64_t>(Next() % span);
    }

    // Uniform in [0, 1).
    double Unit() { return static_cast<double>(Next() >> 11) * 0x1.0p-53; }

    bool Chance(int percent) { return Range(0, 99) < percent; }

    template <typename T, std::size_t N>
    const T& Pick(const std::array<T, N>& items) {
        return items[static_cast<std::size_t>(Range(0, N - 1))];
    }

  private:
    static std::uint64_t RotateLeft(std::uint64_t x, int k) { return (x << k) | (x >> (64 - k)); }

    static std::uint64_t SplitMix(std::uint64_t& x) {
        std::uint64_t z = (x += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    std::array<std::uint64_t, 4> state_{};
};

// Collects output in one fixed buffer and hands it to the sink in large chunks.
class TOutput {
  public:
    explicit TOutput(const TByteSink& sink) : sink_(sink), buffer_(kOutputBufferBytes) {}

    void Put(std::string_view text) {
        if (text.size() > buffer_.size() - used_) {
            Flush();
            if (text.size() > buffer_.size()) {
                sink_(text);
                flushed_ += text.size();
                return;
            }
        }
        std::memcpy(buffer_.data() + used_, text.data(), text.size());
        used_ += text.size();
    }

    void PutInt(std::int64_t value) {
        char digits[24];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        Put({digits, static_cast<std::size_t>(result.ptr - digits)});
    }

    // A number given in units of 10^-decimals: (139123456, 6) is written as 139.123456.
    void PutFixed(std::int64_t scaled, int decimals) {
        static constexpr std::array<std::int64_t, 7> kPowers = {1,      10,      100,      1000,
                                                                10'000, 100'000, 1'000'000};
        char text[32];
        char* out = text;
        std::uint64_t magnitude = scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled)
                                             : static_cast<std::uint64_t>(scaled);
        if (scaled < 0) {
            *out++ = '-';
        }
        const auto divisor =
            static_cast<std::uint64_t>(kPowers[static_cast<std::size_t>(decimals)]);
        out = std::to_chars(out, text + sizeof text, magnitude / divisor).ptr;
        if (decimals > 0) {
            *out++ = '.';
            std::uint64_t fraction = magnitude % divisor;
            for (int i = decimals - 1; i >= 0; --i) {
                out[i] = static_cast<char>('0' + fraction % 10);
                fraction /= 10;
            }
            out += decimals;
        }
        Put({text, static_cast<std::size_t>(out - text)});
    }

    // Two digits with a leading zero, for dates.
    void PutTwoDigits(std::int64_t value) {
        const char text[2] = {static_cast<char>('0' + value / 10),
                              static_cast<char>('0' + value % 10)};
        Put({text, 2});
    }

    void EndLine() { Put("\r\n"); }

    std::uint64_t Size() const { return flushed_ + used_; }

    void Flush() {
        if (used_ > 0) {
            sink_({buffer_.data(), used_});
            flushed_ += used_;
            used_ = 0;
        }
    }

  private:
    const TByteSink& sink_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    std::uint64_t flushed_ = 0;
};

// Shift-JIS place-name parts (several have 0x5C as a trail byte, the classic trap for code
// that treats every backslash as an escape).
constexpr std::array<std::string_view, 24> kPlaces = {
    "\x93\x8c\x8b\x9e",          // 東京
    "\x90\x56\x8f\x68",          // 新宿
    "\x8f\x61\x92\x4a",          // 渋谷
    "\x92\x72\x91\xdc",          // 池袋
    "\x95\x5c\x8e\x51\x93\xb9",  // 表参道
    "\x89\xa1\x95\x6c",          // 横浜
    "\x90\xec\x8d\xe8",          // 川崎
    "\x91\xe5\x8b\x7b",          // 大宮
    "\x90\xe7\x97\x74",          // 千葉
    "\x91\x44\x8b\xb4",          // 船橋
    "\x94\xaa\x89\xa4\x8e\x71",  // 八王子
    "\x97\xa7\x90\xec",          // 立川
    "\x92\xac\x93\x63",          // 町田
    "\x8a\x99\x91\x71",          // 鎌倉
    "\x8f\x8a\x91\xf2",          // 所沢
    "\x89\x59\x98\x61",          // 浦和
    "\x95\x69\x90\xec",          // 品川
    "\x8f\xe3\x96\xec",          // 上野
    "\x8f\x48\x97\x74\x8c\xb4",  // 秋葉原
    "\x8b\x67\x8f\xcb\x8e\x9b",  // 吉祥寺
    "\x92\x86\x96\xec",          // 中野
    "\x96\xda\x8d\x95",          // 目黒
    "\x90\xa2\x93\x63\x92\x4a",  // 世田谷
    "\x94\x5c\x8c\xa9\x91\xe4",  // 能見台
};

constexpr std::array<std::string_view, 12> kFacilities = {
    "\x89\x77",                  // 駅
    "\x89\x77\x91\x4f",          // 駅前
    "\x90\xbc\x8c\xfb",          // 西口
    "\x93\x8c\x8c\xfb",          // 東口
    "\x8c\xf6\x89\x80",          // 公園
    "\x8f\xa4\x93\x58\x8a\x58",  // 商店街
    "\x95\x61\x89\x40",          // 病院
    "\x8a\x77\x8d\x5a",          // 学校
    "\x90\x7d\x8f\x91\x8a\xd9",  // 図書館
    "\x8e\x73\x96\xf0\x8f\x8a",  // 市役所
    "\x8c\xf6\x96\xaf\x8a\xd9",  // 公民館
    "\x97\x58\x95\xd6\x8b\xc7",  // 郵便局
};

// A prefecture with one of its cities or wards.
struct TMunicipality {
    std::string_view Prefecture;
    std::string_view Name;
};

constexpr std::array<TMunicipality, 8> kMunicipalities = {{
    {"\x93\x8c\x8b\x9e\x93\x73", "\x90\xe7\x91\xe3\x93\x63\x8b\xe6"},  // 東京都千代田区
    {"\x93\x8c\x8b\x9e\x93\x73", "\x8d\x60\x8b\xe6"},                  // 東京都港区
    {"\x93\x8c\x8b\x9e\x93\x73", "\x92\x86\x89\x9b\x8b\xe6"},          // 東京都中央区
    {"\x90\x5f\x93\xde\x90\xec\x8c\xa7", "\x89\xa1\x95\x6c\x8e\x73"},  // 神奈川県横浜市
    {"\x90\x5f\x93\xde\x90\xec\x8c\xa7", "\x90\xec\x8d\xe8\x8e\x73"},  // 神奈川県川崎市
    {"\x8d\xe9\x8b\xca\x8c\xa7", "\x82\xb3\x82\xa2\x82\xbd\x82\xdc\x8e\x73"},  // 埼玉県さいたま市
    {"\x8d\xe9\x8b\xca\x8c\xa7", "\x8f\x8a\x91\xf2\x8e\x73"},                  // 埼玉県所沢市
    {"\x90\xe7\x97\x74\x8c\xa7", "\x90\xe7\x97\x74\x8e\x73"},                  // 千葉県千葉市
}};

constexpr std::array<std::string_view, 6> kTowns = {
    "\x96\x7b\x92\xac",          // 本町
    "\x89\x68\x92\xac",          // 栄町
    "\x97\xce\x92\xac",          // 緑町
    "\x8a\xdb\x82\xcc\x93\xe0",  // 丸の内
    "\x8e\xe1\x97\x74\x91\xe4",  // 若葉台
    "\x8d\xf7\x91\xe4",          // 桜台
};

constexpr std::string_view kChome = "\x92\x9a\x96\xda";  // 丁目

constexpr std::string_view kHeader =
    "Version 300\r\n"
    "Charset \"WindowsJapanese\"\r\n"
    "Delimiter \",\"\r\n"
    "CoordSys Earth Projection 1, 0\r\n"
    "Columns 8\r\n"
    "  NAME Char(40)\r\n"
    "  ADDRESS Char(80)\r\n"
    "  CODE Integer\r\n"
    "  FLOORS SmallInt\r\n"
    "  AREA Decimal(12,3)\r\n"
    "  HEIGHT Float\r\n"
    "  SURVEYED Date\r\n"
    "  ACTIVE Logical\r\n"
    "Data\r\n"
    "\r\n";

constexpr std::string_view kPen = "    Pen (1,2,0)\r\n";
constexpr std::string_view kBrush = "    Brush (2,16777215,16777215)\r\n";
constexpr std::string_view kSymbol = "    Symbol (35,0,12)\r\n";
constexpr std::string_view kFont =
    "    Font (\"\x82\x6c\x82\x72 \x83\x53\x83\x56\x83\x62\x83\x4e\",0,0,0)\r\n";  // ＭＳ ゴシック

// Share of each keyword in a mixed file, in percent; the entries add up to 100.
constexpr std::array<int, kwKeywordCount> kMixPercent = {
    30,  // POINT
    8,   // LINE
    20,  // PLINE
    15,  // REGION
    5,   // ARC
    6,   // TEXT
    5,   // RECT
    3,   // ROUNDRECT
    4,   // ELLIPSE
    2,   // MULTIPOINT
    2,   // NONE
};

bool IsLeapYear(std::int64_t year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

std::int64_t DaysInMonth(std::int64_t year, std::int64_t month) {
    static constexpr std::array<std::int64_t, 12> kDays = {31, 28, 31, 30, 31, 30,
                                                           31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

class TPairWriter {
  public:
    TPairWriter(const TMifGeneratorOptions& options, const TByteSink& mif, const TByteSink& mid)
        : options_(options), random_(options.Seed), mif_(mif), mid_(mid) {}

    TMifPairStats Run() {
        mif_.Put(kHeader);
        while (!Done()) {
            WriteObject(PickKeyword());
            WriteMidLine();
            ++stats_.Objects;
        }
        mif_.Flush();
        mid_.Flush();
        stats_.MifBytes = mif_.Size();
        stats_.MidBytes = mid_.Size();
        return stats_;
    }

  private:
    bool Done() const {
        return (options_.MaxObjects != 0 && stats_.Objects >= options_.MaxObjects) ||
               (options_.TargetMifBytes != 0 && mif_.Size() >= options_.TargetMifBytes);
    }

    TMifKeyword PickKeyword() {
        switch (options_.Kind) {
            case TMifKind::Regions:
                return kwRegion;
            case TMifKind::Plines:
                return kwPline;
            case TMifKind::Points:
                return kwPoint;
            case TMifKind::Mix:
                break;
        }
        std::int64_t roll = random_.Range(0, 99);
        for (int k = 0; k < kwKeywordCount; ++k) {
            roll -= kMixPercent[static_cast<std::size_t>(k)];
            if (roll < 0) {
                return static_cast<TMifKeyword>(k);
            }
        }
        return kwPoint;
    }

    void WriteObject(TMifKeyword keyword) {
        ++stats_.ByKeyword[static_cast<std::size_t>(keyword)];
        switch (keyword) {
            case kwPoint:
                return WritePoint();
            case kwLine:
                return WriteLine();
            case kwPline:
                return WritePline();
            case kwRegion:
                return WriteRegion();
            case kwArc:
                return WriteArc();
            case kwText:
                return WriteText();
            case kwRect:
                return WriteRect("Rect ", false);
            case kwRoundRect:
                return WriteRect("Roundrect ", true);
            case kwEllipse:
                return WriteEllipse();
            case kwMultiPoint:
                return WriteMultiPoint();
            case kwNone:
            case kwKeywordCount:
                mif_.Put("None\r\n");
                return;
        }
    }

    // ---- coordinates ----

    std::int64_t RandomLon() { return random_.Range(kAreaLonMin, kAreaLonMax); }
    std::int64_t RandomLat() { return random_.Range(kAreaLatMin, kAreaLatMax); }

    void PutXY(std::int64_t x, std::int64_t y) {
        mif_.PutFixed(x, 6);
        mif_.Put(" ");
        mif_.PutFixed(y, 6);
    }

    void PutPointLine(std::int64_t x, std::int64_t y) {
        PutXY(x, y);
        mif_.EndLine();
    }

    // Four numbers of a bounding rectangle: lower left, then upper right.
    void PutRectangle(std::int64_t x, std::int64_t y, std::int64_t width, std::int64_t height) {
        PutXY(x, y);
        mif_.Put(" ");
        PutXY(x + width, y + height);
    }

    void PutCount(std::int64_t count) {
        mif_.Put("  ");
        mif_.PutInt(count);
        mif_.EndLine();
    }

    // ---- objects ----

    void WritePoint() {
        mif_.Put("Point ");
        PutPointLine(RandomLon(), RandomLat());
        mif_.Put(kSymbol);
    }

    void WriteLine() {
        const std::int64_t x = RandomLon();
        const std::int64_t y = RandomLat();
        mif_.Put("Line ");
        PutXY(x, y);
        mif_.Put(" ");
        PutXY(x + random_.Range(-3000, 3000), y + random_.Range(-3000, 3000));
        mif_.EndLine();
        mif_.Put(kPen);
    }

    // A road-like walk: the heading drifts a little at every step.
    void WriteWalk(std::int64_t& x, std::int64_t& y, double& heading, std::int64_t points) {
        for (std::int64_t i = 0; i < points; ++i) {
            PutPointLine(x, y);
            heading += (random_.Unit() - 0.5) * 0.6;
            const double step = static_cast<double>(random_.Range(30, 400));
            x += std::llround(step * std::cos(heading));
            y += std::llround(step * std::sin(heading));
        }
    }

    void WritePline() {
        const bool multiple = random_.Chance(options_.Kind == TMifKind::Plines ? 30 : 25);
        std::int64_t x = RandomLon();
        std::int64_t y = RandomLat();
        double heading = random_.Unit() * 2 * std::numbers::pi;
        if (multiple) {
            const std::int64_t sections = random_.Range(2, 5);
            mif_.Put("Pline Multiple ");
            mif_.PutInt(sections);
            mif_.EndLine();
            for (std::int64_t s = 0; s < sections; ++s) {
                const std::int64_t points = random_.Range(2, 100);
                PutCount(points);
                WriteWalk(x, y, heading, points);
                x += random_.Range(-500, 500);  // sections are near each other, not joined
                y += random_.Range(-500, 500);
            }
        } else {
            const std::int64_t points = random_.Range(2, 200);
            mif_.Put("Pline ");
            mif_.PutInt(points);
            mif_.EndLine();
            WriteWalk(x, y, heading, points);
        }
        mif_.Put(kPen);
        if (random_.Chance(5)) {
            mif_.Put("    Smooth\r\n");
        }
    }

    // A star-shaped ring around (cx, cy): angles strictly monotonic and radii positive, so it
    // never crosses itself. `minFactor` is the smallest radius as a share of `radius`.
    void WriteRing(std::int64_t cx, std::int64_t cy, double radius, double minFactor,
                   std::int64_t points, bool counterClockwise, bool closed) {
        PutCount(points + (closed ? 1 : 0));
        const double step = 2 * std::numbers::pi / static_cast<double>(points);
        const double start = random_.Unit() * 2 * std::numbers::pi;
        const double direction = counterClockwise ? 1.0 : -1.0;
        std::int64_t firstX = 0;
        std::int64_t firstY = 0;
        for (std::int64_t i = 0; i < points; ++i) {
            const double angle =
                start + direction * (static_cast<double>(i) + 0.3 * random_.Unit()) * step;
            const double r = radius * (minFactor + (1.0 - minFactor) * random_.Unit());
            const std::int64_t x = cx + std::llround(r * std::cos(angle));
            const std::int64_t y = cy + std::llround(r * std::sin(angle));
            if (i == 0) {
                firstX = x;
                firstY = y;
            }
            PutPointLine(x, y);
        }
        if (closed) {
            PutPointLine(firstX, firstY);
        }
    }

    std::int64_t PickRingCount() {
        const std::int64_t roll = random_.Range(0, 99);
        return roll < 50 ? 1 : roll < 75 ? 2 : roll < 90 ? 3 : 4;
    }

    // One outer ring and up to three holes. The outer ring never comes closer to the centre
    // than 0.75 r; each hole lies within 0.4 r + 0.12 r of it, and the holes sit at least 120
    // degrees apart on that circle, so they stay inside the outer ring and apart.
    void WriteRegion() {
        const std::int64_t rings = PickRingCount();
        const std::int64_t cx = RandomLon();
        const std::int64_t cy = RandomLat();
        const auto radius = static_cast<double>(random_.Range(1000, 20000));
        const bool counterClockwise = random_.Chance(50);
        const bool closed = random_.Chance(60);
        mif_.Put("Region  ");  // MapInfo itself writes two blanks here
        mif_.PutInt(rings);
        mif_.EndLine();
        WriteRing(cx, cy, radius, 0.75, random_.Range(20, 200), counterClockwise, closed);
        const double base = random_.Unit() * 2 * std::numbers::pi;
        for (std::int64_t h = 0; h + 1 < rings; ++h) {
            const double angle = base + 2 * std::numbers::pi * static_cast<double>(h) /
                                            static_cast<double>(rings - 1);
            const std::int64_t hx = cx + std::llround(0.4 * radius * std::cos(angle));
            const std::int64_t hy = cy + std::llround(0.4 * radius * std::sin(angle));
            WriteRing(hx, hy, 0.12 * radius, 0.8, random_.Range(20, 60), !counterClockwise, closed);
        }
        mif_.Put(kPen);
        mif_.Put(kBrush);
        mif_.Put("    Center ");
        PutXY(cx, cy);
        mif_.EndLine();
    }

    void WriteArc() {
        mif_.Put("Arc ");
        PutRectangle(RandomLon(), RandomLat(), random_.Range(100, 5000), random_.Range(100, 5000));
        mif_.EndLine();
        mif_.Put("  ");
        mif_.PutFixed(random_.Range(0, 3599), 1);
        mif_.Put(" ");
        mif_.PutFixed(random_.Range(0, 3599), 1);
        mif_.EndLine();
        mif_.Put(kPen);
    }

    void WriteRect(std::string_view keyword, bool rounded) {
        mif_.Put(keyword);
        PutRectangle(RandomLon(), RandomLat(), random_.Range(100, 5000), random_.Range(100, 5000));
        mif_.EndLine();
        if (rounded) {
            mif_.Put("  ");
            mif_.PutFixed(random_.Range(50, 1000), 6);  // the corner radius
            mif_.EndLine();
        }
        mif_.Put(kPen);
        mif_.Put(kBrush);
    }

    void WriteEllipse() {
        mif_.Put("Ellipse ");
        PutRectangle(RandomLon(), RandomLat(), random_.Range(100, 5000), random_.Range(100, 5000));
        mif_.EndLine();
        mif_.Put(kPen);
        mif_.Put(kBrush);
    }

    // The string stands on the keyword line or on its own line; both forms occur in real files.
    void WriteText() {
        if (random_.Chance(50)) {
            mif_.Put("Text\r\n    \"");
        } else {
            mif_.Put("Text \"");
        }
        mif_.Put(random_.Pick(kPlaces));
        mif_.Put(random_.Pick(kFacilities));
        mif_.Put("\"\r\n    ");
        PutRectangle(RandomLon(), RandomLat(), random_.Range(500, 3000), random_.Range(100, 800));
        mif_.EndLine();
        mif_.Put(kFont);
        if (random_.Chance(20)) {
            mif_.Put("    Angle ");
            mif_.PutFixed(random_.Range(1, 3599), 1);
            mif_.EndLine();
        }
    }

    void WriteMultiPoint() {
        const std::int64_t points = random_.Range(2, 6);
        mif_.Put("Multipoint ");
        mif_.PutInt(points);
        mif_.EndLine();
        const std::int64_t x = RandomLon();
        const std::int64_t y = RandomLat();
        for (std::int64_t i = 0; i < points; ++i) {
            PutPointLine(x + random_.Range(-2000, 2000), y + random_.Range(-2000, 2000));
        }
        mif_.Put(kSymbol);
    }

    // ---- attributes ----

    // A quoted .mid string; quotes inside are doubled. Shift-JIS trail bytes never equal the
    // quote, so the bytes can be scanned one by one.
    void PutQuoted(std::string_view text) {
        mid_.Put("\"");
        std::size_t start = 0;
        for (std::size_t quote = text.find('"'); quote != std::string_view::npos;
             quote = text.find('"', start)) {
            mid_.Put(text.substr(start, quote + 1 - start));
            mid_.Put("\"");
            start = quote + 1;
        }
        mid_.Put(text.substr(start));
        mid_.Put("\"");
    }

    // A facility name; now and then with quotes, a comma or a blank inside, as real data has.
    void PutName() {
        scratch_.assign(random_.Pick(kPlaces));
        const std::int64_t variant = random_.Range(0, 99);
        if (variant < 3) {
            scratch_ += " \"";
            scratch_ += random_.Pick(kFacilities);
            scratch_ += "\"";
        } else if (variant < 6) {
            scratch_ += ",";
            scratch_ += random_.Pick(kFacilities);
        } else if (variant < 15) {
            scratch_ += " ";
            scratch_ += random_.Pick(kFacilities);
        } else {
            scratch_ += random_.Pick(kFacilities);
        }
        PutQuoted(scratch_);
    }

    void PutAddress() {
        mid_.Put("\"");
        const TMunicipality& municipality = random_.Pick(kMunicipalities);
        mid_.Put(municipality.Prefecture);
        mid_.Put(municipality.Name);
        mid_.Put(random_.Pick(kTowns));
        mid_.PutInt(random_.Range(1, 9));
        mid_.Put(kChome);
        mid_.PutInt(random_.Range(1, 30));
        mid_.Put("-");
        mid_.PutInt(random_.Range(1, 50));
        mid_.Put("\"");
    }

    void PutFloat() {
        if (random_.Chance(4)) {
            return;  // an empty value
        }
        const auto decimals = static_cast<int>(random_.Range(0, 6));
        std::int64_t scaled = random_.Range(0, 9999);
        for (int i = 0; i < decimals; ++i) {
            scaled = scaled * 10 + random_.Range(0, 9);
        }
        mid_.PutFixed(random_.Chance(5) ? -scaled : scaled, decimals);
    }

    void PutDate() {
        if (random_.Chance(4)) {
            return;  // an empty value
        }
        const std::int64_t year = random_.Range(1950, 2024);
        const std::int64_t month = random_.Range(1, 12);
        mid_.PutInt(year);
        mid_.Put("/");
        mid_.PutTwoDigits(month);
        mid_.Put("/");
        mid_.PutTwoDigits(random_.Range(1, DaysInMonth(year, month)));
    }

    void WriteMidLine() {
        PutName();
        mid_.Put(",");
        PutAddress();
        mid_.Put(",");
        mid_.PutInt(random_.Chance(5) ? -random_.Range(1, 99999) : random_.Range(1, 99'999'999));
        mid_.Put(",");
        mid_.PutInt(random_.Range(0, 60));
        mid_.Put(",");
        mid_.PutFixed(random_.Range(0, 999'999'999), 3);
        mid_.Put(",");
        PutFloat();
        mid_.Put(",");
        PutDate();
        mid_.Put(random_.Chance(50) ? ",T\r\n" : ",F\r\n");
    }

    const TMifGeneratorOptions& options_;
    TRandom random_;
    TOutput mif_;
    TOutput mid_;
    TMifPairStats stats_;
    std::string scratch_;
};

struct TFileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using TFileHandle = std::unique_ptr<std::FILE, TFileCloser>;

TFileHandle CreateOutputFile(const std::string& path) {
    TFileHandle file(std::fopen(path.c_str(), "wb"));
    if (!file) {
        throw std::runtime_error("cannot create " + path);
    }
    // Our own buffer already gathers large chunks; a second copy in stdio would only cost.
    std::setvbuf(file.get(), nullptr, _IONBF, 0);
    return file;
}

TByteSink FileSink(std::FILE* file, const std::string& path) {
    return [file, path](std::string_view chunk) {
        if (std::fwrite(chunk.data(), 1, chunk.size(), file) != chunk.size()) {
            throw std::runtime_error("cannot write " + path);
        }
    };
}

void CloseOutputFile(TFileHandle& file, const std::string& path) {
    if (std::fclose(file.release()) != 0) {
        throw std::runtime_error("cannot write " + path);
    }
}

}  // namespace

std::string_view MifKindName(TMifKind kind) {
    switch (kind) {
        case TMifKind::Regions:
            return "regions";
        case TMifKind::Plines:
            return "plines";
        case TMifKind::Points:
            return "points";
        case TMifKind::Mix:
            return "mix";
    }
    return "mix";
}

std::optional<TMifKind> ParseMifKind(std::string_view name) {
    for (TMifKind kind : {TMifKind::Regions, TMifKind::Plines, TMifKind::Points, TMifKind::Mix}) {
        if (name == MifKindName(kind)) {
            return kind;
        }
    }
    return std::nullopt;
}

std::uint64_t TMifPairStats::RecordsFor(int conversionType) const {
    switch (conversionType) {
        case 0:
            return ByKeyword[kwPoint];
        case 1:
            return ByKeyword[kwLine] + ByKeyword[kwPline] + ByKeyword[kwArc];
        case 2:
            return ByKeyword[kwRegion] + ByKeyword[kwRect] + ByKeyword[kwRoundRect] +
                   ByKeyword[kwEllipse];
        case 3:
        case 4:
            return ByKeyword[kwText];
        default:
            return 0;
    }
}

TMifPairStats GenerateMifPair(const TMifGeneratorOptions& options, const TByteSink& mif,
                              const TByteSink& mid) {
    if (options.TargetMifBytes == 0 && options.MaxObjects == 0) {
        throw std::invalid_argument("a size or an object count is needed");
    }
    return TPairWriter(options, mif, mid).Run();
}

TMifPairStats GenerateMifPairFiles(const TMifGeneratorOptions& options, const std::string& mifPath,
                                   const std::string& midPath) {
    TFileHandle mifFile = CreateOutputFile(mifPath);
    TFileHandle midFile = CreateOutputFile(midPath);
    const TMifPairStats stats = GenerateMifPair(options, FileSink(mifFile.get(), mifPath),
                                                FileSink(midFile.get(), midPath));
    CloseOutputFile(mifFile, mifPath);
    CloseOutputFile(midFile, midPath);
    return stats;
}

std::string MidPathFor(std::string_view mifPath) {
    const std::size_t nameStart = mifPath.find_last_of('/') + 1;  // npos + 1 is 0
    const std::size_t dot = mifPath.find_last_of('.');
    const std::size_t stemEnd =
        dot != std::string_view::npos && dot >= nameStart ? dot : mifPath.size();
    std::string path(mifPath.substr(0, stemEnd));
    path += ".mid";
    return path;
}

}  // namespace varnelo::bench
