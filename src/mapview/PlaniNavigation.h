#pragma once
// The arithmetic of wheel zoom and drag panning, as pure functions over world
// rectangles, so that it is tested without a widget; the viewport only turns
// mouse events into calls on them.

#include "PlaniMisc.h"

namespace plani {

// View zoomed by Factor (> 1 closer, < 1 farther) about Anchor: Anchor keeps its
// place relative to the view's edges, so the point under the pointer stays under it.
TFloatRect ZoomFloatRectAbout(const TFloatRect& View, const TFloatPoint& Anchor, double Factor);

// The zoom factor of a turn of the wheel: StepPercent per notch (Qt reports a notch
// as an AngleDelta of 120), fractions of a notch for high-resolution wheels; turning
// away from the user (a positive delta) zooms in.
double WheelZoomFactor(int AngleDelta, double StepPercent);

// Factor reduced so that a view of Width becomes no narrower than MinWidth and no
// wider than MaxWidth (a bound of 0 is no bound); 1 when the view already lies
// beyond the bound it would move further past, or when Width is not positive.
double LimitZoomFactor(double Width, double Factor, double MinWidth, double MaxWidth);

// The world shift that a drag from device point From to To makes of View, shown on a
// device of Width x Height pixels: what lay under From comes to lie under To.
TFloatPoint PanShift(const TFloatRect& View, const TPoint& From, const TPoint& To, int Width,
                     int Height);

} // namespace plani
