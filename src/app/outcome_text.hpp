// SPDX-License-Identifier: MIT
// What the user is told of a conversion once it ended: the result box of convert now and of a
// batch run, and the reason a conversion failed. The first line is always the result itself;
// the lines below say why, or what was written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_list.hpp"
#include "app/main_view.hpp"
#include "engine/convert.hpp"

namespace varnelo {

// A message box: its kind and its text.
struct TOutcomeMessage {
    TMessageKind Kind = TMessageKind::Information;
    std::string Text;
};

// Where a failed conversion met its error, the most telling first: its source was missing,
// a line of the .mid (report.FailedMidLine), a line of the .mif (report.FailedLine), or no
// place the report names. The one order every tool says a failure in.
enum class TFailurePlace : std::uint8_t { MissingSource, MidLine, MifLine, Unplaced };
TFailurePlace FailurePlaceOf(const TConversionReport& report);

// Why a conversion failed, in one line: the engine's reason, after the file name and line of
// the .mif or .mid where it was met ("roads.mif の 15 行目: ...").
std::string FailureReasonText(const std::string& mifPath, const TConversionReport& report);

// For a conversion that wrote no record: that the file holds no object of the kind the type
// converts, and for each kind it does hold, how many and the type that takes them.
std::string NoRecordText(int conversionType, const TObjectCounts& objects);

// Why a batch entry marked `status` by a conversion that reported `report` wrote nothing: the
// failure's reason (FailureReasonText), or for nothing to write what its file holds
// (NoRecordText, on one line); empty for a converted entry.
std::string EntryReasonText(const TBatchEntry& entry, TEntryStatus status,
                            const TConversionReport& report);

// That the .mid beside `mifPath` was not there, so every attribute was left empty.
std::string MidMissingText(const std::string& mifPath);

// The box after one conversion of `conversionType` from `mifPath` that ended (not cancelled):
// success (`doneText` first, by default that the conversion succeeded) with the record count,
// a warning when no record was written or the .mid the columns wanted was missing, a warning
// under the heading of nothing to write (after `doneText` when given) when there was nothing
// to write, or the failure with its reason.
TOutcomeMessage ConversionMessage(int conversionType, const std::string& mifPath, bool converted,
                                  const TConversionReport& report, std::string_view doneText = {});

// An entry of a batch run that failed or had nothing to write, and why. A reason whose
// failure had a place (FailurePlaceOf) begins with it; any other is shown after the file.
struct TEntryFailure {
    std::size_t Index = 0;
    std::string MifFile;
    std::string Reason;
    TFailurePlace Place = TFailurePlace::Unplaced;
};

// An entry that wrote nothing, on a line of a closing box: its reason, after its file name
// when the reason does not begin with its place.
std::string EntryFailureLine(const TEntryFailure& failure);

// The closing box of a plain batch run of `total` entries: the run has ended, and when some
// failed or had nothing to write (`unwritten`), the count of the entries converted, failed
// and with nothing to write, with the first reasons of each, each naming its place once; a
// warning, naming the
// first of them, when some entries were converted without their .mid (`withoutMid`, their
// .mif files).
TOutcomeMessage BatchClosingMessage(std::size_t total, const std::vector<TEntryFailure>& failures,
                                    const std::vector<TEntryFailure>& unwritten = {},
                                    const std::vector<std::string>& withoutMid = {});

// `message` with the lines saying that the .mid of each of `mifFiles` was missing (the first
// few, then how many more), made a warning when there is any.
void AddMidsMissing(TOutcomeMessage& message, const std::vector<std::string>& mifFiles);

}  // namespace varnelo
