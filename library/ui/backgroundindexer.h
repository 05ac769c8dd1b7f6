// Reads the text of versions stored before the library had a text index, on a thread of its own, so
// that no window waits for it. One per program; started at start-up and when a library window opens,
// stopped before the program ends. Tells how far it is through signals.
#pragma once

#include <QString>
#include <QThread>

namespace library::ui {

class BackgroundIndexer : public QThread {
    Q_OBJECT
public:
    static BackgroundIndexer& instance();
    // Starts a run over the versions without text unless one is going on.
    static void start();

    int done() const { return m_done; }
    int total() const { return m_total; }

signals:
    void progress(int done, int total);
    // failures: versions whose text could not be stored (the next run tries them again).
    void finishedRun(int indexed, int failures, const QString& lastError);

protected:
    void run() override;

private:
    BackgroundIndexer();
    std::atomic<int> m_done = 0;
    std::atomic<int> m_total = 0;
};

} // namespace library::ui
