#pragma once
// The arithmetic of the main window's layout, in twips, with no widget in
// sight: the window reads its sizes, calls SizeControls and applies the
// rectangles it gets back through the twips helper.

namespace shell {

struct TwipsRect {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
    bool operator==(const TwipsRect&) const = default;
};

// Smallest outer size of the main window.
inline constexpr double kMinOuterWidth = 6000;
inline constexpr double kMinOuterHeight = 5000;
// The split stays this far from the client's left and the outer right edge.
inline constexpr double kSplitMargin = 1500;
// During a drag the bar stays this far from the left and the outer right edge.
inline constexpr double kDragMargin = 500;
// The split position the window is designed with.
inline constexpr double kDesignSplit = 4080;

// Geometry of every control that the layout moves, in twips relative to the
// client area (the title labels relative to the title strip).
struct MainLayout {
    TwipsRect txtSQL;
    TwipsRect txtResults;
    TwipsRect lblTitle0;
    TwipsRect lblTitle1;
    TwipsRect imgSplitter;
    TwipsRect cmdEXPAIN;
    TwipsRect cmdCr;
    TwipsRect Command1;
    TwipsRect Label1;
    double lineX2 = 0;  // right end of the etched lines of the title strip
};

// What the layout reads from the window.
struct WindowSizes {
    double outerWidth = 0;    // full width, frame included
    double outerHeight = 0;   // full height, frame, caption and menu bar included
    double clientHeight = 0;  // the area below the menu bar, inside the frame
    double titlesTop = 0;     // title strip
    double titlesHeight = 420;
    double statusHeight = 270;  // status bar
    bool statusVisible = true;
};

// The controls where the window was designed.
MainLayout designLayout();

// Lays out every moving control for split position x (its own copy; the
// split is clamped to 1500 from either edge). An assignment that the window
// system would refuse - a negative width or height - is skipped and the
// control keeps its previous value; the remaining steps still run.
void SizeControls(MainLayout& layout, float x, const WindowSizes& sizes);

// The drag bar as the mouse goes down on the grab area: over the grab area,
// half its width (whole twips, truncated) and 20 shorter.
TwipsRect dragBarAtMouseDown(const TwipsRect& grabArea);

// The drag bar's Left for a pointer X twips into the grab area, kept 500
// from the left and from the outer right edge.
double dragBarLeft(double grabLeft, double x, double outerWidth);

}  // namespace shell
