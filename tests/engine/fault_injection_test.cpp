// SPDX-License-Identifier: MIT
// Conversions that meet a full disk, a write error, sources that cannot be read, target
// folders that cannot be written, a table open elsewhere and a file system without locks.
// Each must answer false or raise a clear error, never crash, never change the sources, and
// leave each output exactly as far as the conversion got: the headers as first written (or
// already completed), the records, index entries and rows written before the failure, and
// nothing else.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "../support/child_process.hpp"
#include "../support/expected_bytes.hpp"
#include "../support/stopping_stream.hpp"
#include "../support/temp_dir.hpp"
#include "../support/test_system.hpp"
#include "engine/attribute_table.hpp"
#include "engine/convert.hpp"
#include "shape/errors.hpp"
#include "shape/local_dbf.hpp"
#include "shape/output_stream.hpp"
#include "shape/table_storage.hpp"

namespace varnelo {
namespace {

namespace fs = std::filesystem;
using testing::Big;
using ::testing::HasSubstr;
using testing::Little;
using testing::ReadFileBytes;
using testing::RunInChild;
using testing::TempDir;
using testing::TFailingFileStream;
using testing::WriteFileBytes;

constexpr std::size_t kShapeHeaderBytes = 100;

// Child exit codes of a conversion run in a child process.
constexpr int kConverted = 0;
constexpr int kFailed = 1;
constexpr int kFailedSaying = 2;
constexpr int kRaisedOther = 3;
constexpr int kCannotDropRights = 4;

// `count` regions, each an outer ring and a hole, with a .mid row of a name, a number and a
// date each.
struct TSourceText {
    std::string Mif;
    std::string Mid;
};

TSourceText RegionSource(int count) {
    TSourceText s;
    s.Mif =
        "Version 300\r\nCharset \"WindowsJapanese\"\r\nDelimiter \",\"\r\n"
        "CoordSys Earth Projection 1, 0\r\nColumns 3\r\n  NAME Char(12)\r\n  ID Integer\r\n"
        "  BORN Date\r\nData\r\n\r\n";
    for (int i = 0; i < count; ++i) {
        const std::string x0 = std::to_string(i * 10);
        const std::string x8 = std::to_string(i * 10 + 8);
        const std::string x2 = std::to_string(i * 10 + 2);
        const std::string x4 = std::to_string(i * 10 + 4);
        s.Mif += "Region 2\r\n  5\r\n" + x0 + " 0\r\n" + x0 + " 8\r\n" + x8 + " 8\r\n" + x8 +
                 " 0\r\n" + x0 + " 0\r\n  4\r\n" + x2 + " 2\r\n" + x4 + " 2\r\n" + x4 + " 4\r\n" +
                 x2 + " 4\r\n    Pen (1,2,0)\r\n";
        s.Mid += "\"parcel " + std::to_string(i) + "\"," + std::to_string(i) + ",2005/01/23\r\n";
    }
    return s;
}

struct TOutputs {
    std::optional<std::string> Shp, Shx, Dbf;
};

std::optional<std::string> ReadIfPresent(const std::string& path) {
    if (!fs::exists(path)) {
        return std::nullopt;
    }
    return ReadFileBytes(path);
}

// The header a conversion writes first: the finished one without file length and box.
std::string PlaceholderOf(std::string_view finished) {
    std::string header(finished.substr(0, kShapeHeaderBytes));
    std::fill(header.begin() + 24, header.begin() + 28, '\0');
    std::fill(header.begin() + 36, header.begin() + 68, '\0');
    return header;
}

// "" when `got` is what a conversion stopped part-way leaves of the finished `ref`: each
// header byte as first written or as finished, every later byte as in the finished file.
std::string CheckGeometryFile(std::string_view got, std::string_view ref) {
    if (got.size() > ref.size()) {
        return "longer than the finished file";
    }
    const std::string placeholder = PlaceholderOf(ref);
    for (std::size_t i = 0; i < got.size(); ++i) {
        const bool same = got[i] == ref[i] || (i < kShapeHeaderBytes && got[i] == placeholder[i]);
        if (!same) {
            return "byte " + std::to_string(i) + " is neither written nor first written";
        }
    }
    return "";
}

// "" when `got` is the finished table `ref` cut back to the rows its header counts, with at
// most the start of the next row written over the end byte.
std::string CheckTable(std::string_view got, std::string_view ref) {
    const std::size_t headerLength = Little(ref, 8, 2);
    const std::size_t recordLength = Little(ref, 10, 2);
    std::string created(ref.substr(0, headerLength));
    std::fill(created.begin() + 4, created.begin() + 8, '\0');
    created += '\x1A';
    if (got.size() < headerLength) {
        return created.starts_with(got) ? "" : "not a start of the new empty table";
    }
    const std::uint32_t rows = Little(got, 4, 4);
    if (rows > Little(ref, 4, 4)) {
        return "counts more rows than the finished table";
    }
    if (got.substr(8, headerLength - 8) != created.substr(8, headerLength - 8) ||
        got.substr(0, 4) != created.substr(0, 4)) {
        return "header differs from the table's header";
    }
    const std::size_t rowsEnd = headerLength + rows * recordLength;
    if (got.size() < rowsEnd || got.substr(0, rowsEnd).substr(headerLength) !=
                                    ref.substr(headerLength, rows * recordLength)) {
        return "the counted rows differ or are missing";
    }
    // After the counted rows: the end byte, or the start of the rows that followed them
    // when the write of a block of rows (and its end byte) was cut short.
    const std::string_view rest = got.substr(rowsEnd);
    const std::string_view following = ref.substr(rowsEnd);
    const bool wholeRowsThenEnd = !rest.empty() && rest.back() == '\x1A' &&
                                  (rest.size() - 1) % recordLength == 0 &&
                                  following.starts_with(rest.substr(0, rest.size() - 1));
    if (following.starts_with(rest) || wholeRowsThenEnd) {
        return "";
    }
    return "bytes after the counted rows";
}

// Complete records in `shp`, walked along the finished file's record lengths.
std::size_t CompleteRecords(std::string_view shp, std::string_view ref) {
    std::size_t records = 0;
    for (std::size_t at = kShapeHeaderBytes; at + 8 <= ref.size();) {
        at += 8 + 2 * std::size_t{Big(ref, at + 4)};
        if (at > shp.size()) {
            break;
        }
        ++records;
    }
    return records;
}

class FaultInjection : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directory(dir.Path("ref"));
        fs::create_directory(dir.Path("out"));
        UseSource(40);
    }

