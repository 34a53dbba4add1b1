// SPDX-License-Identifier: MIT
// Output streams that end a conversion part-way through: one asks it to stop once it holds
// more than a given number of bytes, as a user pressing cancel would; one fails its writes,
// as a full disk does.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <utility>

#include "shape/output_stream.hpp"

namespace varnelo::testing {

class TStoppingStream final : public TOutputStream {
  public:
    TStoppingStream(std::unique_ptr<TOutputStream> inner, std::atomic<bool>& stop,
                    std::uint64_t stopAfterBytes)
        : inner_(std::move(inner)), stop_(stop), stopAfterBytes_(stopAfterBytes) {}
    void Write(const void* data, std::size_t count) override {
        inner_->Write(data, count);
        if (inner_->Size() > stopAfterBytes_) {
            stop_ = true;
        }
    }
    void Seek(std::uint64_t position) override { inner_->Seek(position); }
    std::uint64_t Position() const override { return inner_->Position(); }
    std::uint64_t Size() const override { return inner_->Size(); }
    void Flush() override { inner_->Flush(); }
    void Close() override { inner_->Close(); }

  private:
    std::unique_ptr<TOutputStream> inner_;
    std::atomic<bool>& stop_;
    std::uint64_t stopAfterBytes_;
};

// Hooks' CreateOutput for a conversion whose .shp asks it to stop past `stopAfterBytes`.
inline auto StopWhenShpExceeds(std::atomic<bool>& stop, std::uint64_t stopAfterBytes) {
    return [&stop, stopAfterBytes](const std::string& path) -> std::unique_ptr<TOutputStream> {
        auto file = CreateFileOutputStream(path);
        if (!path.ends_with(".shp")) {
            return file;
        }
        return std::make_unique<TStoppingStream>(std::move(file), stop, stopAfterBytes);
    };
}

// A file stream whose writes fail once `writable` bytes have gone through.
class TFailingFileStream final : public TOutputStream {
  public:
    TFailingFileStream(const std::string& path, std::uint64_t writable)
        : file_(CreateFileOutputStream(path)), fault_(*file_, writable) {}

    void Write(const void* data, std::size_t count) override { fault_.Write(data, count); }
    void Seek(std::uint64_t position) override { fault_.Seek(position); }
    std::uint64_t Position() const override { return fault_.Position(); }
    std::uint64_t Size() const override { return fault_.Size(); }
    void Flush() override { fault_.Flush(); }
    void Close() override { fault_.Close(); }

  private:
    std::unique_ptr<TOutputStream> file_;
    TFaultInjectingOutputStream fault_;
};

}  // namespace varnelo::testing
