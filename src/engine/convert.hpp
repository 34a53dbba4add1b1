// SPDX-License-Identifier: MIT
// The conversion driver: one MIF/MID pair into one shapefile triple (.shp, .shx, .dbf).
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/file_names.hpp"
#include "engine/mid_value_rules.hpp"
#include "engine/object_counts.hpp"
#include "shape/output_stream.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {

class TLocalDbf;

// Conversion types, the position in the type list of the window.
enum TConversionType : int {
    ctPoint = 0,
    ctPolyLine = 1,
    ctPolygon = 2,
    ctTextAsPoint = 3,
    ctTextAsLine = 4,
};

// The objects of `objects` that a conversion of `conversionType` takes: 0 for a number that
// is no type.
constexpr std::int64_t ObjectsTakenBy(int conversionType, const TObjectCounts& objects) noexcept {
    switch (conversionType) {
        case ctPoint:
            return objects.Points;
        case ctPolyLine:
            return objects.PolyLines;
        case ctPolygon:
            return objects.Polygons;
        case ctTextAsPoint:
        case ctTextAsLine:
            return objects.Texts;
        default:
            return 0;
    }
}

// Where the driver reports progress texts. An empty text clears the status.
class IStatusSink {
  public:
    virtual ~IStatusSink() = default;
    virtual void SetStatusText(std::string_view text) = 0;
};

// Keeps the attribute tables a conversion creates alive after the call returns, as a
// window keeps the components it owns; they are released with the owner.
class TTableOwner {
  public:
    TTableOwner();
    ~TTableOwner();
    TTableOwner(const TTableOwner&) = delete;
    TTableOwner& operator=(const TTableOwner&) = delete;

    TLocalDbf& CreateTable();
    std::size_t Count() const { return tables_.size(); }

  private:
    std::vector<std::unique_ptr<TLocalDbf>> tables_;
};

// A file beside the shapefile that says what its bytes mean: the .cpg (code page) or the
// .prj (coordinate system).
struct TSidecarOutcome {
    std::string Path;      // the file written; empty when none was
    std::string Declared;  // what it declares: "932", "JGD_2011_Japan_Zone_9 (EPSG:6677)"
    std::string Reason;    // why none was written; empty when one was
};

// One shapefile a conversion writes: the conversion type that fills it and its .shp.
struct TShapefileTarget {
    int ConversionType = ctPoint;
    std::string ShpPath;
};

// What a conversion did with one of its targets.
struct TTargetOutcome {
    int ConversionType = ctPoint;
    std::string ShpPath;
    std::int64_t RecordsWritten = 0;
    // False for a target of a conversion into several whose kind of object the source does
    // not hold: no file of it was written, and the target's previous files were removed
    // (unless no target got a record: then nothing was changed). False for every target when
    // there was nothing to write.
    bool Written = false;
};

// How a conversion ended. Nothing to write: the source holds objects, but none of a kind its
// targets take, so no target would get a record; nothing was written and the targets keep
// their previous files. (A source without objects gives an empty shapefile when converted
// with one type.)
enum class TConversionOutcome : std::uint8_t { Written, NothingToWrite, Failed };

// What the caller learns beyond the yes/no answer; filled when passed.
struct TConversionReport {
    TConversionOutcome Outcome = TConversionOutcome::Written;
    std::int64_t RecordsWritten = 0;      // into all targets together
    std::vector<TTargetOutcome> Targets;  // in the order the targets were given
    // The .mif when it does not exist; empty when it does. ErrorText says so too.
    std::string MissingSource;
    // The table takes its values from the .mid rows: the .mif declares columns and a target
    // is no text conversion.
    bool ValuesFromMid = false;
    // There was no .mid beside the .mif though the values come from it: the conversion went
    // on with every attribute empty.
    bool MidMissing = false;
    bool Cancelled = false;       // stopped on request; ErrorText says so
    TObjectCounts Objects;        // what the source holds, as far as it was read
    std::int64_t FailedLine = 0;  // .mif line number where the failure was met, 0 if none
    // .mid line of the row whose value its field did not take, 0 for any other failure
    std::int64_t FailedMidLine = 0;
    // Why the conversion failed (the caught error's message), empty on success; it names the
    // target's files, never the temporary ones.
    std::string ErrorText;
    // .mid rows that went on over more than one line (a quoted value holding line ends)
    std::int64_t RowsOverSeveralLines = 0;
    // Columns whose type the reader does not know (their values kept as text), by
    // their names in the .mif
    std::vector<std::string> UnknownTypeColumns;
    // What the conversion made of the source beyond what it declares, a sentence each: columns
    // kept as text, coordinate-system parameters ignored
    std::vector<std::string> Notes;
    // .mid values left empty because their fields do not take them (lenient conversions)
    TValuesLeftEmpty ValuesLeftEmpty;
    TSidecarOutcome CodePage;  // from the header's Charset
    TSidecarOutcome CoordSys;  // from the header's CoordSys
};

