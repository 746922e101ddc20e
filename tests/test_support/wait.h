#pragma once
// Waiting in tests for what the event loop or another thread brings about. Qt's QTRY_
// macros report to QTest's own log, which gtest never reads: a failed wait there passes.

#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QTest>

namespace tellune::test {

// Sanitized code runs several times slower, and more so on a busy machine: every wait gives
// it that much longer. A wait ends as soon as its condition holds, so passing tests do not
// slow down.
#ifdef TELLUNE_SANITIZED_BUILD
inline constexpr int kWaitScale = 4;
#else
inline constexpr int kWaitScale = 1;
#endif

// Runs the event loop until `condition` holds; false if it still does not after
// `timeout_ms` (times kWaitScale).
template <class Condition>
bool wait_until(Condition condition, int timeout_ms) {
    const QDeadlineTimer deadline(qint64(timeout_ms) * kWaitScale);
    while (!condition()) {
        if (deadline.hasExpired()) return false;
        QTest::qWait(5);
    }
    return true;
}

}  // namespace tellune::test

// Fails the test (and leaves it, as ASSERT_ does) unless `expr` becomes true in time.
#define ASSERT_SOON(expr, timeout_ms)                                                           \
    do {                                                                                        \
        ::tellune::test::wait_until([&] { return bool(expr); }, (timeout_ms));                  \
        ASSERT_TRUE(expr) << "still false after " << (timeout_ms) * ::tellune::test::kWaitScale \
                          << " ms";                                                             \
    } while (0)

// The same for `actual` becoming equal to `expected`.
#define ASSERT_EQ_SOON(actual, expected, timeout_ms)                                       \
    do {                                                                                   \
        ::tellune::test::wait_until([&] { return (actual) == (expected); }, (timeout_ms)); \
        ASSERT_EQ(actual, expected)                                                        \
            << "after " << (timeout_ms) * ::tellune::test::kWaitScale << " ms";            \
    } while (0)
