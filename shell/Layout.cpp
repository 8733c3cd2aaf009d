#include "Layout.h"

#include <algorithm>

#include <cmath>

namespace shell {

namespace {

// Width and Height refuse negative values; Left and Top take anything.
void setWidth(TwipsRect& r, double w) {
    if (w >= 0)
        r.width = w;
}

void setHeight(TwipsRect& r, double h) {
    if (h >= 0)
        r.height = h;
}

}  // namespace

MainLayout designLayout() {
    MainLayout l;
    l.txtSQL = {0, 400, 4050, 4800};
    l.txtResults = {4200, 400, 3930, 4800};
    l.lblTitle0 = {0, 120, 4050, 270};
    l.lblTitle1 = {4200, 120, 3930, 270};
    l.imgSplitter = {4080, 480, 150, 4785};
    l.cmdEXPAIN = {120, 5400, 1215, 375};
    l.cmdCr = {1560, 5400, 1215, 375};
    l.Command1 = {6960, 5400, 1215, 375};
    l.Label1 = {-120, 6020, 8535, 50};
    l.lineX2 = 8205;
    return l;
}

void SizeControls(MainLayout& l, float xArg, const WindowSizes& s) {
    double x = xArg;

    l.lineX2 = s.outerWidth * 10;

    if (x < kSplitMargin)
        x = kSplitMargin;
    if (x > s.outerWidth - kSplitMargin)
        x = s.outerWidth - kSplitMargin;

    setWidth(l.txtSQL, x);
    l.imgSplitter.left = x;
    l.txtResults.left = x + 60;
    setWidth(l.txtResults, s.outerWidth - (l.txtSQL.width + 170));

    setWidth(l.lblTitle0, l.txtSQL.width - 10);
    l.lblTitle1.left = l.txtResults.left + 20;
    setWidth(l.lblTitle1, l.txtResults.width - 40);

    const double status = s.statusVisible ? s.statusHeight : 0;
    setHeight(l.txtSQL, s.clientHeight - (s.titlesTop + s.titlesHeight + status) - 600);
    setHeight(l.txtResults, l.txtSQL.height);

    l.imgSplitter.top = l.txtSQL.top - 280;
    setHeight(l.imgSplitter, l.txtSQL.height + 270);

    l.cmdEXPAIN.top = l.txtSQL.top + l.txtSQL.height + 90;
    l.Command1.top = l.cmdEXPAIN.top;
    l.cmdCr.top = l.cmdEXPAIN.top;
    l.cmdEXPAIN.left = l.txtSQL.left + 100;
    l.cmdCr.left = l.cmdEXPAIN.left + l.cmdEXPAIN.width + 225;
    l.Command1.left = l.txtResults.left + l.txtResults.width - (l.Command1.width + 100);

    // The rule sits 1000 above the outer bottom, which puts it just above
    // the status bar under a caption and menu bar 690 high. Desktops draw
    // frames of every height (none at all under a bare X server), so the
    // rule is kept between the buttons and 40 above the status bar, where
    // that frame would have put it.
    l.Label1.top = s.outerHeight - 1000;
    const double buttonsBottom = l.cmdEXPAIN.top + l.cmdEXPAIN.height;
    const double aboveStatus = s.clientHeight - status - 40;
    if (buttonsBottom <= aboveStatus)
        l.Label1.top = std::clamp(l.Label1.top, buttonsBottom, aboveStatus);
    setWidth(l.Label1, s.outerWidth + 120);
}

TwipsRect dragBarAtMouseDown(const TwipsRect& grab) {
    // Whole twips first (round half to even), then an integer division.
    const long wholeWidth = std::lrint(grab.width);
    return TwipsRect{grab.left, grab.top, static_cast<double>(wholeWidth / 2), grab.height - 20};
}

double dragBarLeft(double grabLeft, double x, double outerWidth) {
    const double pos = grabLeft + x;
    if (pos < kDragMargin)
        return kDragMargin;
    if (pos > outerWidth - kDragMargin)
        return outerWidth - kDragMargin;
    return pos;
}

}  // namespace shell
