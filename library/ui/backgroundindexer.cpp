#include "library/ui/backgroundindexer.h"

#include "app/apperror.h"
#include "library/fulltext.h"

#include <QCoreApplication>

namespace library::ui {

BackgroundIndexer::BackgroundIndexer() : QThread(QCoreApplication::instance()) {
    setObjectName(QStringLiteral("BackgroundIndexer"));
    // A run in the middle of a version stops after it; the database keeps every version it finished.
    connect(QCoreApplication::instance(), &QCoreApplication::aboutToQuit, this, [this] {
        requestInterruption();
        wait();
    });
}

BackgroundIndexer& BackgroundIndexer::instance() {
    static BackgroundIndexer* indexer = new BackgroundIndexer();
    return *indexer;
}

void BackgroundIndexer::start() {
    BackgroundIndexer& indexer = instance();
    if (!indexer.isRunning())
        indexer.QThread::start(QThread::LowPriority);
}

void BackgroundIndexer::run() {
    int indexed = 0, failures = 0;
    QString lastError;
    try {
        const std::vector<qint64> pending = unindexedDocuments();
        m_total = int(pending.size());
        m_done = 0;
        if (pending.empty())
            return;
        emit progress(0, m_total);
        for (const qint64 id : pending) {
            if (isInterruptionRequested())
                break;
            try {
                if (indexStoredDocument(id))
                    ++indexed;
            } catch (const AppError& error) {
                ++failures;
                lastError = error.description();
            }
            emit progress(++m_done, m_total);
        }
    } catch (const AppError& error) {
        ++failures;
        lastError = error.description();
    }
    emit finishedRun(indexed, failures, lastError);
}

} // namespace library::ui
