#pragma once

#include <gtest/gtest.h>

#include <string_view>

#include "foundation/Exception.h"
#include "foundation/Text.h"

namespace kovra::test {

// Runs `action` and checks that it throws EKovraNMEAException with exactly `message`.
template <typename Action>
::testing::AssertionResult ThrowsKovra(Action&& action, std::string_view message) {
    try {
        action();
    } catch (const EKovraNMEAException& e) {
        if (e.Message() == ToMessage(message) && std::string_view(e.what()) == message) {
            return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure() << "message was \"" << e.what() << "\", expected \"" << message << "\"";
    }
    return ::testing::AssertionFailure() << "nothing thrown, expected \"" << message << "\"";
}

}  // namespace kovra::test
