// SPDX-License-Identifier: MIT
#include "app/outcome_text.hpp"

#include <algorithm>
#include <array>

#include "engine/file_names.hpp"

namespace varnelo {
namespace {

// Failures a closing box names one by one; the rest are counted.
constexpr std::size_t kListedFailures = 3;

// The kinds of object, each with the conversion types that take it.
struct TObjectKind {
    std::string_view Name;
    std::int64_t TObjectCounts::*Count;
    std::array<int, 2> Types;  // -1: none
};
constexpr std::array<TObjectKind, 4> kKinds{{
    {"ポイント", &TObjectCounts::Points, {ctPoint, -1}},
    {"ポリライン", &TObjectCounts::PolyLines, {ctPolyLine, -1}},
    {"ポリゴン", &TObjectCounts::Polygons, {ctPolygon, -1}},
    {"テキスト", &TObjectCounts::Texts, {ctTextAsPoint, ctTextAsLine}},
}};

// "ほか 2 件" for the items of a list of `count` beyond the ones a box names.
void AddUnlisted(std::string& text, std::size_t count) {
    if (count > kListedFailures) {
        text.append("\nほか ").append(std::to_string(count - kListedFailures)).append(" 件");
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
            return ExtractFileName(ChangeFileExt(mifPath, ".mid")) + " の " +
                   std::to_string(report.FailedMidLine) + " 行目: " + report.ErrorText;
        case TFailurePlace::MifLine:
            return ExtractFileName(mifPath) + " の " + std::to_string(report.FailedLine) +
                   " 行目: " + report.ErrorText;
        case TFailurePlace::MissingSource:  // the engine's reason names the file
        case TFailurePlace::Unplaced:
            break;
    }
    return report.ErrorText.empty() ? "原因は分かりません" : report.ErrorText;
}

std::string NoRecordText(int conversionType, const TObjectCounts& objects) {
    std::string text;
    for (const TObjectKind& kind : kKinds) {
        const std::int64_t count = objects.*kind.Count;
        if (count == 0 || &kind == KindOfType(conversionType)) {
            continue;
        }
        // Appended piece by piece: GCC 12 at -O3 misjudges "a" + b.
        text.append("\n").append(kind.Name).append(" ").append(std::to_string(count));
        text.append(" 件: ");
        for (const int type : kind.Types) {
            if (type >= 0) {
                text.append(type == kind.Types[0] ? "" : "または").append("「");
                text.append(ConversionTypeName(type)).append("」");
            }
        }
        text.append("で変換してください。");
    }
    const TObjectKind* wanted = KindOfType(conversionType);
    if (text.empty() || wanted == nullptr) {
        return "このファイルには変換できる図形がありません。";
    }
    return "このファイルには" + std::string(wanted->Name) + "がありません。" + text;
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
    std::string text("属性ファイル ");  // appended piece by piece, as below
    text.append(ExtractFileName(ChangeFileExt(mifPath, ".mid")));
    return text.append(" がないため、属性をすべて空欄にしました。");
}

TOutcomeMessage ConversionMessage(int conversionType, const std::string& mifPath, bool converted,
                                  const TConversionReport& report, std::string_view doneText) {
    if (!converted) {
        return {TMessageKind::Warning,
                std::string(kConvertFailedText) + "\n" + FailureReasonText(mifPath, report)};
    }
    if (report.Outcome == TConversionOutcome::NothingToWrite) {
        std::string text(doneText == kConvertedText ? "" : std::string(doneText) + "\n");
        text.append(kNothingToWriteText).append("\n");
        return {TMessageKind::Warning, text + NoRecordText(conversionType, report.Objects)};
    }
    TOutcomeMessage message;
    if (report.RecordsWritten == 0) {
        message = {TMessageKind::Warning, std::string(doneText) +
                                              "\nレコードを 1 件も書き込みませんでした。" +
                                              NoRecordText(conversionType, report.Objects)};
    } else {
        message = {TMessageKind::Information, std::string(doneText) + "\n" +
                                                  std::to_string(report.RecordsWritten) +
                                                  " 件のレコードを書き込みました。"};
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
    TOutcomeMessage message{TMessageKind::Information, std::string(kBatchFinishedText)};
    std::string& text = message.Text;  // appended piece by piece, as above
    if (!failures.empty() || !unwritten.empty()) {
        const std::size_t converted = total - failures.size() - unwritten.size();
        text.append("\n").append(std::to_string(total)).append(" 件中 成功 ");
        text.append(std::to_string(converted)).append(" 件、失敗 ");
        text.append(std::to_string(failures.size())).append(" 件、書き込みなし ");
        text.append(std::to_string(unwritten.size())).append(" 件");
    }
    for (const std::vector<TEntryFailure>* list : {&failures, &unwritten}) {
        for (std::size_t i = 0; i < list->size() && i < kListedFailures; ++i) {
            text.append("\n").append(ExtractFileName((*list)[i].MifFile)).append(": ");
            text.append((*list)[i].Reason);
        }
        AddUnlisted(text, list->size());
    }
    AddMidsMissing(message, withoutMid);
    return message;
}

}  // namespace varnelo
