#include "cell_naming.h"

#include "cellenavn.h"
#include "pwnet_functions.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>

namespace quadrel {

namespace {

constexpr std::string_view PlaceNameField = "Stednavn";
constexpr std::string_view EuroGridEastingField = "eoforigin";
constexpr std::string_view EuroGridNorthingField = "noforigin";
constexpr int32_t DKNSizeTag10km = 4;

// The decimal digits of Value with the last Dropped characters cut off.
std::string_view CutDecimal(int64_t Value, int32_t Dropped, char (&Buffer)[24]) {
    const char* end = pwnet::PutDecimal(Buffer, Value);
    const std::ptrdiff_t keep = (end - Buffer) - std::max<int32_t>(Dropped, 0);
    return {Buffer, static_cast<size_t>(std::max<std::ptrdiff_t>(keep, 0))};
}

void AppendDecimal(std::string& Out, int32_t Value) {
    char buffer[16];
    Out.append(buffer, std::to_chars(buffer, buffer + sizeof buffer, Value).ptr);
}

} // namespace

std::string CellIdPart(int32_t Value, int32_t DroppedDigits) {
    char buffer[24];
    return std::string(CutDecimal(Value, DroppedDigits, buffer));
}

void AppendCellId(std::string& Out, int64_t Easting, int64_t Northing, std::string_view SizeLabel,
                  int32_t DroppedDigits) {
    char buffer[24];
    Out += SizeLabel;
    Out += '_';
    Out += CutDecimal(Northing, DroppedDigits, buffer);
    Out += '_';
    Out += CutDecimal(Easting, DroppedDigits, buffer);
}

std::string CellId(int32_t Easting, int32_t Northing, std::string_view SizeLabel,
                   int32_t DroppedDigits) {
    std::string id;
    AppendCellId(id, Easting, Northing, SizeLabel, DroppedDigits);
    return id;
}

std::string CellId(const TGridState& State, int32_t Easting, int32_t Northing) {
    return CellId(Easting, Northing, State.SizeLabel, State.DroppedDigits);
}

std::string DKNFieldName(std::string_view SizeLabel) {
    std::string name = "KN";
    name += SizeLabel;
    name += "DK";
    return name;
}

bool HasPlaceNames(const TGridState& State) {
    return State.GridKind == gkDKN && State.SizeTag == DKNSizeTag10km;
}

std::vector<TCellField> CellFields(const TGridState& State) {
    if (State.GridKind == gkEuroGrid) {
        std::vector<TCellField> fields{{std::string(EuroGridEastingField), true, 7},
                                       {std::string(EuroGridNorthingField), true, 7}};
        AppendCodeFields(State, fields);
        return fields;
    }
    std::vector<TCellField> fields{{DKNFieldName(State.SizeLabel), false, 20}};
    if (HasPlaceNames(State))
        fields.push_back({std::string(PlaceNameField), false, 40});
    AppendCodeFields(State, fields);
    return fields;
}

TCellNamer::TCellNamer(const TGridState& State)
    : FEuroGrid(State.GridKind == gkEuroGrid), FPlaceNames(HasPlaceNames(State)),
      FDroppedDigits(State.DroppedDigits), FIdPrefix("\"" + State.SizeLabel + "_"), FCodes(State) {
    FText.reserve(96);
    if (FDroppedDigits >= 0 && FDroppedDigits <= 9) {
        FDigitStep = 1;
        for (int32_t i = 0; i < FDroppedDigits; ++i)
            FDigitStep *= 10;
    }
}

// The cell north of the last one in the same column, when the northings differ by
// one unit of the last kept digit (100 m cells named in hundreds of metres): the
// digits in FText count up by one, as on paper, and so do those of Copy (a copy of
// FText, or null). False when that would need one digit more (999 to 1000) or the
// northings are not such neighbours; the digits may then be left changed.
bool TCellNamer::NextNorthing(int32_t Northing, char* Copy) {
    if (FDigitStep == 0 || FNorthing < 0 || FNorthingLength == 0 ||
        int64_t{Northing} != int64_t{FNorthing} + FDigitStep)
        return false;
    char* first = FText.data() + FIdPrefix.size();
    char* copied = Copy ? Copy + FIdPrefix.size() : first;
    for (size_t i = FNorthingLength; i > 0;) {
        --i;
        if (first[i] != '9') {
            copied[i] = ++first[i];
            Named(Northing);
            return true;
        }
        first[i] = copied[i] = '0';
    }
    return false; // all nines: the caller rebuilds the text, one digit longer
}

// PutNextText where the last digit carries: copied, then counted up in both texts.
// All nines leave FText's digits spoilt, so that it is rebuilt for the cell.
char* TCellNamer::PutCarriedText(int32_t Northing, char* Dest) {
    pwnet::CopyShort(Dest, FText.data(), FText.size());
    if (NextNorthing(Northing, Dest))
        return Dest + FText.size();
    FReusable = false;
    FQuickNorthing = NoNorthing;
    return nullptr;
}

const std::string& TCellNamer::AttributeText(int32_t Easting, int32_t Northing) {
    if (FEuroGrid) {
        FText.clear();
        AppendDecimal(FText, Easting);
        FText += ',';
        AppendDecimal(FText, Northing);
        if (!FCodes.Empty())
            FCodes.Append(FText, Easting, Northing);
        return FText;
    }
    if (FReusable && Easting == FEasting && NextNorthing(Northing, nullptr))
        return FText;
    return NewText(Easting, Northing);
}

void TCellNamer::AppendAttributeText(int32_t Easting, int32_t Northing, std::string& Out) {
    const size_t at = Out.size();
    Out.resize(at + QuickTextRoom);
    if (const char* end = PutNextText(Easting, Northing, Out.data() + at)) {
        Out.resize(static_cast<size_t>(end - Out.data()));
        return;
    }
    Out.resize(at);
    Out += AttributeText(Easting, Northing);
}

// The text of a DKN cell that is not its column's next: the run names a column of
// cells after another, so a cell's text differs from the one before only in the
// northing's digits, which are replaced in place while their number stays the same;
// any other text is built anew.
const std::string& TCellNamer::NewText(int32_t Easting, int32_t Northing) {
    char northing[24];
    const std::string_view north = CutDecimal(Northing, FDroppedDigits, northing);
    if (FReusable && Easting == FEasting && north.size() == FNorthingLength) {
        std::memcpy(FText.data() + FIdPrefix.size(), north.data(), north.size());
        Named(Northing);
        return FText;
    }
    // Identifiers and place names hold neither commas nor double quotes, so the
    // texts are quoted without escaping.
    char easting[24];
    FText.assign(FIdPrefix);
    FText += north;
    FText += '_';
    FText += CutDecimal(Easting, FDroppedDigits, easting);
    if (FPlaceNames) {
        FText += "\",\"";
        FText += PlaceName(Easting, Northing);
    }
    FText += '"';
    if (!FCodes.Empty())
        FCodes.Append(FText, Easting, Northing);
    FEasting = Easting;
    FNorthingLength = north.size();
    // A place name or a code belongs to one cell: only an identifier alone is reused.
    FReusable = !FPlaceNames && FCodes.Empty();
    // PutNextText counts up what NextNorthing would: a short identifier with digits
    // in its northing (and, Named sees to it, not a negative one).
    const bool quick =
        FReusable && FDigitStep != 0 && !north.empty() && FText.size() <= QuickTextRoom;
    FQuickStep = quick ? FDigitStep : 0;
    FLastDigitAt = FIdPrefix.size() + north.size() - 1;
    Named(Northing);
    return FText;
}

TCornerPoint CellOriginAt(const TGridState& State, double X, double Y) {
    const double size = State.CellSize > 0 ? State.CellSize : 1;
    return {std::floor(X / size) * size, std::floor(Y / size) * size};
}

std::string CellNameAt(const TGridState& State, double X, double Y) {
    if (State.GridKind == gkNone || State.CellSize <= 0)
        return {};
    const TCornerPoint o = CellOriginAt(State, X, Y);
    constexpr double low = std::numeric_limits<int32_t>::min();
    constexpr double high = std::numeric_limits<int32_t>::max();
    if (!(o.X >= low && o.X <= high && o.Y >= low && o.Y <= high))
        return {};
    const auto e = static_cast<int32_t>(o.X), n = static_cast<int32_t>(o.Y);
    if (State.GridKind != gkEuroGrid)
        return CellId(State, e, n);
    if (const TGridSize* size = State.Size(); size && State.CellCode != TCellCodeStyle::None)
        return EuroGridCode(State.CellCode, *size, e, n);
    return std::to_string(e) + ", " + std::to_string(n);
}

std::string AttributeText(const TGridState& State, int32_t Easting, int32_t Northing) {
    TCellNamer namer(State);
    return namer.AttributeText(Easting, Northing);
}

} // namespace quadrel
