// SPDX-License-Identifier: MIT
// Expects an action to raise an error of one class with exactly the given message, or tells
// which message an action raised.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "shape/errors.hpp"

namespace varnelo::testing {

template <class Error, class Action>
void ExpectError(Action action, const std::string& message) {
    try {
        action();
        ADD_FAILURE() << "no error; expected: " << message;
    } catch (const Error& e) {
        EXPECT_EQ(e.Message(), message);
    }
}

// The message of the core error an action raises, "(nothing raised)" when it raises none.
template <class Action>
std::string MessageOf(Action&& action) {
    try {
        action();
    } catch (const Exception& e) {
        return e.Message();
    }
    return "(nothing raised)";
}

}  // namespace varnelo::testing
