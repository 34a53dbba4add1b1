// SPDX-License-Identifier: MIT
#include "engine/mif_objects.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <limits>

#include "engine/angles.hpp"
#include "engine/mif_errors.hpp"
#include "engine/numbers.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "shape/errors.hpp"
#include "shape/number_text.hpp"

namespace varnelo {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kRadToDeg = 180.0 / kPi;
constexpr double kTwoPi = 6.283185307179586477;
constexpr int kEllipseSteps = 360;

// Beyond this many degrees an angle is first reduced with fmod, so that bringing it into
// 0..360 by whole turns stays a short loop for absurd input.
constexpr double kFarDegrees = 360.0 * 65536.0;

// ---- line access with the end of the file as an error ----

[[noreturn]] void ThrowTruncated(std::string_view kind) {
    throw EMifFormatError(Text(TText::kEngineObjectCutShort, kind));
}

// The next line of an object, raw; an object never waits past the end of the file.
std::string_view ReadObjectLine(TLineReader& mif, std::string_view kind) {
    if (mif.Eof()) {
        ThrowTruncated(kind);
    }
    return mif.ReadLineView();
}

// Blank lines between the lines of an object are read past and count for nothing.
std::string_view NextNonEmptyLine(TLineReader& mif, std::string_view kind) {
    for (;;) {
        const std::string_view line = TrimView(ReadObjectLine(mif, kind));
        if (!line.empty()) {
            return line;
        }
    }
}

// What follows the keyword on its line, or else the first non-empty line after it: the
// keyword line continued by following lines until something stands after the keyword.
// Fields of an object's lines are separated by blanks, spaces or TABs, however many.
std::string_view TailAfterKeyword(std::string_view keywordLine, TLineReader& mif,
                                  std::string_view kind) {
    const std::string_view tail = SplitAtFirstBlankView(keywordLine).Tail;
    return tail.empty() ? NextNonEmptyLine(mif, kind) : tail;
}

// ---- taking numbers from a working text ----

struct TTaken {
    double Value;
    std::string_view Rest;
};

// The first word of `text` as a number; the rest may be empty.
TTaken TakeNumber(std::string_view text) {
    const THeadTailView parts = SplitAtFirstBlankView(text);
    return {StrToDouble(parts.Head), parts.Tail};
}

// The first word of `text` as a number; when nothing follows it, the text continues on
// the next non-blank line. The word is converted before any further line is read,
// because the read may reuse the storage the word lies in.
TTaken TakeNumberWithContinuation(std::string_view text, TLineReader& mif, std::string_view kind) {
    TTaken taken = TakeNumber(text);
    while (taken.Rest.empty()) {
        taken.Rest = TrimView(ReadObjectLine(mif, kind));
    }
    return taken;
}

double NextFieldAsDouble(TFieldScanner& fields) {
    return StrToDouble(fields.Next() ? fields.Field() : std::string_view{});
}

// ---- counts and point lists ----

// `negative` says that a count of what it counts is below zero.
std::int32_t ReadCount(std::string_view text, std::string_view kind, TText negative) {
    const std::int32_t count = StrToInt32(text);
    if (count < 0) {
        throw EMifFormatError(Text(negative, kind, count));
    }
    return count;
}

// Adds `count` to the running point total, which must stay a 32-bit count.
void AddToTotal(std::int64_t& total, std::int32_t count, std::string_view kind) {
    total += count;
    if (total > std::numeric_limits<std::int32_t>::max()) {
        throw EMifFormatError(Text(TText::kEngineTooManyPoints, kind));
    }
}

constexpr bool IsSpaceOrTab(char c) noexcept {
    return c == ' ' || c == '\t';
}

// A trimmed coordinate line of the everyday form: a plain decimal, a space or TAB, any
// blanks, and a plain decimal that ends the text. That is the form in which splitting at the
// first blank and trimming both sides leaves two numbers, read here in one pass over the
// text. False for any other text, which then goes the general way.
bool TryReadPlainPair(std::string_view text, TShpPoint& out) noexcept {
    double x = 0.0;
    std::size_t at = ScanShortDecimal(text, x);
    if (at == 0 || at == text.size() || !IsSpaceOrTab(text[at])) {
        return false;
    }
    do {
        ++at;
    } while (at < text.size() && IsTrimmable(static_cast<unsigned char>(text[at])));
    const std::string_view rest = text.substr(at);
    double y = 0.0;
    if (rest.empty() || ScanShortDecimal(rest, y) != rest.size()) {
        return false;
    }
    out = {x, y};
    return true;
}

// x and y of a trimmed coordinate line, split at the first blank.
TShpPoint ReadPair(std::string_view text) {
    TShpPoint point;
    if (TryReadPlainPair(text, point)) {
        return point;
    }
    const THeadTailView xy = SplitAtFirstBlankView(text);
    const double x = StrToDouble(xy.Head);
    return {x, StrToDouble(xy.Tail)};
}

// A coordinate line of the everyday form at `line`, inside the buffered bytes up to `end`:
// blanks, a plain decimal, a space or TAB, blanks, a plain decimal, blanks, and CR LF or LF.
// Read as a line, trimmed and split, such a line gives the same two numbers. Answers the
// start of the next line, or nullptr for anything else (an empty line, other control
// bytes, a lone CR, a line running past the buffered bytes), which is then read the
// ordinary way.
const char* TakePlainPointLine(const char* line, const char* end, TShpPoint& out) noexcept {
    // The line end is found first, apart from the numbers: where the next line starts then
    // does not wait for this line's numbers to be read.
    const auto* lf =
        static_cast<const char*>(std::memchr(line, '\n', static_cast<std::size_t>(end - line)));
    if (lf == nullptr) {
        return nullptr;
    }
    const char* const lineEnd = lf != line && lf[-1] == '\r' ? lf - 1 : lf;
    const auto rest = [end](const char* from) {
        return std::string_view(from, static_cast<std::size_t>(end - from));
    };
    const char* p = line;
    while (p != lineEnd && IsSpaceOrTab(*p)) {
        ++p;
    }
    double x = 0.0;
    const std::size_t xLength = ScanShortDecimal(rest(p), x);
    p += xLength;
    if (xLength == 0 || p >= lineEnd || !IsSpaceOrTab(*p)) {
        return nullptr;
    }
    do {
        ++p;
    } while (p != lineEnd && IsSpaceOrTab(*p));
    double y = 0.0;
    const std::size_t yLength = ScanShortDecimal(rest(p), y);
    p += yLength;
    while (p < lineEnd && IsSpaceOrTab(*p)) {
        ++p;
    }
    if (yLength == 0 || p != lineEnd) {
        return nullptr;
    }
    out = {x, y};
    return lf + 1;
}

// Up to `wanted` everyday coordinate lines taken from the reader's buffered bytes in one
// go; answers how many. Stops at the first line of another form.
std::int32_t TakePlainPointLines(TLineReader& mif, std::int32_t wanted,
                                 std::vector<TShpPoint>& points) {
    const std::string_view chunk = mif.PeekChunk();
    const char* const begin = chunk.data();
    const char* const end = begin + chunk.size();
    const char* line = begin;
    std::int32_t taken = 0;
    TShpPoint point;
    while (taken < wanted) {
        const char* const next = TakePlainPointLine(line, end, point);
        if (next == nullptr) {
            break;
        }
        points.push_back(point);
        line = next;
        ++taken;
    }
    mif.SkipLines(static_cast<std::size_t>(line - begin), taken);
    return taken;
}

// `count` points, one per non-empty line, x and y split at the first space. Points are
// appended one by one: a declared count is never trusted for allocation.
void ReadPointLines(TLineReader& mif, std::int32_t count, std::string_view kind,
                    std::vector<TShpPoint>& points) {
    std::int32_t read = 0;
    while (read < count) {
        read += TakePlainPointLines(mif, count - read, points);
        if (read < count) {
            points.push_back(ReadPair(NextNonEmptyLine(mif, kind)));
            ++read;
        }
    }
}

void SetSinglePart(TSFMultiPart& shape, std::int32_t numPoints) {
    shape.NumParts = 1;
    shape.Parts.assign(1, 0);
    shape.NumPoints = numPoints;
}

// ---- arcs ----

double NormalizeDegrees(double degrees) {
    if (std::fabs(degrees) > kFarDegrees) {
        degrees = std::fmod(degrees, 360.0);
    }
    while (degrees < 0.0) {
        degrees += 360.0;
    }
    while (degrees > 360.0) {
        degrees -= 360.0;
    }
    return degrees;
}

// True for a non-zero whole number of turns, allowing for the rounding of angles such as
// 0.1 and 360.1 read as doubles.
bool IsWholeTurn(double degrees) {
    constexpr double kTolerance = 1e-9;
    const double size = std::fabs(degrees);
    return size >= 180.0 && std::fabs(std::remainder(size, 360.0)) <= kTolerance * size;
}

int NormalizeDegrees(int degrees) {
    while (degrees < 0) {
        degrees += 360;
    }
    while (degrees > 360) {
        degrees -= 360;
    }
    return degrees;
}

// The point (px, py) turned by -theta degrees about (cx, cy). Whole degrees, the usual
// angles of an arc, take their cosine and sine from the table.
TShpPoint RotatePoint(double px, double py, double cx, double cy, double theta) {
    double cosine = 0.0;
    double sine = 0.0;
    if (theta == std::floor(theta) && theta >= 0.0 && theta <= 360.0) {
        const TCosSin& degree = WholeDegree(static_cast<int>(theta));
        cosine = degree.Cos;
        sine = -degree.Sin;
    } else {
        const double alpha = -theta * kDegToRad;
        cosine = Cosine(alpha);
        sine = Sine(alpha);
    }
    return {cx + cosine * (px - cx) - sine * (py - cy), cy + sine * (px - cx) + cosine * (py - cy)};
}

// The ellipse's own parameter angle of the point seen at `theta` degrees clockwise.
double EllipseAngle(double theta, double cx, double cy, double rx, double ry) {
    const TShpPoint r = RotatePoint(cx + rx + ry, cy, cx, cy, theta);
    return ArcTangent2(-(r.Y - cy) * rx, (r.X - cx) * ry);
}

// Coordinates near the ends of the double range overflow in the arithmetic of arcs and
// ellipses (a half-width of 1e308 - -1e308); such an object has no points to give, and an
// infinite or undefined angle must never reach a conversion to a whole degree.
void RequireFinite(std::initializer_list<double> values, std::string_view kind) {
    for (const double v : values) {
        if (!std::isfinite(v)) {
            throw EMifFormatError(Text(TText::kEngineCoordinatesTooLarge, kind));
        }
    }
}

void RequireFinitePoints(const TSFMultiPart& shape, std::string_view kind) {
    for (const TShpPoint& p : shape.Points) {
        RequireFinite({p.X, p.Y}, kind);
    }
}

// ---- collections ----

// Adds the parts of `from` after those of `into`, whose part starts and box follow.
void AppendParts(TSFMultiPart& into, const TSFMultiPart& from, std::string_view kind) {
    std::int64_t total = into.NumPoints;
    AddToTotal(total, from.NumPoints, kind);
    std::int64_t parts = into.NumParts;
    AddToTotal(parts, from.NumParts, kind);
    for (const std::int32_t first : from.Parts) {
        into.Parts.push_back(first + into.NumPoints);
    }
    into.Points.insert(into.Points.end(), from.Points.begin(), from.Points.end());
    into.NumParts = static_cast<std::int32_t>(parts);
    into.NumPoints = static_cast<std::int32_t>(total);
    into.Box = BoxOfPoints(into.Points);
}

// Reads a part into `record`, or, when the collection already gave a part of this kind,
// into `more` and then adds it to `record`.
template <class TRecord, class TReader>
void ReadCollectionPart(bool& found, TRecord& record, TRecord& more, std::string_view kind,
                        TReader read) {
    if (!found) {
        read(record);
        found = true;
        return;
    }
    read(more);
    AppendParts(record, more, kind);
}

// ---- text objects ----

// A text string writes a line break as \n and a backslash as \\; every other backslash
// stands for itself. The string is walked by characters of its character set, since in the
// double-byte code pages 0x5C is also the second byte of characters such as 表 (95 5C),
// which is then no backslash at all.
void UnescapeTextString(std::string& text, TCharacterSet characters) {
    if (text.find('\\') == std::string::npos) {
        return;  // the everyday string
    }
    std::size_t out = 0;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t n = CharBytesAt(characters, text, i);
        if (n == 1 && text[i] == '\\' && i + 1 < text.size() &&
            (text[i + 1] == 'n' || text[i + 1] == '\\')) {
            text[out++] = text[i + 1] == 'n' ? '\n' : '\\';
            i += 2;
            continue;
        }
        for (std::size_t k = 0; k < n; ++k) {
            text[out++] = text[i++];
        }
    }
    text.resize(out);
}

