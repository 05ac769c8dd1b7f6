// What a command has just done, told in the main window's status bar ("Saved Jane Q Doe", "PDF written
// to ..."), so the operator sees the result without a box to close. Windows post notices; the main
// window shows the latest one, and for a written file a button that opens the file's folder.
#pragma once

#include <QObject>
#include <QString>

class QMainWindow;

class StatusNotices : public QObject {
    Q_OBJECT
public:
    static StatusNotices& instance();
    // folder: where a written file lies, offered to the operator to open; empty when there is none.
    static void post(const QString& text, const QString& folder = QString());

signals:
    void posted(const QString& text, const QString& folder);

private:
    using QObject::QObject;
};

// Gives the window a status bar that shows each notice (lblStatusNotice) and, for a notice with a
// folder, an "Open Folder" button (cmdOpenFolder) that opens it with the desktop's file manager.
void attachStatusNotices(QMainWindow* window);
