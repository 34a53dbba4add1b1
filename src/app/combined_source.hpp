// SPDX-License-Identifier: MIT
// The joined source of a combined batch run: the first entry's header once, then the objects
// of every entry in list order in one .mif, and every entry's attribute lines in one .mid.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/batch_list.hpp"
#include "shape/output_stream.hpp"

namespace varnelo {

// "temp.mif" and "temp.mid" in a folder made for one run inside the temporary directory, so
// that runs of several programs at once never share files. The folder goes with everything
// in it when the object ends, however the run ended.
class TCombinedSource {
  public:
    static constexpr std::string_view kMifName = "temp.mif";
    static constexpr std::string_view kMidName = "temp.mid";

    // Makes the folder inside `tempDir` (which ends in "/") and creates both files empty;
    // raises EInOutError when either cannot be made.
    explicit TCombinedSource(const std::string& tempDir);
    ~TCombinedSource();
    TCombinedSource(const TCombinedSource&) = delete;
    TCombinedSource& operator=(const TCombinedSource&) = delete;

    const std::string& Folder() const { return folder_; }
    const std::string& MifPath() const { return mifPath_; }

    // Appends one source pair, every line ended with CR LF and its bytes unchanged: the whole
    // .mif when it is the first, else only the lines after its first line that reads "DATA"
    // once trimmed (letters in any case); then its whole .mid, or, when it has none, an empty
    // row for each of its objects, as a conversion of it alone reads them. Answers false when
    // it had none. Raises EInOutError when a file cannot be read, and EMifFormatError naming a
    // later .mif without such a line, whose .mid rows would otherwise land on other entries'
    // objects.
    bool Append(const std::string& mifFile, bool first);

    // Closes both files; raises when their last bytes cannot be written.
    void Close();

  private:
    std::string folder_;
    std::string mifPath_;
    std::unique_ptr<TOutputStream> mif_;
    std::unique_ptr<TOutputStream> mid_;
};

// Joins the entries' sources into `target` in list order. `starting(i)` runs before entry i
// is read, `appended(i, midFound)` once its data were appended.
void BuildCombinedSource(const std::vector<TBatchEntry>& entries, TCombinedSource& target,
                         const std::function<void(std::size_t)>& starting,
                         const std::function<void(std::size_t, bool midFound)>& appended);

}  // namespace varnelo