// The text string, from the keyword line when it carries one, else from the next line.
void ReadTextString(std::string_view keywordLine, TLineReader& mif, std::string& text,
                    TCharacterSet characters) {
    TFieldScanner byComma(keywordLine, ',');
    byComma.Next();
    const bool onKeywordLine = byComma.Next() && !byComma.Field().empty();
    if (onKeywordLine) {
        text = Dequote(SplitString(keywordLine, 2, ' '), '"');
    } else {
        text = Dequote(TrimView(ReadObjectLine(mif, "TEXT")), '"');
    }
    UnescapeTextString(text, characters);
}

// The coordinate line after the text string, read once: a blank line here is not skipped.
// Runs of spaces need no collapsing, since any run of blanks separates fields anyway and
// a number never holds a space.
std::string_view ReadTextCoordinateLine(TLineReader& mif) {
    return TrimView(ReadObjectLine(mif, "TEXT"));
}

}  // namespace

const std::array<TMifObjectKeyword, 12> kMifObjectKeywords = {{
    {"POINT", TMifObjectKind::Point},
    {"LINE", TMifObjectKind::Line},
    {"PLINE", TMifObjectKind::Pline},
    {"REGION", TMifObjectKind::Region},
    {"ARC", TMifObjectKind::Arc},
    {"TEXT", TMifObjectKind::Text},
    {"RECT", TMifObjectKind::Rect},
    {"ROUNDRECT", TMifObjectKind::RoundRect},
    {"ELLIPSE", TMifObjectKind::Ellipse},
    {"MULTIPOINT", TMifObjectKind::Multipoint},
    {"NONE", TMifObjectKind::NoGeometry},
    {"COLLECTION", TMifObjectKind::Collection},
}};

