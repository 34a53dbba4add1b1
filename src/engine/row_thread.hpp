// SPDX-License-Identifier: MIT
// The .mid rows of a conversion on a thread of their own, beside the objects. The objects'
// side asks for row steps in file order; the rows' side does them in that order. A failure on
// either side stops both, and the one reported is the one met first in file order: a step the
// rows' side was given always comes before whatever stopped the objects' side, so its failure
// wins.
#pragma once

#include <cstddef>
#include <exception>
#include <span>
#include <thread>
#include <vector>

#include "engine/bounded_queue.hpp"
#include "engine/objects_ahead.hpp"

namespace varnelo {

// What the rows' side does: for each step in order, reads the next .mid row (no table) or
// appends the row read last to the step's table. `current` points at the step being done, so
// that it names the step a failure met.
class IRowSteps {
  public:
    virtual void DoRowSteps(std::span<const TRowStep> steps, const TRowStep*& current) = 0;

  protected:
    ~IRowSteps() = default;
};

// Raised on the objects' side when the rows' side has stopped on a failure of its own, which
// is then the one reported.
class ERowSideStopped : public std::exception {
  public:
    const char* what() const noexcept override { return "the rows' side stopped"; }
};

class TRowThread {
  public:
    // Starts the rows' side; `rows` must outlive this object.
    explicit TRowThread(IRowSteps& rows);
    TRowThread(const TRowThread&) = delete;
    TRowThread& operator=(const TRowThread&) = delete;
    // Stops the rows' side at once if End was not called.
    ~TRowThread();

    // Asks for a step; raises ERowSideStopped once the rows' side has stopped.
    void Add(const TRowStep& step) {
        steps_.push_back(step);
        if (steps_.size() >= kStepsPerBatch) {
            Send();
        }
    }
    // Hands over the steps asked for so far.
    void Send();

    // The objects' side is done: the rows' side does the steps asked for (`objectsFailed`
    // too: those before the failure are still done) and this waits for it, or, when the
    // objects' side was cancelled, it stops at once.
    void End(bool objectsFailed, bool cancelled) noexcept;

    // The rows' side's failure, if any, and the step that met it.
    const std::exception_ptr& Failure() const noexcept { return failure_; }
    const TRowStep& FailedStep() const noexcept { return failedStep_; }

  private:
    using TRowQueue = TBoundedQueue<std::vector<TRowStep>>;
    // Steps go over in batches, so that the threads meet seldom; a few batches may wait, so
    // that neither side stalls on the other's short delays while memory stays small.
    static constexpr std::size_t kStepsPerBatch = 512;
    static constexpr std::size_t kQueuedBatches = 8;

    void WriteRows() noexcept;

    IRowSteps& rows_;
    TRowQueue queue_{kQueuedBatches};
    std::vector<TRowStep> steps_;  // asked for, not yet sent
    std::exception_ptr failure_;
    TRowStep failedStep_;
    std::thread thread_;
};

}  // namespace varnelo
