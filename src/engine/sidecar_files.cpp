// SPDX-License-Identifier: MIT
#include "engine/sidecar_files.hpp"

#include "engine/code_page.hpp"
#include "engine/coord_sys.hpp"
#include "os/file_system.hpp"
#include "shape/errors.hpp"
#include "shape/output_stream.hpp"

namespace varnelo {

namespace {

void WriteWholeFile(const TOutputFactory& createOutput, const std::string& path,
                    std::string_view text) {
    // A file of a few bytes needs no large buffer.
    const auto stream =
        createOutput ? createOutput(path) : std::make_unique<TFileOutputStream>(path, text.size());
    stream->Write(text.data(), text.size());
    stream->Close();
}

void RemoveStale(const std::string& path) {
    const os::TError error = os::RemoveFile(path);
    if (error && os::KindOf(error) != os::TErrorKind::NotFound) {
        throw EInOutError(FileErrorText(TText::kShapeCannotRemoveFile, path, error));
    }
}

// Writes `text` to `path` when there is one, else removes what `path` holds, and says so.
void WriteOrRemove(const TOutputFactory& createOutput, const std::string& path,
                   std::string_view text, std::string declared, std::string reason,
                   TSidecarOutcome& outcome) {
    outcome = {};
    if (text.empty()) {
        RemoveStale(path);
        outcome.Reason = std::move(reason);
        return;
    }
    WriteWholeFile(createOutput, path, text);
    outcome.Path = path;
    outcome.Declared = std::move(declared);
}

}  // namespace

void WriteSidecarFiles(const std::string& targetPath, const TMifHeaderInfo& header,
                       const TOutputFactory& createOutput, TSidecarOutcome& codePage,
                       TSidecarOutcome& coordSys) {
    const TCodePage page = CodePageOfCharset(header.Charset);
    WriteOrRemove(createOutput, ChangeFileExt(targetPath, ".cpg"), page.CpgText, page.CpgText,
                  page.Reason, codePage);

    const TPrjText prj = CoordSysToPrj(header.CoordSys);
    std::string declared = prj.Name;
    if (prj.Epsg != 0) {
        declared += " (EPSG:" + std::to_string(prj.Epsg) + ")";
    }
    WriteOrRemove(createOutput, ChangeFileExt(targetPath, ".prj"), prj.Wkt, std::move(declared),
                  prj.Reason, coordSys);
}

}  // namespace varnelo