namespace {

constexpr std::size_t kShortestKeyword = 3;  // ARC
constexpr std::size_t kLongestKeyword = 10;  // MULTIPOINT, COLLECTION

// The letters keywords begin with, a bit each from A: most words that are no keyword, such
// as the style lines' (SYMBOL, PEN, BRUSH), are turned away by their first letter alone.
const std::uint32_t kKeywordInitials = [] {
    std::uint32_t initials = 0;
    for (const auto& entry : kMifObjectKeywords) {
        initials |= std::uint32_t{1} << (entry.Keyword.front() - 'A');
    }
    return initials;
}();

TMifObjectKind KindOfWord(std::string_view word) {
    if (word.size() < kShortestKeyword || word.size() > kLongestKeyword) {
        return TMifObjectKind::None;
    }
    // ASCII letters of either case to 0..25, every other byte beyond.
    const unsigned initial = (static_cast<unsigned char>(word.front()) | 0x20u) - 'a';
    if (initial >= 26 || (kKeywordInitials >> initial & 1u) == 0) {
        return TMifObjectKind::None;
    }
    for (const auto& [keyword, kind] : kMifObjectKeywords) {
        // The length, compared first, passes over most keywords without a comparison.
        if (keyword.size() == word.size() && SameKeyword(word, keyword)) {
            return kind;
        }
    }
    return TMifObjectKind::None;
}

}  // namespace

