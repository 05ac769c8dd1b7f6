#include "data/sqlitewait.h"

#include "app/writewait.h"

#include <QElapsedTimer>

#include <sqlite3.h>

namespace data {

namespace {

struct WaitState {
    QElapsedTimer since;
    int limitMs = -1; // -1: no limit
    bool cancelled = false;
};

thread_local WaitState waitState;

// Short sleeps first, since most writes end within milliseconds; then a steady pace that keeps a
// window drawn through the hook.
int pauseFor(int attempt) {
    return attempt < 6 ? 1 << attempt : 50;
}

int busyHandler(void*, int attempt) {
    WaitState& state = waitState;
    if (attempt == 0) {
        state.since.start();
        state.cancelled = false; // a cancel is told with the failure it caused, never with a later one
    }
    const qint64 waited = state.since.elapsed();
    if (state.limitMs >= 0 && waited >= state.limitMs)
        return 0;
    if (state.limitMs < 0 && waited >= app::WriteWaitNoticeAfterMs && !app::tellWriteWait(waited)) {
        state.cancelled = true;
        return 0;
    }
    sqlite3_sleep(pauseFor(attempt));
    return 1;
}

} // namespace

void waitForOtherWriters(sqlite3* handle) {
    sqlite3_busy_handler(handle, &busyHandler, nullptr);
}

bool takeCancelledWait() {
    const bool cancelled = waitState.cancelled;
    waitState.cancelled = false;
    return cancelled;
}

QString cancelledWaitText() {
    return QStringLiteral("the wait for another program's write to the database was cancelled, so nothing "
                          "was changed. Try again once the other program has finished.");
}

ShortWaits::ShortWaits(int milliseconds) : m_previous(waitState.limitMs) {
    waitState.limitMs = milliseconds;
}

ShortWaits::~ShortWaits() {
    waitState.limitMs = m_previous;
}

} // namespace data
