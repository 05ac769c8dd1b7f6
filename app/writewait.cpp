#include "app/writewait.h"

#include <QtGlobal>

namespace app {

namespace {

WriteWaitHook& hook() {
    static WriteWaitHook installed;
    return installed;
}

} // namespace

void setWriteWaitHook(WriteWaitHook newHook) {
    hook() = std::move(newHook);
}

bool tellWriteWait(qint64 waitedMs) {
    return !hook() || hook()(waitedMs);
}

} // namespace app