// Every keyword begins with a letter, so the lines inside objects (coordinates and counts,
// the bulk of a file) are answered from their first byte, and a word that begins with a letter
// is taken up to the first blank, as the field rules take it (no byte of a two-byte character
// is a blank). A line that begins with a quote or a blank is read by the field rules; the word
// is judged while the scanner lives, since a quoted field with doubled quotes is held by the
// scanner itself. A double-byte character never matches, as no keyword holds one.
TMifObjectKind MifObjectKindOfLine(std::string_view trimmedLine) {
    if (!trimmedLine.empty()) {
        const char first = trimmedLine.front();
        if (IsAsciiLetter(first)) {
            std::size_t end = 1;
            while (end < trimmedLine.size() && end <= kLongestKeyword &&
                   !IsBlank(static_cast<unsigned char>(trimmedLine[end]))) {
                ++end;
            }
            return KindOfWord(trimmedLine.substr(0, end));
        }
        if (static_cast<unsigned char>(first) > 32 && first != '"') {
            return TMifObjectKind::None;
        }
    }
    TFieldScanner fields(trimmedLine, ' ');
    return fields.Next() ? KindOfWord(fields.Field()) : TMifObjectKind::None;
}

void ReadMifPoint(std::string_view keywordLine, TLineReader& mif, TShpPoint& out) {
    const std::string_view w = TailAfterKeyword(keywordLine, mif, "POINT");
    if (TryReadPlainPair(w, out)) {
        return;
    }
    const TTaken x = TakeNumberWithContinuation(w, mif, "POINT");
    out = {x.Value, StrToDouble(x.Rest)};
}

