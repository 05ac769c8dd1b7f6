// How a SQLite connection waits for another program's write: for as long as that write goes on (a
// large upload holds the file for minutes), telling the operator after a while through the hook of
// app/writewait.h, and giving up only when the operator cancels. Knows nothing of tables or windows.
#pragma once

#include <QString>

struct sqlite3;

namespace data {

// Makes the connection wait as above whenever another connection holds what it needs.
void waitForOtherWriters(sqlite3* handle);

// True once after a wait on this thread was given up, by the operator or because this thread itself
// holds the file (DirectWriter); the failure then names that cause (cancelledWaitText) instead of
// SQLite's "database is locked".
bool takeCancelledWait();
QString cancelledWaitText();

// While one lives, the connection given holds the file for a write that other connections cannot read
// beside; this thread's other connections then fail at once instead of waiting for it.
class DirectWriter {
public:
    explicit DirectWriter(sqlite3* handle);
    ~DirectWriter();
    DirectWriter(const DirectWriter&) = delete;
    DirectWriter& operator=(const DirectWriter&) = delete;

private:
    sqlite3* m_previous;
};

// While one lives, waits on this thread give up after the given time unannounced: housekeeping such as
// folding the log back into the file is never worth holding the operator up for.
class ShortWaits {
public:
    explicit ShortWaits(int milliseconds);
    ~ShortWaits();
    ShortWaits(const ShortWaits&) = delete;
    ShortWaits& operator=(const ShortWaits&) = delete;

private:
    int m_previous;
};

} // namespace data
