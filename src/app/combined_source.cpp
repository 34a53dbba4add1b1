// SPDX-License-Identifier: MIT
#include "app/combined_source.hpp"

#include "engine/convert.hpp"
#include "engine/line_reader.hpp"
#include "engine/mif_errors.hpp"
#include "engine/mif_header.hpp"
#include "engine/object_counts.hpp"
#include "engine/text_ops.hpp"
#include "os/catalog.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"

namespace varnelo {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

void WriteLine(TOutputStream& out, std::string_view line) {
    out.Write(line.data(), line.size());
    out.Write(kLineEnd.data(), kLineEnd.size());
}

std::string MakePrivateFolder(const std::string& tempDir) {
    std::string folder;
    if (const os::TError error = os::CreateUniqueFolder(tempDir + "varnelo-combine-", folder)) {
        throw EInOutError(Text(TText::kAppNoWorkingFolder, tempDir, os::SystemErrorText(error)));
    }
    return folder + os::PathSeparator();
}

}  // namespace

TCombinedSource::TCombinedSource(const std::string& tempDir)
    : folder_(MakePrivateFolder(tempDir)), mifPath_(folder_ + std::string(kMifName)) {
    try {
        mif_ = CreateFileOutputStream(mifPath_);
        mid_ = CreateFileOutputStream(folder_ + std::string(kMidName));
    } catch (...) {
        os::RemoveTree(folder_);
        throw;
    }
}

TCombinedSource::~TCombinedSource() {
    // Both files are closed before they and their folder are removed; a removal that fails
    // leaves only a folder of the system's temporary directory behind.
    mif_.reset();
    mid_.reset();
    os::RemoveTree(folder_);
}

bool TCombinedSource::Append(const std::string& mifFile, bool first) {
    TLineReader mif = TLineReader::FromFile(mifFile);
    bool inData = first;
    while (!mif.Eof()) {
        const std::string_view line = mif.ReadLineView();
        if (inData) {
            WriteLine(*mif_, line);
        } else {
            inData = SameKeyword(TrimView(line), "DATA");
        }
    }
    if (!inData) {
        // The entry's file is the failure's place, which the run names.
        throw EMifFormatError(Text(TText::kAppNoDataLineToCombine));
    }
    if (MidIsMissing(mifFile)) {
        // The rows a conversion of this pair alone would read, so that the next entry's
        // rows stay with its own objects.
        TLineReader objects = TLineReader::FromFile(mifFile);
        ReadMifHeader(objects);
        TSFColumns columns;
        ReadMifColumns(objects, columns);
        for (std::int64_t rows = CountMifObjects(objects).Rows(); rows > 0; --rows) {
            WriteLine(*mid_, "");
        }
        return false;
    }
    TLineReader mid = TLineReader::FromFile(ChangeFileExt(mifFile, ".mid"));
    while (!mid.Eof()) {
        WriteLine(*mid_, mid.ReadLineView());
    }
    return true;
}

void TCombinedSource::Close() {
    mif_->Close();
    mid_->Close();
}

void BuildCombinedSource(const std::vector<TBatchEntry>& entries, TCombinedSource& target,
                         const std::function<void(std::size_t)>& starting,
                         const std::function<void(std::size_t, bool midFound)>& appended) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        starting(i);
        const bool midFound = target.Append(entries[i].MifFile, i == 0);
        appended(i, midFound);
    }
}

}  // namespace varnelo