void ReadMifLine(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out) {
    const std::string_view w = TailAfterKeyword(keywordLine, mif, "LINE");
    const TTaken x0 = TakeNumberWithContinuation(w, mif, "LINE");
    const TTaken y0 = TakeNumber(x0.Rest);
    const TTaken x1 = TakeNumber(y0.Rest);
    const double y1 = StrToDouble(x1.Rest);
    SetSinglePart(out, 2);
    out.Points.assign({{x0.Value, y0.Value}, {x1.Value, y1}});
    CalcShapeBox(out);
}

void ReadMifPline(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out) {
    out.Parts.clear();
    out.Points.clear();
    const std::string_view tail = TailAfterKeyword(keywordLine, mif, "PLINE");
    std::int64_t total = 0;
    if (StartsWithKeyword(tail, "MultiPle")) {
        const std::string_view sectionText = SplitAtFirstBlankView(tail).Tail;
        const std::int32_t sections = TryStrToInt32(sectionText).value_or(1);
        if (sections < 0) {
            throw EMifFormatError(Text(TText::kEngineNegativeSectionCount, "PLINE", sections));
        }
        out.NumParts = sections;
        for (std::int32_t k = 0; k < sections; ++k) {
            const std::int32_t count = ReadCount(NextNonEmptyLine(mif, "PLINE"), "PLINE",
                                                 TText::kEngineNegativePointCount);
            out.Parts.push_back(static_cast<std::int32_t>(total));
            AddToTotal(total, count, "PLINE");
            ReadPointLines(mif, count, "PLINE", out.Points);
        }
    } else {
        const std::int32_t count = ReadCount(tail, "PLINE", TText::kEngineNegativePointCount);
        out.NumParts = 1;
        out.Parts.push_back(0);
        total = count;
        ReadPointLines(mif, count, "PLINE", out.Points);
    }
    out.NumPoints = static_cast<std::int32_t>(total);
    out.Box = BoxOfPoints(out.Points);
}

void ReadMifRegion(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out) {
    out.Parts.clear();
    out.Points.clear();
    const std::int32_t rings = ReadCount(TailAfterKeyword(keywordLine, mif, "REGION"), "REGION",
                                         TText::kEngineNegativeRingCount);
    out.NumParts = rings;
    std::int64_t total = 0;
    for (std::int32_t k = 0; k < rings; ++k) {
        const std::int32_t count =
            ReadCount(NextNonEmptyLine(mif, "REGION"), "REGION", TText::kEngineNegativePointCount);
        out.Parts.push_back(static_cast<std::int32_t>(total));
        AddToTotal(total, count, "REGION");
        ReadPointLines(mif, count, "REGION", out.Points);
    }
    out.NumPoints = static_cast<std::int32_t>(total);
    out.Box = BoxOfPoints(out.Points);
}

