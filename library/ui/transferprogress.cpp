#include "library/ui/transferprogress.h"

#include <QProgressDialog>

namespace library::ui {

namespace {
constexpr int Steps = 1000;
} // namespace

TransferProgress::TransferProgress(QWidget* parent, const QString& label)
    : m_dialog(std::make_unique<QProgressDialog>(label, QStringLiteral("Cancel"), 0, Steps, parent)) {
    m_dialog->setObjectName(QStringLiteral("TransferProgress"));
    m_dialog->setWindowModality(Qt::WindowModal);
    m_dialog->setMinimumDuration(500);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);
}

TransferProgress::~TransferProgress() = default;

library::Progress TransferProgress::callback() {
    QProgressDialog* dialog = m_dialog.get();
    return [dialog](qint64 done, qint64 total) {
        const int step = total > 0 ? int(done * Steps / total) : Steps;
        // A modal progress window handles the pending events here, Cancel included.
        if (step != dialog->value())
            dialog->setValue(step);
        return !dialog->wasCanceled();
    };
}

} // namespace library::ui