    // Writes a source of `regions` regions and converts it undisturbed into ref/.
    void UseSource(int regions) {
        source = RegionSource(regions);
        WriteSource();
        ASSERT_TRUE(ConvertMifToShp(ctPolygon, mif, dir.Path("ref/target.shp")));
        ref = Outputs(dir.Path("ref/target"));
    }
    void TearDown() override {
        EXPECT_EQ(ReadFileBytes(mif), source.Mif) << "the .mif was changed";
        EXPECT_EQ(ReadFileBytes(mid), source.Mid) << "the .mid was changed";
    }

    void WriteSource() {
        WriteFileBytes(mif, source.Mif);
        WriteFileBytes(mid, source.Mid);
    }
    static TOutputs Outputs(const std::string& stem) {
        return {ReadIfPresent(stem + ".shp"), ReadIfPresent(stem + ".shx"),
                ReadIfPresent(stem + ".dbf")};
    }
    // Removes what an earlier case left, so that each case is judged by its own files.
    void ClearTarget() {
        for (const char* ext : {".shp", ".shx", ".dbf"}) {
            fs::remove(dir.Path(std::string("out/target") + ext));
        }
    }
    // Every output present is a part of the finished one as far as the conversion got.
    void ExpectPartOfTheFinishedFiles(const TOutputs& got, const std::string& context) {
        if (got.Shp) {
            EXPECT_EQ(CheckGeometryFile(*got.Shp, *ref.Shp), "") << ".shp, " << context;
        }
        if (got.Shx) {
            EXPECT_EQ(CheckGeometryFile(*got.Shx, *ref.Shx), "") << ".shx, " << context;
        }
        if (got.Dbf) {
            EXPECT_EQ(CheckTable(*got.Dbf, *ref.Dbf), "") << ".dbf, " << context;
        }
    }

