#include "data/sqlitewait.h"

#include "app/writewait.h"

#include <QElapsedTimer>

#include <sqlite3.h>

namespace data {

namespace {

enum class GaveUp { Cancelled, HeldHere };

struct WaitState {
    QElapsedTimer since;
    int limitMs = -1; // -1: no limit
    bool cancelled = false;
    GaveUp why = GaveUp::Cancelled;
    sqlite3* directWriter = nullptr; // this thread's connection writing straight into its file
};

thread_local WaitState waitState;

// Short sleeps first, since most writes end within milliseconds; then a steady pace that keeps a
// window drawn through the hook.
int pauseFor(int attempt) {
    return attempt < 6 ? 1 << attempt : 50;
}

int busyHandler(void* handle, int attempt) {
    WaitState& state = waitState;
    if (attempt == 0) {
        state.since.start();
        state.cancelled = false; // a cancel is told with the failure it caused, never with a later one
    }
    // That writer goes on only once this thread returns: waiting for it would never end.
    if (state.directWriter && state.directWriter != handle) {
        state.cancelled = true;
        state.why = GaveUp::HeldHere;
        return 0;
    }
    const qint64 waited = state.since.elapsed();
    if (state.limitMs >= 0 && waited >= state.limitMs)
        return 0;
    if (state.limitMs < 0 && waited >= app::WriteWaitNoticeAfterMs && !app::tellWriteWait(waited)) {
        state.cancelled = true;
        state.why = GaveUp::Cancelled;
        return 0;
    }
    sqlite3_sleep(pauseFor(attempt));
    return 1;
}

} // namespace

void waitForOtherWriters(sqlite3* handle) {
    sqlite3_busy_handler(handle, &busyHandler, handle);
}

bool takeCancelledWait() {
    const bool cancelled = waitState.cancelled;
    waitState.cancelled = false;
    return cancelled;
}

QString cancelledWaitText() {
    if (waitState.why == GaveUp::HeldHere)
        return QStringLiteral("this program is storing a large file and holds the database until it is "
                              "stored. Try again once the upload has finished.");
    return QStringLiteral("the wait for another program's write to the database was cancelled, so nothing "
                          "was changed. Try again once the other program has finished.");
}

DirectWriter::DirectWriter(sqlite3* handle) : m_previous(waitState.directWriter) {
    waitState.directWriter = handle;
}

DirectWriter::~DirectWriter() {
    waitState.directWriter = m_previous;
}

ShortWaits::ShortWaits(int milliseconds) : m_previous(waitState.limitMs) {
    waitState.limitMs = milliseconds;
}

ShortWaits::~ShortWaits() {
    waitState.limitMs = m_previous;
}

} // namespace data
