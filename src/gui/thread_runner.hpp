// SPDX-License-Identifier: MIT
// Runs the window's long work on a worker thread and hands the end back to the user-interface
// thread through its event queue, after everything the work posted there before.
#pragma once

#include <QObject>
#include <QThread>
#include <memory>

#include "app/main_view.hpp"

namespace varnelo::gui {

class TThreadRunner final : public QObject, public IWorkRunner {
  public:
    explicit TThreadRunner(QObject* parent = nullptr) : QObject(parent) {}
    // Waits for a running work: the window never leaves a conversion half done.
    ~TThreadRunner() override { Wait(); }

    // Returns once the running work, if any, has ended.
    void Wait() {
        if (thread_) {
            thread_->wait();
        }
    }

    void Run(std::function<void()> work, std::function<void()> finished) override {
        thread_.reset(QThread::create(std::move(work)));
        connect(thread_.get(), &QThread::finished, this,
                [this, done = std::move(finished)]() mutable {
                    auto finishedNow = std::move(done);  // this lambda goes with its thread
                    thread_->wait();
                    thread_.release()->deleteLater();
                    finishedNow();
                });
        thread_->start();
    }

    void Post(std::function<void()> task) override {
        QMetaObject::invokeMethod(this, std::move(task), Qt::QueuedConnection);
    }

  private:
    std::unique_ptr<QThread> thread_;
};

}  // namespace varnelo::gui
