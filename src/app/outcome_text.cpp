// SPDX-License-Identifier: MIT
#include "app/outcome_text.hpp"

#include <algorithm>
#include <array>

#include "engine/file_names.hpp"
#include "os/catalog.hpp"

namespace varnelo {
namespace {

// Failures a closing box names one by one; the rest are counted.
constexpr std::size_t kListedFailures = 3;

// The kinds of object, each with the conversion types that take it.
struct TObjectKind {
    TText Name;
    std::int64_t TObjectCounts::*Count;
    std::array<int, 2> Types;  // -1: none
};
constexpr std::array<TObjectKind, 4> kKinds{{
    {TText::kAppKindPoints, &TObjectCounts::Points, {ctPoint, -1}},
    {TText::kAppKindPolyLines, &TObjectCounts::PolyLines, {ctPolyLine, -1}},
    {TText::kAppKindPolygons, &TObjectCounts::Polygons, {ctPolygon, -1}},
    {TText::kAppKindTexts, &TObjectCounts::Texts, {ctTextAsPoint, ctTextAsLine}},
}};

// A conversion type as a message names it, in the order of the type numbers.
constexpr std::array<TText, 5> kTypeTexts{TText::kAppTypePoint, TText::kAppTypePolyLine,
                                          TText::kAppTypePolygon, TText::kAppTypeTextAsPoint,
                                          TText::kAppTypeTextAsLine};

std::string TypeText(int conversionType) {
    return Text(kTypeTexts.at(static_cast<std::size_t>(conversionType)));
}

// "ほか 2 件" for the items of a list of `count` beyond the ones a box names.
void AddUnlisted(std::string& text, std::size_t count) {
    if (count > kListedFailures) {
        text.append("\n").append(Text(TText::kAppMoreItems, count - kListedFailures));
    }
}

const TObjectKind* KindOfType(int conversionType) {
    for (const TObjectKind& kind : kKinds) {
        if (kind.Types[0] == conversionType || kind.Types[1] == conversionType) {
            return &kind;
        }
    }
    return nullptr;
}

}  // namespace

TFailurePlace FailurePlaceOf(const TConversionReport& report) {
    if (!report.MissingSource.empty()) {
        return TFailurePlace::MissingSource;
    }
    if (report.FailedMidLine > 0) {
        return TFailurePlace::MidLine;
    }
    return report.FailedLine > 0 ? TFailurePlace::MifLine : TFailurePlace::Unplaced;
}

std::string FailureReasonText(const std::string& mifPath, const TConversionReport& report) {
    switch (FailurePlaceOf(report)) {
        case TFailurePlace::MidLine:
            return Text(TText::kAppLinePlace, ExtractFileName(ChangeFileExt(mifPath, ".mid")),
                        report.FailedMidLine, report.ErrorText);
        case TFailurePlace::MifLine:
            return Text(TText::kAppLinePlace, ExtractFileName(mifPath), report.FailedLine,
                        report.ErrorText);
        case TFailurePlace::MissingSource:  // the engine's reason names the file
        case TFailurePlace::Unplaced:
            break;
    }
    return report.ErrorText.empty() ? Text(TText::kAppCauseUnknown) : report.ErrorText;
}

std::string EntryFailureLine(const TEntryFailure& failure) {
    if (failure.Place != TFailurePlace::Unplaced) {
        return failure.Reason;
    }
    return ExtractFileName(failure.MifFile) + ": " + failure.Reason;
}

std::string NoRecordText(int conversionType, const TObjectCounts& objects) {
    std::string text;
    for (const TObjectKind& kind : kKinds) {
        const std::int64_t count = objects.*kind.Count;
        if (count == 0 || &kind == KindOfType(conversionType)) {
            continue;
        }
        text.append("\n").append(
            kind.Types[1] < 0
                ? Text(TText::kAppConvertKindAs, Text(kind.Name), count, TypeText(kind.Types[0]))
                : Text(TText::kAppConvertKindAsEither, Text(kind.Name), count,
                       TypeText(kind.Types[0]), TypeText(kind.Types[1])));
    }
    const TObjectKind* wanted = KindOfType(conversionType);
    if (text.empty() || wanted == nullptr) {
        return Text(TText::kAppNoObjectToConvert);
    }
    return Text(TText::kAppNoObjectOfKind, Text(wanted->Name)) + text;
}

std::string EntryReasonText(const TBatchEntry& entry, TEntryStatus status,
                            const TConversionReport& report) {
    switch (status) {
        case TEntryStatus::Failure:
            return FailureReasonText(entry.MifFile, report);
        case TEntryStatus::NothingToWrite: {
            // On one line, as the status bar shows it.
            std::string text = NoRecordText(entry.ConversionType, report.Objects);
            std::replace(text.begin(), text.end(), '\n', ' ');
            return text;
        }
        default:
            return {};
    }
}

std::string MidMissingText(const std::string& mifPath) {
    return Text(TText::kAppMidMissing, ExtractFileName(ChangeFileExt(mifPath, ".mid")));
}

TOutcomeMessage ConversionMessage(int conversionType, const std::string& mifPath, bool converted,
                                  const TConversionReport& report, std::string_view doneText) {
    if (!converted) {
        return {TMessageKind::Warning,
                Text(TText::kAppConvertFailed) + "\n" + FailureReasonText(mifPath, report)};
    }
    if (report.Outcome == TConversionOutcome::NothingToWrite) {
        std::string text(doneText.empty() ? "" : std::string(doneText) + "\n");
        text.append(Text(TText::kAppNothingToWrite)).append("\n");
        return {TMessageKind::Warning, text + NoRecordText(conversionType, report.Objects)};
    }
    const std::string done = doneText.empty() ? Text(TText::kAppConverted) : std::string(doneText);
    TOutcomeMessage message;
    if (report.RecordsWritten == 0) {
        message = {TMessageKind::Warning, done + "\n" + Text(TText::kAppNoRecordWritten) +
                                              NoRecordText(conversionType, report.Objects)};
    } else {
        message = {TMessageKind::Information,
                   done + "\n" + Text(TText::kAppRecordsWritten, report.RecordsWritten)};
    }
    if (report.MidMissing) {
        AddMidsMissing(message, {mifPath});
    }
    return message;
}

void AddMidsMissing(TOutcomeMessage& message, const std::vector<std::string>& mifFiles) {
    for (std::size_t i = 0; i < mifFiles.size() && i < kListedFailures; ++i) {
        message.Text.append("\n").append(MidMissingText(mifFiles[i]));
    }
    AddUnlisted(message.Text, mifFiles.size());
    if (!mifFiles.empty()) {
        message.Kind = TMessageKind::Warning;
    }
}

TOutcomeMessage BatchClosingMessage(std::size_t total, const std::vector<TEntryFailure>& failures,
                                    const std::vector<TEntryFailure>& unwritten,
                                    const std::vector<std::string>& withoutMid) {
    TOutcomeMessage message{TMessageKind::Information, Text(TText::kAppBatchFinished)};
    std::string& text = message.Text;
    if (!failures.empty() || !unwritten.empty()) {
        const std::size_t converted = total - failures.size() - unwritten.size();
        text.append("\n").append(
            Text(TText::kAppBatchCounts, total, converted, failures.size(), unwritten.size()));
    }
    for (const std::vector<TEntryFailure>* list : {&failures, &unwritten}) {
        for (std::size_t i = 0; i < list->size() && i < kListedFailures; ++i) {
            text.append("\n").append(EntryFailureLine((*list)[i]));
        }
        AddUnlisted(text, list->size());
    }
    AddMidsMissing(message, withoutMid);
    return message;
}

}  // namespace varnelo
