// Tells a child window when it becomes the active one: inside the main window's workspace when its
// sub-window is activated, standing alone when its own window is. The main window's own activation is
// not an activation of every child inside it, or every open editor and badge would reload at once.
#pragma once

#include <QMdiSubWindow>
#include <QMetaObject>
#include <QObject>
#include <QPointer>

class QWidget;

class ActivationWatcher : public QObject {
    Q_OBJECT
public:
    explicit ActivationWatcher(QWidget* window);
    QMdiSubWindow* subWindow() const { return m_subWindow; }

signals:
    void activated();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void watchSubWindow();

    QWidget* m_window;
    QPointer<QMdiSubWindow> m_subWindow;
    QMetaObject::Connection m_subWindowWatch;
};
