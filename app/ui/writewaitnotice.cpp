#include "app/ui/writewaitnotice.h"

#include "app/appfacts.h"
#include "app/writewait.h"

#include <QCoreApplication>
#include <QPointer>
#include <QProgressDialog>
#include <QTimer>

namespace {

// How long after the last call of the hook the wait counts as over.
constexpr int QuietMs = 400;

class WriteWaitNotice {
public:
    WriteWaitNotice() {
        m_quiet.setSingleShot(true);
        QObject::connect(&m_quiet, &QTimer::timeout, [this] { close(); });
    }
    bool waiting(qint64 waitedMs) {
        if (!m_dialog)
            create();
        m_dialog->setLabelText(QStringLiteral("Waiting for another program to finish writing to the "
                                              "database (%1 s). Cancel to give up.")
                                   .arg(waitedMs / 1000));
        if (!m_dialog->isVisible())
            m_dialog->show();
        m_quiet.start(QuietMs);
        // Other windows take no input meanwhile (the notice is modal), so nothing starts another
        // command inside this one; they are still drawn.
        QCoreApplication::processEvents();
        if (!m_dialog || !m_dialog->wasCanceled())
            return true;
        close();
        return false;
    }

private:
    void create() {
        m_dialog = new QProgressDialog();
        m_dialog->setObjectName(QStringLiteral("WriteWaitNotice"));
        m_dialog->setWindowTitle(AppFacts::applicationTitle());
        m_dialog->setCancelButtonText(QStringLiteral("Cancel"));
        m_dialog->setRange(0, 0);
        m_dialog->setAutoClose(false);
        m_dialog->setAutoReset(false);
        m_dialog->setMinimumDuration(0);
        m_dialog->setWindowModality(Qt::ApplicationModal);
        m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    }
    void close() {
        m_quiet.stop();
        if (m_dialog)
            m_dialog->close();
        m_dialog = nullptr;
    }

    QPointer<QProgressDialog> m_dialog;
    QTimer m_quiet;
};

} // namespace

void installWriteWaitNotice() {
    static WriteWaitNotice* notice = new WriteWaitNotice(); // lives as long as the program
    app::setWriteWaitHook([](qint64 waitedMs) { return notice->waiting(waitedMs); });
}
