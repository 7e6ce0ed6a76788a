#include "PlaniNavigation.h"

#include <cmath>

namespace plani {

TFloatRect ZoomFloatRectAbout(const TFloatRect& View, const TFloatPoint& Anchor, double Factor) {
    if (!(Factor > 0) || !std::isfinite(Factor))
        return View;
    auto towards = [&](double edge, double anchor) { return anchor + (edge - anchor) / Factor; };
    return {towards(View.Left, Anchor.X), towards(View.Top, Anchor.Y),
            towards(View.Right, Anchor.X), towards(View.Bottom, Anchor.Y)};
}

double WheelZoomFactor(int AngleDelta, double StepPercent) {
    return std::pow(1 + StepPercent / 100.0, AngleDelta / 120.0);
}

double LimitZoomFactor(double Width, double Factor, double MinWidth, double MaxWidth) {
    if (!(Width > 0) || !(Factor > 0))
        return 1.0;
    const double zoomed = Width / Factor;
    if (!std::isfinite(zoomed) || !(zoomed > 0))
        return 1.0;
    if (Factor > 1 && MinWidth > 0 && zoomed < MinWidth)
        return Width > MinWidth ? Width / MinWidth : 1.0;
    if (Factor < 1 && MaxWidth > 0 && zoomed > MaxWidth)
        return Width < MaxWidth ? Width / MaxWidth : 1.0;
    return Factor;
}

TFloatPoint PanShift(const TFloatRect& View, const TPoint& From, const TPoint& To, int Width,
                     int Height) {
    if (Width <= 0 || Height <= 0)
        return {};
    // Dragging to the right brings in what lies to the west; dragging down, the north.
    return {-(static_cast<double>(To.X) - From.X) * std::abs(View.Right - View.Left) / Width,
            (static_cast<double>(To.Y) - From.Y) * std::abs(View.Top - View.Bottom) / Height};
}

} // namespace plani