    TempDir dir;
    TSourceText source;
    std::string mif = dir.Path("source.mif");
    std::string mid = dir.Path("source.mid");
    std::string target = dir.Path("out/target.shp");
    TOutputs ref;
};

// ---------------------------------------------------------------------------------------
// A full disk and failing writes

// The limit on file size stands for a disk that fills up: a write beyond it writes what fits
// and then fails, in each of the three files.
TEST_F(FaultInjection, DiskFullAtAnySizeLeavesWhatFitOfTheFinishedFiles) {
    if (!testing::HavePosixFacilities()) {
        GTEST_SKIP() << "a full disk is a child process under a file size limit "
                        "(RLIMIT_FSIZE), which Windows does not have";
    }
    // Large enough for the .shp to outgrow its writer's buffer, so that the disk also fills
    // up in the middle of a conversion, not only when the headers are completed.
    UseSource(5000);
    constexpr std::uint64_t kMiB = std::uint64_t{1} << 20;
    const std::uint64_t sizes[] = {ref.Shp->size(), ref.Shx->size(), ref.Dbf->size()};
    ASSERT_GT(sizes[0], kMiB + 100);
    std::vector<std::uint64_t> limits = {0,   1,   50,   99,       100,      101,      129,
                                         161, 162, 1000, kMiB - 1, kMiB + 7, kMiB + 99};
    for (const std::uint64_t size : sizes) {
        limits.insert(limits.end(), {size - 9, size - 1, size});
    }
    for (const std::uint64_t limit : limits) {
        ClearTarget();
        const auto outcome = RunInChild([&] {
            if (!testing::LimitFileSize(limit)) {
                return kRaisedOther;
            }
            TConversionHooks hooks;
            hooks.KeepPartial = true;  // what was written, in place of the target's files
            return ConvertMifToShp(ctPolygon, mif, target, hooks) ? kConverted : kFailed;
        });
        const bool everythingFits = limit >= std::max({sizes[0], sizes[1], sizes[2]});
        EXPECT_TRUE(outcome.Exited(everythingFits ? kConverted : kFailed))
            << "limit " << limit << ": exit " << outcome.ExitCode << ", signal " << outcome.Signal;
        const TOutputs got = Outputs(dir.Path("out/target"));
        ASSERT_TRUE(got.Shp && got.Shx) << "limit " << limit;
        EXPECT_LE(got.Shp->size(), limit);
        ExpectPartOfTheFinishedFiles(got, "limit " + std::to_string(limit));
    }
}

// The table's file on disk with scripted trouble: writes that fail once `writable` bytes have
// gone through, and a lock that is refused or not supported at all.
class TTroubledStorage final : public TTableStorage {
  public:
    enum class TLock { Works, Busy, Unsupported };

    TTroubledStorage(std::unique_ptr<TTableStorage> disk, std::uint64_t writable, TLock lock)
        : disk_(std::move(disk)), remaining_(writable), lock_(lock) {}

    std::uint64_t Size() override { return disk_->Size(); }
    std::size_t ReadAt(std::uint64_t offset, std::span<std::byte> out) override {
        return disk_->ReadAt(offset, out);
    }
    void WriteAt(std::uint64_t offset, std::span<const std::byte> data) override {
        if (data.size() <= remaining_) {
            remaining_ -= data.size();
            disk_->WriteAt(offset, data);
            return;
        }
        disk_->WriteAt(offset, data.first(static_cast<std::size_t>(remaining_)));
        remaining_ = 0;
        throw EWriteError(Text(TText::kShapeStreamWriteError));
    }
    bool TryLock(TLockKind kind) override {
        if (lock_ == TLock::Unsupported) {
            throw EInOutError("ファイルをロックできません: Function not implemented");
        }
        return lock_ == TLock::Works && disk_->TryLock(kind);
    }
    void Unlock() noexcept override { disk_->Unlock(); }
    void Close() noexcept override { disk_->Close(); }

