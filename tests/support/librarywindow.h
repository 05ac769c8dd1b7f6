// Driving the library window as an operator would: files to upload, a folder and a line clicked, and
// the texts of a column of a list.
#pragma once

#include "testfiles.h"

#include "library/ui/frmdocexplorer.h"

#include <QDir>
#include <QFileInfo>
#include <QTreeWidget>

#include <optional>

// Writes the bytes to the path, making its folder first; returns the path.
inline QString writeFileIn(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    return writeTestFile(path, bytes);
}

// Clicks a folder (the root for -1) and then, when given, a line of its list.
inline void selectFolder(FrmDocExplorer& window, int folder, int line = -1) {
    window.TreClassView()->setCurrentItem(folder < 0 ? window.RootNode() : window.RootNode()->child(folder));
    window.treeClick();
    if (line >= 0)
        window.LstStudenInformation()->setCurrentItem(window.LstStudenInformation()->topLevelItem(line));
}

inline QStringList columnTexts(QTreeWidget* list, int column) {
    QStringList texts;
    for (int i = 0; i < list->topLevelItemCount(); ++i)
        texts << list->topLevelItem(i)->text(column);
    return texts;
}

// Shows a fresh window in the slot, in administration mode or not.
inline FrmDocExplorer& showExplorer(std::optional<FrmDocExplorer>& window, bool admin) {
    window.emplace();
    window->adminFunction = admin;
    window->show();
    return *window;
}