void ReadMifRect(std::string_view keywordLine, TLineReader& mif, TSFPolygon& out) {
    out.Parts.clear();
    out.Points.clear();
    const std::string_view w = TailAfterKeyword(keywordLine, mif, "RECT");
    const TTaken x1 = TakeNumberWithContinuation(w, mif, "RECT");
    const TTaken y1 = TakeNumberWithContinuation(x1.Rest, mif, "RECT");
    const TTaken x2 = TakeNumberWithContinuation(y1.Rest, mif, "RECT");
    // Some producers write a rounded rectangle's corner radius after y2 on the same line;
    // it plays no part in the corners. A plain rectangle takes nothing after y2.
    const bool rounded = SameKeyword(SplitAtFirstBlankView(keywordLine).Head, "ROUNDRECT");
    const double y2 = rounded ? TakeNumber(x2.Rest).Value : StrToDouble(x2.Rest);
    SetSinglePart(out, 4);
    out.Points.assign({{x1.Value, y1.Value}, {x2.Value, y1.Value}, {x2.Value, y2}, {x1.Value, y2}});
    out.Box = BoxOfPoints(out.Points);
}

void ReadMifEllipse(std::string_view keywordLine, TLineReader& /*mif*/, TSFPolygon& out) {
    TFieldScanner fields(keywordLine, ' ');
    fields.Next();  // the keyword
    const double x1 = NextFieldAsDouble(fields);
    const double y1 = NextFieldAsDouble(fields);
    const double x2 = NextFieldAsDouble(fields);
    const double y2 = NextFieldAsDouble(fields);
    const double rx = (x2 - x1) / 2;
    const double ry = (y2 - y1) / 2;

    SetSinglePart(out, kEllipseSteps + 1);
    out.Points.resize(kEllipseSteps + 1);
    // Filled from the last index down, so the ring runs through decreasing angles.
    for (int i = 0; i < kEllipseSteps; ++i) {
        const TCosSin& step = EllipseStep(i);
        out.Points[static_cast<std::size_t>(kEllipseSteps - 1 - i)] = {step.Cos * rx + x1 + rx,
                                                                       step.Sin * ry + y1 + ry};
    }
    out.Points[kEllipseSteps] = out.Points[0];
    RequireFinitePoints(out, "ELLIPSE");
    CalcShapeBox(out);
}

void ReadMifArc(std::string_view keywordLine, TLineReader& mif, TSFPolyLine& out) {
    TFieldScanner fields(keywordLine, ' ');
    fields.Next();  // the keyword
    const double x1 = NextFieldAsDouble(fields);
    const double y1 = NextFieldAsDouble(fields);
    const double x2 = NextFieldAsDouble(fields);
    const double y2 = NextFieldAsDouble(fields);

    double a = 0.0;
    double b = 0.0;
    if (fields.Next() && !fields.Field().empty()) {
        a = StrToDouble(fields.Field());
        b = NextFieldAsDouble(fields);
    } else {
        TFieldScanner angles(TrimView(ReadObjectLine(mif, "ARC")), ' ');
        a = NextFieldAsDouble(angles);
        b = NextFieldAsDouble(angles);
    }

    const double cx = (x1 + x2) / 2;
    const double cy = (y1 + y2) / 2;
    // The ellipse inscribed in the rectangle as the file gives it, as for ELLIPSE, so that
    // an arc of any size, however narrow, keeps its width and meets the ellipse it lies on.
    const double rx = std::fabs(x1 - x2) / 2;
    const double ry = std::fabs(y1 - y2) / 2;

    const double phiEnd = EllipseAngle(NormalizeDegrees(360 - b), cx, cy, rx, ry);
    const double phiStart = EllipseAngle(NormalizeDegrees(360 - a), cx, cy, rx, ry);
    RequireFinite({cx, cy, rx, ry, phiEnd, phiStart}, "ARC");
    double sweep = phiStart - phiEnd;
    if (sweep < 0) {
        sweep += kTwoPi;
    }
    const int startDegree = NormalizeDegrees(static_cast<int>(std::floor(phiEnd * kRadToDeg)));
    // Angles a whole turn apart draw the whole ellipse, however their ends round.
    const bool wholeTurn = IsWholeTurn(b - a);
    const int steps = wholeTurn ? kEllipseSteps
                                : NormalizeDegrees(static_cast<int>(std::floor(sweep * kRadToDeg)));

    SetSinglePart(out, steps + 1);
    out.Points.resize(static_cast<std::size_t>(steps) + 1);
    for (int j = 0; j <= steps; ++j) {
        const TCosSin& degree = WholeDegree(startDegree + j);
        out.Points[static_cast<std::size_t>(j)] = {degree.Cos * rx + cx, cy - degree.Sin * ry};
    }
    if (wholeTurn) {
        out.Points.back() = out.Points.front();  // closed
    } else {
        // Only the end is exact; the start was snapped down to a whole degree.
        out.Points.back() = {Cosine(phiStart) * rx + cx, cy - Sine(phiStart) * ry};
    }
    if (steps == 0) {
        // An arc of no whole degree is its one exact point, given twice: a line has two.
        SetSinglePart(out, 2);
        out.Points.push_back(out.Points.front());
    }
    RequireFinitePoints(out, "ARC");
    CalcShapeBox(out);
}

