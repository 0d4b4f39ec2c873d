#pragma once

#include "extension/adbclient/adb_client_error.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>

// Readable gtest output for texts.
inline void PrintTo(const QString &text, std::ostream *out) { *out << '"' << text.toStdString() << '"'; }

// The AdbClientError an operation ends with, or none (recorded as a test failure).
template <typename Operation>
std::optional<AdbClientError> clientFailure(Operation operation) {
    try {
        operation();
    } catch (const AdbClientError &error) {
        return error;
    }
    ADD_FAILURE() << "the operation did not fail with AdbClientError";
    return std::nullopt;
}

#define EXPECT_CLIENT_ERROR(operation, expectedKind, expectedPayload)                                       \
    do {                                                                                                    \
        const auto failure_ = clientFailure([&] { operation; });                                            \
        if (failure_) {                                                                                     \
            EXPECT_EQ(failure_->kind(), AdbClientError::Kind::expectedKind);                                \
            EXPECT_EQ(failure_->payload(), QString(expectedPayload)) << failure_->description().toStdString(); \
        }                                                                                                   \
    } while (false)
