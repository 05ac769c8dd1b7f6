// Selecting rows of an explorer's list as an operator's clicks would.
#pragma once

#include "employees/employeelist.h"
#include "employees/ui/form2.h"

#include <QItemSelectionModel>
#include <QTreeView>

inline void selectRows(Form2& explorer, const QList<int>& rows) {
    QTreeView* list = explorer.LstStudenInformation();
    list->clearSelection();
    for (int row : rows)
        list->selectionModel()->select(explorer.listModel()->index(row, 0),
                                       QItemSelectionModel::Select | QItemSelectionModel::Rows);
}