  private:
    std::unique_ptr<TTableStorage> disk_;
    std::uint64_t remaining_;
    TLock lock_;
};

TTableStorageFactory TroubledDisk(std::uint64_t writable, TTroubledStorage::TLock lock) {
    return [=](const std::string& path, TStorageAccess access) -> std::unique_ptr<TTableStorage> {
        auto disk = OpenDiskTableStorage(path, access);
        if (!disk) {
            return nullptr;
        }
        return std::make_unique<TTroubledStorage>(std::move(disk), writable, lock);
    };
}

// Failing one file at a time, at byte positions spread over everything written to it (the
// final header rewrite included), stops the conversion right there: the other files hold
// exactly the objects finished before, in the order index entry, record, row.
TEST_F(FaultInjection, AWriteFailingAtAnyByteStopsTheConversionThere) {
    struct TVictim {
        const char* Name;
        std::uint64_t Total;  // bytes written to it in a whole conversion
    };
    const std::size_t rows = Little(*ref.Dbf, 4, 4);
    const std::size_t recordLength = Little(*ref.Dbf, 10, 2);
    const TVictim victims[] = {
        {".shp", ref.Shp->size() + kShapeHeaderBytes},
        {".shx", ref.Shx->size() + kShapeHeaderBytes},
        {".dbf", rows * (recordLength + 1 + 32)},  // each append: record and end byte, header
    };
    for (const TVictim& victim : victims) {
        std::vector<std::uint64_t> failAt = {0, 1, 99, 100, 101, victim.Total - 1, victim.Total};
        for (std::uint64_t at = 7; at < victim.Total; at += victim.Total / 40 + 1) {
            failAt.push_back(at);
        }
        for (const std::uint64_t writable : failAt) {
            ClearTarget();
            TConversionReport report;
            TConversionHooks hooks;
            hooks.Report = &report;
            hooks.KeepPartial = true;  // what was written, in place of the target's files
            hooks.CreateOutput = [&](const std::string& path) -> std::unique_ptr<TOutputStream> {
                if (path.ends_with(victim.Name)) {  // under the new set's temporary name
                    return std::make_unique<TFailingFileStream>(path, writable);
                }
                return CreateFileOutputStream(path);
            };
            if (std::string_view(victim.Name) == ".dbf") {
                hooks.TableStorage = TroubledDisk(writable, TTroubledStorage::TLock::Works);
                // Row by row, so that the byte budget above and the order in which an
                // object's files are written hold exactly; block writes are covered by the
                // disk-full case.
                hooks.PlainRowWriter = [](TLocalDbf& table, std::string_view row) {
                    AppendDbfRecord(table, row);
                };
            }
            const std::string context =
                std::string(victim.Name) + " failing after " + std::to_string(writable) + " bytes";
            const bool converted = ConvertMifToShp(ctPolygon, mif, target, hooks);
            EXPECT_EQ(converted, writable >= victim.Total) << context;
            if (!converted) {
                EXPECT_EQ(report.ErrorText, Text(TText::kShapeStreamWriteError)) << context;
            }
            const TOutputs got = Outputs(dir.Path("out/target"));
            ASSERT_TRUE(got.Shp && got.Shx && got.Dbf) << context;
            ExpectPartOfTheFinishedFiles(got, context);

            const std::size_t entries =
                got.Shx->size() < kShapeHeaderBytes ? 0 : (got.Shx->size() - kShapeHeaderBytes) / 8;
            const std::size_t records = CompleteRecords(*got.Shp, *ref.Shp);
            const std::size_t written = got.Dbf->size() < 8 ? 0 : Little(*got.Dbf, 4, 4);
            EXPECT_EQ(report.RecordsWritten, static_cast<std::int64_t>(records)) << context;
            EXPECT_LE(written, records) << context;
            EXPECT_LE(records, entries) << context;
            EXPECT_LE(entries, written + 1) << context;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Sources and targets that cannot be used

// Runs `body` in a child process under the identity of an unprivileged user when the tests
// run as root, for whom permissions are not enforced.
testing::TChildOutcome RunUnprivileged(const std::function<int()>& body) {
    return RunInChild([&] { return testing::DropRootRights() ? body() : kCannotDropRights; });
}

// The conversion's outcome as an exit code: a failure counts as kFailedSaying only when its
// reason holds `expected`.
int ConvertForExitCode(const std::string& mif, const std::string& shp,
                       const std::string& expected) {
    try {
        TConversionReport report;
        TConversionHooks hooks;
        hooks.Report = &report;
        if (ConvertMifToShp(ctPolygon, mif, shp, hooks)) {
            return kConverted;
        }
        return report.ErrorText.find(expected) != std::string::npos ? kFailedSaying : kFailed;
    } catch (...) {
        return kRaisedOther;
    }
}

TEST_F(FaultInjection, SourcesThatCannotBeReadTouchNoTarget) {
    // Folders named like the sources are no sources: false, and nothing is created.
    fs::create_directory(dir.Path("folder.mif"));
    WriteFileBytes(dir.Path("folder.mid"), source.Mid);
    EXPECT_FALSE(ConvertMifToShp(ctPolygon, dir.Path("folder.mif"), target));
    fs::copy_file(mif, dir.Path("other.mif"));
    fs::create_directory(dir.Path("other.mid"));
    EXPECT_FALSE(ConvertMifToShp(ctPolygon, dir.Path("other.mif"), target));
    EXPECT_FALSE(fs::exists(target));

    if (!testing::HavePosixFacilities()) {
        GTEST_SKIP() << "files nobody may read need POSIX permissions; Windows's read-only "
                        "attribute still lets them be read";
    }
    // Files without read permission: a failure whose reason names the file.
    fs::permissions(dir.Path(), fs::perms::all);
    fs::permissions(dir.Path("out"), fs::perms::all);
    for (const std::string& locked : {mif, mid}) {
        const fs::perms before = fs::status(locked).permissions();
        fs::permissions(locked, fs::perms::none);
        const auto outcome =
            RunUnprivileged([&] { return ConvertForExitCode(mif, target, locked); });
        fs::permissions(locked, before);
        if (outcome.Exited(kCannotDropRights)) {
            GTEST_SKIP() << "cannot run as an unprivileged user";
        }
        EXPECT_TRUE(outcome.Exited(kFailedSaying)) << locked << ": exit " << outcome.ExitCode;
        EXPECT_FALSE(fs::exists(target)) << locked;
    }
}

TEST_F(FaultInjection, TargetsThatCannotBeWrittenFailSayingWhyWithoutTouchingOthers) {
    // A missing folder: the reason names the file; nothing is made anywhere.
    const std::string lost = dir.Path("missing/target.shp");
    TConversionReport report;
    TConversionHooks hooks;
    hooks.Report = &report;
    EXPECT_FALSE(ConvertMifToShp(ctPolygon, mif, lost, hooks));
    EXPECT_THAT(report.ErrorText, HasSubstr("\"" + lost + "\" を作成できません: "));
    EXPECT_FALSE(fs::exists(dir.Path("missing")));

    if (!testing::HavePosixFacilities()) {
        GTEST_SKIP() << "files and folders closed to writing need POSIX permissions and a "
                        "user to drop to (Wine, run as root, lets root write read-only files), "
                        "and named pipes have no place in a Windows file system";
    }
    // A pipe named like the .shp is no file to replace: it stays, and no new file is left.
    const std::string pipe = dir.Path("out/pipe.shp");
    ASSERT_TRUE(testing::MakeNamedPipe(pipe));
    EXPECT_FALSE(ConvertMifToShp(ctPolygon, mif, pipe, hooks));
    EXPECT_THAT(report.ErrorText, HasSubstr("通常のファイルではありません"));
    EXPECT_TRUE(fs::is_fifo(pipe));
    EXPECT_FALSE(fs::exists(dir.Path("out/pipe.shx")));
    fs::remove(pipe);

    // A read-only folder: the same reason, for someone who may not write there.
    fs::permissions(dir.Path(), fs::perms::all);
    fs::create_directory(dir.Path("readonly"));
    fs::permissions(dir.Path("readonly"), fs::perms::owner_read | fs::perms::owner_exec |
                                              fs::perms::others_read | fs::perms::others_exec);
    const std::string sealed = dir.Path("readonly/target.shp");
    auto outcome = RunUnprivileged([&] { return ConvertForExitCode(mif, sealed, sealed); });
    if (outcome.Exited(kCannotDropRights)) {
        GTEST_SKIP() << "cannot run as an unprivileged user";
    }
    EXPECT_TRUE(outcome.Exited(kFailedSaying)) << "exit " << outcome.ExitCode;
    EXPECT_TRUE(fs::is_empty(dir.Path("readonly")));

    // A .dbf that may not be written is not replaced either: the old set stays whole.
    fs::permissions(dir.Path("out"), fs::perms::all);
    ASSERT_TRUE(ConvertMifToShp(ctPolygon, mif, target));
    const std::string dbf = dir.Path("out/target.dbf");
    fs::permissions(dbf, fs::perms::owner_read | fs::perms::others_read);
    WriteFileBytes(mif, RegionSource(3).Mif);  // the new set would differ
    outcome =
        RunUnprivileged([&] { return ConvertForExitCode(mif, target, "を置き換えできません"); });
    WriteSource();
    EXPECT_TRUE(outcome.Exited(kFailedSaying)) << "exit " << outcome.ExitCode;
    EXPECT_EQ(ReadFileBytes(dbf), *ref.Dbf);
    EXPECT_EQ(ReadFileBytes(target), *ref.Shp);
    const auto count = [](const std::string& folder) {
        return std::distance(fs::directory_iterator(folder), fs::directory_iterator());
    };
    EXPECT_EQ(count(dir.Path("out")), count(dir.Path("ref"))) << "only the old set";
}

// ---------------------------------------------------------------------------------------
// Tables held elsewhere and file systems without locks

TEST_F(FaultInjection, ATableOpenElsewhereIsNeitherReplacedNorJoined) {
    const std::string dbf = ChangeFileExt(target, ".dbf");
    for (const bool readOnly : {false, true}) {
        ClearTarget();
        WriteFileBytes(dbf, *ref.Dbf);
        TLocalDbf other;
        other.SetTableName(dbf);
        other.SetReadOnly(readOnly);
        other.Open();

        TConversionReport report;
        TConversionHooks hooks;
        hooks.Report = &report;
        EXPECT_FALSE(ConvertMifToShp(ctPolygon, mif, target, hooks)) << "read-only " << readOnly;
        EXPECT_THAT(report.ErrorText, HasSubstr(dbf));
        EXPECT_THAT(report.ErrorText, HasSubstr("使用中のため置き換えできません"));
        EXPECT_EQ(ReadFileBytes(dbf), *ref.Dbf);
        EXPECT_FALSE(fs::exists(target));

        // The other table still reads its rows, and once it is closed the target can be
        // written.
        other.Last();
        EXPECT_EQ(other.FieldByName("ID").AsString(), "39");
        other.Close();
        EXPECT_TRUE(ConvertMifToShp(ctPolygon, mif, target));
        EXPECT_EQ(ReadFileBytes(dbf), *ref.Dbf);
    }
}

TEST_F(FaultInjection, ATargetWithoutWorkingLocksFailsBeforeAnyRecord) {
    for (const auto lock : {TTroubledStorage::TLock::Busy, TTroubledStorage::TLock::Unsupported}) {
        ClearTarget();
        TConversionReport report;
        TConversionHooks hooks;
        hooks.Report = &report;
        hooks.TableStorage = TroubledDisk(UINT64_MAX, lock);
        EXPECT_FALSE(ConvertMifToShp(ctPolygon, mif, target, hooks));
        EXPECT_FALSE(report.ErrorText.empty());
        EXPECT_EQ(report.RecordsWritten, 0);
        // Nothing replaced, and no new file left behind.
        EXPECT_TRUE(fs::is_empty(dir.Path("out")));
    }
}

}  // namespace
}  // namespace varnelo
