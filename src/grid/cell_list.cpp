#include "cell_list.h"

#include "cell_codes.h"
#include "cell_name_parser.h"
#include "errors.h"

#include <algorithm>
#include <limits>
#include <string>
#include <unordered_map>

namespace quadrel {

namespace {

constexpr std::string_view ByteOrderMark = "\xEF\xBB\xBF";
// The width of the DKN identifier field.
constexpr size_t DKNIdentifierWidth = 20;
// Longer lines are quoted shortened in a message.
constexpr size_t QuotedLength = 60;

std::string_view Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
        s.remove_suffix(1);
    return s;
}

std::string Quoted(std::string_view Name) {
    if (Name.size() <= QuotedLength)
        return "\"" + std::string(Name) + "\"";
    return "\"" + std::string(Name.substr(0, QuotedLength)) + "...\"";
}

[[noreturn]] void Refuse(int64_t Line, const std::string& Text) {
    throw ERangeError("line " + std::to_string(Line) + ": " + Text);
}

std::string SystemName(TGridKind Kind) {
    return Kind == gkDKN ? "DKN" : "EuroGrid";
}

// Why the run could not write the cell, or empty.
std::string BeyondRange(const TNamedCell& Cell, std::string_view Name) {
    constexpr int64_t low = std::numeric_limits<int32_t>::min();
    constexpr int64_t high = std::numeric_limits<int32_t>::max();
    if (Cell.Easting < low || Cell.Northing < low || Cell.Easting > high || Cell.Northing > high)
        return "lies beyond the range of cell names: every cell corner must lie within "
               "2147483647 m of the grid's origin";
    if (Cell.Kind == gkEuroGrid &&
        (Cell.Easting < EuroGridOriginMin || Cell.Northing < EuroGridOriginMin ||
         Cell.Easting > EuroGridOriginMax || Cell.Northing > EuroGridOriginMax))
        return "lies beyond EuroGrid's range: the cell origins are stored in fields of 7 digits, "
               "from -999999 to 9999999 m";
    if (Cell.Kind == gkDKN && Name.size() > DKNIdentifierWidth)
        return "lies beyond DKN's range: its identifier is longer than the 20 characters of its "
               "field";
    return {};
}

uint64_t Key(const TCellOrigin& o) {
    return (uint64_t{static_cast<uint32_t>(o.Easting)} << 32) | static_cast<uint32_t>(o.Northing);
}

} // namespace

TCellList ReadCellList(std::istream& In) {
    TCellList list;
    const TGridSize* size = nullptr;
    int64_t firstLine = 0;
    std::unordered_map<uint64_t, int64_t> seen; // cell -> the line that named it
    std::string text;
    for (int64_t line = 1; std::getline(In, text); ++line) {
        std::string_view name = text;
        if (line == 1 && name.starts_with(ByteOrderMark))
            name.remove_prefix(ByteOrderMark.size());
        name = Trim(name);
        if (name.empty())
            continue;
        TNamedCell cell;
        if (const std::string reason = ParseCellName(name, cell); !reason.empty())
            Refuse(line, Quoted(name) + " is not a cell name: " + reason);
        if (!size) {
            list.Kind = cell.Kind;
            list.SizeTag = cell.Size->Tag;
            size = cell.Size;
            firstLine = line;
        } else if (cell.Kind != list.Kind) {
            Refuse(line, Quoted(name) + " is a " + SystemName(cell.Kind) +
                             " cell, but the list begins with " + SystemName(list.Kind) +
                             " cells (line " + std::to_string(firstLine) + ")");
        } else if (cell.Size != size) {
            Refuse(line, Quoted(name) + " is a " + std::string(cell.Size->Label) +
                             " cell, but the list begins with " + std::string(size->Label) +
                             " cells (line " + std::to_string(firstLine) +
                             "); a list holds "
                             "cells of one size");
        }
        if (const std::string reason = BeyondRange(cell, name); !reason.empty())
            Refuse(line, Quoted(name) + " " + reason);
        const TCellOrigin origin{static_cast<int32_t>(cell.Easting),
                                 static_cast<int32_t>(cell.Northing)};
        if (const auto [at, added] = seen.emplace(Key(origin), line); !added)
            Refuse(line, Quoted(name) + " names the cell of line " + std::to_string(at->second) +
                             " again");
        list.Cells.push_back(origin);
    }
    if (In.bad())
        throw ERangeError("the list cannot be read");
    if (list.Cells.empty())
        throw ERangeError("the list names no cells");

    const double cellSize = size->CellSize;
    auto [minE, maxE] = std::ranges::minmax(list.Cells, {}, &TCellOrigin::Easting);
    auto [minN, maxN] = std::ranges::minmax(list.Cells, {}, &TCellOrigin::Northing);
    list.Low = {static_cast<double>(minE.Easting), static_cast<double>(minN.Northing)};
    list.High = {maxE.Easting + cellSize, maxN.Northing + cellSize};
    return list;
}

void ChooseListedCells(TGridState& State, std::shared_ptr<const TCellList> List) {
    if (!List || List->Kind != State.GridKind || List->SizeTag != State.SizeTag)
        throw ERangeError("The listed cells belong to another grid system or size");
    // An X of exactly 0 means "corner not set"; a millionth of a metre beside it snaps
    // to the same cell line.
    TCornerPoint low = List->Low, high = List->High;
    if (low.X == 0.0)
        low.X = 1e-6;
    if (high.X == 0.0)
        high.X = -1e-6;
    State.SetCorners(low, high);
    State.ListedCells = std::move(List);
}

void CheckListedCells(const TGridState& State) {
    const TCellList* list = State.ListedCells.get();
    if (!list)
        return;
    const TGridExtent& e = State.GridExtent;
    if (list->Kind != State.GridKind || list->SizeTag != State.SizeTag || list->Low.X < e.X1 ||
        list->Low.Y < e.Y1 || list->High.X > e.X2 || list->High.Y > e.Y2)
        throw ERangeError("The listed cells do not belong to the chosen grid: choose them again "
                          "after the grid system, size and area");
}

} // namespace quadrel
