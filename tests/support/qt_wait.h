#pragma once
// Waiting for a condition while the event loop runs, bounded generously for loaded machines.

#include <QTest>

namespace ostrim::test {

// Runs the event loop until done() holds; false when timeoutMs passed first.
template <class Pred> bool waitUntil(Pred done, int timeoutMs = 30000) {
    return QTest::qWaitFor(done, timeoutMs);
}

} // namespace ostrim::test
