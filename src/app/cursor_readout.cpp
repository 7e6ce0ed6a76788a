#include "cursor_readout.h"

#include "cell_naming.h"
#include "run_formats.h"

#include <charconv>
#include <cmath>

namespace quadrel {

namespace {

std::string Fixed(double Value, int Decimals) {
    char text[64];
    const auto r =
        std::to_chars(text, text + sizeof text, Value, std::chars_format::fixed, Decimals);
    return {text, r.ptr};
}

} // namespace

std::string WholeMetres(double Metres) {
    const double m = std::round(Metres);
    return Fixed(m == 0 ? 0.0 : m, 0); // never "-0"
}

std::string Degrees(double Value, char Positive, char Negative) {
    // Rounded first, so that -0.000001 reads 0.00000° E and not W.
    const double v = std::round(Value * 1e5) / 1e5;
    return Fixed(std::abs(v), 5) + "\u00B0 " + (v < 0 ? Negative : Positive);
}

TCursorReadout::TCursorReadout() = default;
TCursorReadout::~TCursorReadout() = default;

const TLonLatPoints* TCursorReadout::Projection(TGridKind Kind) {
    auto it = FProjections.find(Kind);
    if (it == FProjections.end()) {
        std::unique_ptr<TLonLatPoints> p;
        try {
            p = std::make_unique<TLonLatPoints>(GridEpsg(Kind));
        } catch (const std::exception&) {
            // Without PROJ's database the read-out shows metres and the cell only.
        }
        it = FProjections.emplace(Kind, std::move(p)).first;
    }
    return it->second.get();
}

std::string TCursorReadout::Text(const TGridState& State, double X, double Y) {
    if (State.GridKind == gkNone || !std::isfinite(X) || !std::isfinite(Y))
        return {};
    std::string text = "X: " + WholeMetres(X) + "  Y: " + WholeMetres(Y);
    if (const std::string cell = CellNameAt(State, X, Y); !cell.empty())
        text += "   Cell: " + cell;
    pwnet::TFloatPoint lonLat;
    if (const TLonLatPoints* p = Projection(State.GridKind); p && p->ToLonLat({X, Y}, lonLat))
        text += "   " + Degrees(lonLat.x, 'E', 'W') + "  " + Degrees(lonLat.y, 'N', 'S');
    return text;
}

} // namespace quadrel
