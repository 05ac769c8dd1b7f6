#include "app/ui/activationwatcher.h"

#include <QEvent>
#include <QMdiSubWindow>
#include <QWidget>

ActivationWatcher::ActivationWatcher(QWidget* window) : QObject(window), m_window(window) {
    window->installEventFilter(this);
    watchSubWindow();
}

bool ActivationWatcher::eventFilter(QObject* watched, QEvent* event) {
    if (watched == m_window) {
        if (event->type() == QEvent::ParentChange)
            watchSubWindow();
        else if (event->type() == QEvent::ActivationChange && !m_subWindow && m_window->isWindow() &&
                 m_window->isActiveWindow())
            emit activated();
    }
    return QObject::eventFilter(watched, event);
}

void ActivationWatcher::watchSubWindow() {
    auto* sub = qobject_cast<QMdiSubWindow*>(m_window->parentWidget());
    if (sub == m_subWindow)
        return;
    disconnect(m_subWindowWatch);
    m_subWindow = sub;
    if (sub)
        m_subWindowWatch = connect(sub, &QMdiSubWindow::windowStateChanged, this,
                                   [this](Qt::WindowStates before, Qt::WindowStates now) {
                                       if (!(before & Qt::WindowActive) && (now & Qt::WindowActive))
                                           emit activated();
                                   });
}
