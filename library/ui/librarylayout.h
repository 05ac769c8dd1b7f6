// Where the library window's panes sit, in twips: the design geometry, the rules applied whenever the
// window is resized and the splitter drag. Plain numbers, so the rules can be checked without a screen.
#pragma once

namespace library::ui {

struct TwipsBox {
    int left = 0;
    int top = 0;
    int width = 0;
    int height = 0;
};

class LibraryLayout {
public:
    TwipsBox lblClassAndSection{60, 120, 2475, 375};
    TwipsBox treClassView{60, 540, 2475, 7215};
    TwipsBox picture1{2580, 120, 30, 7635};
    TwipsBox lblStudentInformation{2600, 120, 6620, 375};
    TwipsBox lstStudenInformation{2595, 540, 6620, 7215};
    static constexpr int StatusBarHeight = 375;
    static constexpr int PanelCount = 5;
    int panelWidth = 2540;

    // The window's client area became windowWidth wide: the right pane and the status bar panels follow;
    // the tree keeps the width the last drag gave it.
    void resize(int windowWidth);

    // The pointer moved to x (relative to the splitter) with the left button held. Returns false, and
    // changes nothing, when the tree would become 55 wide or narrower, or wider than windowWidth - 360.
    bool drag(int x, int windowWidth);
};

} // namespace library::ui
