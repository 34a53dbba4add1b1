// SPDX-License-Identifier: MIT
#include "engine/object_counts.hpp"

#include <numeric>
#include <string>
#include <string_view>

#include "engine/text_ops.hpp"

namespace varnelo {

std::int64_t TMifObjectTally::Rows() const noexcept {
    return std::accumulate(ByKeyword.begin(), ByKeyword.end(), std::int64_t{0});
}

TMifObjectTally CountMifObjects(TLineReader& mif) {
    TMifObjectTally tally;
    TObjectCounts& objects = tally.Objects;
    std::string line;
    TSFPolygon region;
    TSFPolyLine polyline;
    while (!mif.Eof()) {
        // Lines inside objects hold numbers, styles or text strings, which name no kind.
        const std::string_view trimmed = TrimView(mif.ReadLineView());
        const TMifObjectKind kind = MifObjectKindOfLine(trimmed);
        if (kind == TMifObjectKind::None) {
            continue;
        }
        for (std::size_t k = 0; k < kMifObjectKeywords.size(); ++k) {
            tally.ByKeyword[k] += kMifObjectKeywords[k].Kind == kind ? 1 : 0;
        }
        switch (kind) {
            case TMifObjectKind::Point:
                ++objects.Points;
                break;
            case TMifObjectKind::Line:
            case TMifObjectKind::Pline:
            case TMifObjectKind::Arc:
                ++objects.PolyLines;
                break;
            case TMifObjectKind::Region:
            case TMifObjectKind::Rect:
            case TMifObjectKind::RoundRect:
            case TMifObjectKind::Ellipse:
                ++objects.Polygons;
                break;
            case TMifObjectKind::Text:
                ++objects.Texts;
                break;
            case TMifObjectKind::Collection: {
                // The parts are passed over unread, so that they do not count as objects.
                CollapseBlanksInto(trimmed, line);
                const TMifCollectionParts parts =
                    ReadMifCollection(line, mif, region, polyline, {});
                objects.Polygons += parts.Region ? 1 : 0;
                objects.PolyLines += parts.Polyline ? 1 : 0;
                break;
            }
            default:
                break;
        }
    }
    return tally;
}

TMifOverview ReadMifOverview(const std::string& path) {
    TMifOverview overview;
    TLineReader mif = TLineReader::FromFile(path);
    ReadMifHeader(mif, &overview.Header);
    ReadMifColumns(mif, overview.Columns);
    while (!mif.Eof()) {
        const std::string_view raw = mif.ReadLineView();
        const std::string_view line = TrimView(raw);
        if (line.empty()) {
            continue;
        }
        overview.DataLine = SameKeyword(SplitAtFirstBlankView(line).Head, "Data");
        if (!overview.DataLine) {
            mif.PushBack(raw);
        }
        break;
    }
    overview.Tally = CountMifObjects(mif);
    return overview;
}

}  // namespace varnelo
