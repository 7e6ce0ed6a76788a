#include "status_texts.h"

#include "area.h"
#include "run_preview.h"

namespace quadrel {

namespace {

bool OnMap(const TCornerPoint& P, const pwnet::TFloatRect& Map) {
    return P.X >= Map.xmin && P.X <= Map.xmax && P.Y >= Map.ymin && P.Y <= Map.ymax;
}

std::string_view ShortName(TGridKind Kind) {
    return Kind == gkDKN ? "DKN" : "EuroGrid";
}

TRunSizeText SizeText(const TRunPreview& preview, const TGridState& State) {
    const TRunEstimates& e = preview.Estimates;
    // A grid cut to an area says which: "48045 cells within Denmark land, about ...".
    const std::string within = State.Area ? " within " + State.Area->Description() : "";
    TRunSizeText text{std::to_string(e.Cells) + (e.Cells == 1 ? " cell" : " cells") + within +
                          ", about " + HumanSize(e.First),
                      false};
    if (preview.Refusal) {
        text.Refused = true;
        for (const std::string& reason : preview.Refusal->Texts)
            text.Text += ": " + reason;
    }
    return text;
}

} // namespace

TRunSizeText RunSizeText(const TGridState& State) {
    if (State.GridKind == gkNone || !State.ExtentShown)
        return {};
    try {
        return SizeText(PreviewRun(State), State);
    } catch (const std::exception& e) {
        return {e.what(), true}; // the run would refuse the state itself
    }
}

std::string CornersOutsideMapNotice(const TGridState& State, const pwnet::TFloatRect& Map) {
    if (State.GridKind == gkNone || !State.CornersSet() || !(Map.xmax > Map.xmin) ||
        !(Map.ymax > Map.ymin))
        return {};
    if (OnMap(State.FirstCorner, Map) && OnMap(State.SecondCorner, Map))
        return {};
    return "The kept corners lie outside the " + std::string(ShortName(State.GridKind)) +
           " map: they may be another grid system's metres";
}

} // namespace quadrel
