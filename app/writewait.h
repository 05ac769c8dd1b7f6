// What the operator is told while an operation waits for another program to finish writing to the
// database. The data layer calls the hook from the waiting thread; the program shows a notice with a
// way to cancel, the companion prints one line. No widgets here.
#pragma once

#include <QtGlobal>

#include <functional>

namespace app {

// How long a wait goes unannounced: most writes of other programs end well before.
inline constexpr int WriteWaitNoticeAfterMs = 2000;

// Called again and again while a wait lasts, once it has lasted WriteWaitNoticeAfterMs, with the time
// waited so far; answering false gives up the wait, and the operation then fails saying so.
using WriteWaitHook = std::function<bool(qint64 waitedMs)>;

// The hook in use; without one, waits go on unannounced until the other write ends.
void setWriteWaitHook(WriteWaitHook hook);
// True to go on waiting (also when no hook is set).
bool tellWriteWait(qint64 waitedMs);

} // namespace app