// Hooks the surroundings give the driver. All are optional.
struct TConversionHooks {
    IStatusSink* Status = nullptr;
    // Lets pending window messages run; called once, after the .dbf is created.
    std::function<void()> ProcessMessages;
    // Owner of the attribute table; a private one is used when none is given.
    TTableOwner* Owner = nullptr;
    // Called now and then with the bytes of the .mif read so far and its size.
    std::function<void(std::uint64_t done, std::uint64_t total)> Progress;
    TConversionReport* Report = nullptr;
    // What to do with .mid values that their fields do not take; by default they fail the
    // conversion.
    TMidValueRules ValueRules;
    // Writes each .mid row, given as its text (all its lines when it spans several), in place
    // of AppendDbfRecord, and has every row posted on its own instead of in bulk: the plain
    // way, kept to check the fast one against.
    std::function<void(TLocalDbf& table, std::string_view row)> PlainRowWriter;
    // Stops the conversion before its next object once set; may be set from any thread or a
    // signal handler. The result is then false, with the report's Cancelled set.
    const std::atomic<bool>* Cancel = nullptr;
    // After a failure, puts what was written in place of the target's files instead of
    // leaving the previous ones (never after a cancel), for inspection.
    bool KeepPartial = false;
    // Threads the conversion may use: 1 does all on the calling thread; 2 reads the .mid rows
    // and writes them to the tables on a second thread while the calling one reads the
    // objects and writes the geometry, or, for a polyline or polygon conversion of a large
    // .mif whose .mid is small beside it, reads parts of the .mif ahead on the second thread;
    // 0 (the default) takes two when the machine has more than one processor. The files, the
    // report and the failure are the same either way. A conversion with PlainRowWriter or
    // KeepPartial, or without .mid rows, takes one.
    int Threads = 0;
    // The bytes of .mif the calling thread reads between two parts read ahead (which are half
    // as large again), 0 for the default. Given, it reads a polyline or polygon conversion
    // ahead on two threads whatever the sizes of the files: lets tests cut small sources
    // into many parts.
    std::uint64_t ReadAheadBytes = 0;
    // Creates the .shp and .shx streams (under the temporary name the new set is written
    // to); new files on disk when not given. Lets a caller make their writes fail on purpose.
    std::function<std::unique_ptr<TOutputStream>(const std::string& path)> CreateOutput;
    // Where the attribute table reads and writes its file once created; the disk when not
    // given.
    TTableStorageFactory TableStorage;
};

// Converts `mifPath` (and the .mid beside it) into `shpPath` and its .shx, .dbf, .cpg and
// .prj. The new files are written beside the target under a temporary name and replace the
// target's only once they are complete: a conversion that fails or is cancelled leaves the
// previous files as they were, and so does one with nothing to write (report.Outcome). A
// missing .mid is read as empty rows (the report says so when the columns wanted its values).
// Returns false when the .mif is missing or is no MIF file (it has no Data line), when a
// target file is one of the sources, or when anything fails; the report says why.
bool ConvertMifToShp(int conversionType, const std::string& mifPath, const std::string& shpPath,
                     const TConversionHooks& hooks = {});

// Converts `mifPath` (and the .mid beside it) into every target in one pass over both: the
// objects of each kind go to the target whose conversion type takes them (at most one target
// for each of points, polylines, polygons and texts), each with its .mid row. Only targets
// whose kind the source holds are written; the previous files of the others are removed, so
// that no file of an earlier conversion speaks for this one. The sets replace the targets'
// files together once all of them are complete, as ConvertMifToShp replaces one. When no
// target gets a record, there is nothing to write and no file changes.
bool ConvertMifToShapefiles(const std::string& mifPath,
                            const std::vector<TShapefileTarget>& targets,
                            const TConversionHooks& hooks = {});

// The targets that take every kind of object a source may hold, named after `target` (a
// ".shp" it ends with, in any letter case, left out): TARGET_point.shp (points),
// TARGET_line.shp (lines, polylines and arcs), TARGET_polygon.shp (regions, rectangles and
// ellipses) and TARGET_text.shp (texts, as points).
std::vector<TShapefileTarget> EveryKindTargets(std::string_view target);

// True when nothing at all is at the place of the .mid beside `mifPath`: a conversion then
// reads empty rows. A .mid that is there but cannot be read is no missing one.
bool MidIsMissing(const std::string& mifPath);

// Why the files of `shpPath`'s set cannot be written: one of them is the .mif at `mifPath` or
// the .mid beside it, however the paths are spelled. Empty when none is.
std::string TargetClashText(const std::string& mifPath, const std::string& shpPath);

}  // namespace varnelo
