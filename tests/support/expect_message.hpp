// SPDX-License-Identifier: MIT
// Expects an action to raise an error of one class with exactly the given message.
#pragma once

#include <gtest/gtest.h>

#include <string>

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

}  // namespace varnelo::testing