TMifCollectionParts ReadMifCollection(std::string_view keywordLine, TLineReader& mif,
                                      TSFPolygon& region, TSFPolyLine& polyline,
                                      TMifCollectionParts wanted) {
    const std::int32_t count = ReadCount(TailAfterKeyword(keywordLine, mif, "COLLECTION"),
                                         "COLLECTION", TText::kEngineNegativePartCount);
    TMifCollectionParts held;
    TMifCollectionParts filled;
    TSFPolygon moreRings;
    TSFPolyLine moreSections;
    std::string partLine;
    for (std::int32_t read = 0; read < count && !mif.Eof();) {
        const std::string_view raw = mif.ReadLineView();
        const std::string_view line = TrimView(raw);
        const TMifObjectKind kind = MifObjectKindOfLine(line);
        if (kind == TMifObjectKind::None) {
            continue;  // blank and style lines, and the lines of a part passed over
        }
        if (kind != TMifObjectKind::Region && kind != TMifObjectKind::Line &&
            kind != TMifObjectKind::Pline && kind != TMifObjectKind::Multipoint) {
            mif.PushBack(raw);  // the next object: this collection had fewer parts
            break;
        }
        ++read;
        const bool isRegion = kind == TMifObjectKind::Region;
        const bool isPolyline = kind == TMifObjectKind::Line || kind == TMifObjectKind::Pline;
        held.Region = held.Region || isRegion;
        held.Polyline = held.Polyline || isPolyline;
        if (!(isRegion && wanted.Region) && !(isPolyline && wanted.Polyline)) {
            continue;
        }
        // A part's keyword line is given as the driver gives an object's.
        CollapseBlanksInto(line, partLine);
        if (isRegion) {
            ReadCollectionPart(filled.Region, region, moreRings, "REGION",
                               [&](TSFPolygon& r) { ReadMifRegion(partLine, mif, r); });
        } else {
            ReadCollectionPart(filled.Polyline, polyline, moreSections, "PLINE",
                               [&](TSFPolyLine& p) {
                                   if (kind == TMifObjectKind::Line) {
                                       ReadMifLine(partLine, mif, p);
                                   } else {
                                       ReadMifPline(partLine, mif, p);
                                   }
                               });
        }
    }
    return held;
}

void ReadMifTextPoint(std::string_view keywordLine, TLineReader& mif, std::string& text,
                      TShpPoint& out, TCharacterSet characters) {
    ReadTextString(keywordLine, mif, text, characters);
    TFieldScanner coordinates(ReadTextCoordinateLine(mif), ' ');
    const double x = NextFieldAsDouble(coordinates);
    out = {x, NextFieldAsDouble(coordinates)};
}

void ReadMifTextLine(std::string_view keywordLine, TLineReader& mif, std::string& text,
                     TSFPolyLine& out, TCharacterSet characters) {
    ReadTextString(keywordLine, mif, text, characters);
    TFieldScanner coordinates(ReadTextCoordinateLine(mif), ' ');
    const double x1 = NextFieldAsDouble(coordinates);
    const double y1 = NextFieldAsDouble(coordinates);
    const double x2 = NextFieldAsDouble(coordinates);
    const double y2 = NextFieldAsDouble(coordinates);
    SetSinglePart(out, 2);
    out.Points.assign({{x1, y1}, {x2, y2}});
    CalcShapeBox(out);
}

}  // namespace varnelo
