#include "library/ui/librarylayout.h"

#include <cstdlib>

namespace library::ui {

void LibraryLayout::resize(int windowWidth) {
    picture1.height = treClassView.height + 425;
    lblStudentInformation.left = lstStudenInformation.left;
    // Taken as an absolute value, so a very narrow window still gives a positive width.
    lblStudentInformation.width = std::abs(windowWidth - (lstStudenInformation.left + 200));
    lblClassAndSection.width = treClassView.width;
    lstStudenInformation.width = lblStudentInformation.width;
    panelWidth = windowWidth / PanelCount;
}

bool LibraryLayout::drag(int x, int windowWidth) {
    const int a = treClassView.width + x;
    const int b = a + 45 + picture1.width + 25;
    if (!(a + 25 > 80 && a + 25 <= windowWidth - 335))
        return false;
    // The splitter and the list follow the tree's width alone, not its left edge.
    treClassView.width = a;
    picture1.left = a + 45;
    lstStudenInformation.left = b;
    lstStudenInformation.width = std::abs(windowWidth - (b + 200));
    lblStudentInformation.left = lstStudenInformation.left;
    lblStudentInformation.width = lstStudenInformation.width;
    lblClassAndSection.width = treClassView.width;
    return true;
}

} // namespace library::ui
