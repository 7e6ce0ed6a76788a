#include "giswrite_gpkg_rtree.h"

#include "errors.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace pwnet {

namespace {

constexpr int32_t NodeHead = 4;          // depth and number of cells
constexpr int32_t CellBytes = 8 + 4 * 4; // id and two dimensions of two floats

// The 32-bit float nearest to D that does not lie above (Down) or below (Up) it, as
// the module rounds: a box never shrinks on its way into the index.
float Down(double D) {
    float f = static_cast<float>(D);
    if (f > D)
        f = std::nextafter(f, -INFINITY);
    return f;
}
float Up(double D) {
    float f = static_cast<float>(D);
    if (f < D)
        f = std::nextafter(f, INFINITY);
    return f;
}

void StoreBE16(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

void StoreBE32(uint8_t* p, uint32_t v) {
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap32(v);
    std::memcpy(p, &v, 4);
}

void StoreBE64(uint8_t* p, uint64_t v) {
    if constexpr (std::endian::native == std::endian::little)
        v = __builtin_bswap64(v);
    std::memcpy(p, &v, 8);
}

void StoreFloat(uint8_t* p, float f) {
    StoreBE32(p, std::bit_cast<uint32_t>(f));
}

} // namespace

namespace {

// The module's node size: it fixed it when it created the table, in its empty root.
int32_t NodeSize(TGpkgDatabase& Db, const std::string& Name) {
    TGpkgStatement size(Db, "SELECT length(data) FROM " + QuoteIdentifier(Name + "_node") +
                                " WHERE nodeno = 1");
    return static_cast<int32_t>(size.QueryInt());
}

int32_t Capacity(int32_t NodeSize) {
    return std::max<int32_t>((NodeSize - NodeHead) / CellBytes, 0);
}

} // namespace

TGpkgPackedRTree::TGpkgPackedRTree(TGpkgDatabase& Db, const std::string& Name)
    : FNodeSize(NodeSize(Db, Name)), FCapacity(Capacity(FNodeSize)),
      FInsertRowid(Db, "INSERT INTO " + QuoteIdentifier(Name + "_rowid") + " (rowid, nodeno)", 2,
                   std::max(FCapacity, 1)),
      FInsertParent(Db,
                    "INSERT INTO " + QuoteIdentifier(Name + "_parent") + " (nodeno, parentnode)", 2,
                    std::max(FCapacity, 1)) {
    if (FCapacity < 2)
        throw Exception("The spatial index \"" + Name + "\" has no usable node size");
    FInsertNode = TGpkgStatement(Db, "INSERT OR REPLACE INTO " + QuoteIdentifier(Name + "_node") +
                                         " (nodeno, data) VALUES (?, ?)");
    // The levels a tree of any number of rows SQLite can count may need, made now,
    // so that adding entries never allocates.
    FLevels.reserve(64);
    for (double entries = 1; entries < 9.3e18; entries *= FCapacity)
        AddLevel();
}

void TGpkgPackedRTree::AddLevel() {
    FLevels.emplace_back();
    FLevels.back().Node.assign(FNodeSize, 0);
    FLevels.back().Ids.reserve(FCapacity);
}

void TGpkgPackedRTree::Add(int64_t Id, const TGpkgBox& Box) {
    Push(0, Id, Box);
}

void TGpkgPackedRTree::Push(size_t Level, int64_t Id, const TGpkgBox& Box) {
    if (FLevels.size() <= Level)
        AddLevel();
    FUsedLevels = std::max(FUsedLevels, Level + 1);
    if (FLevels[Level].Cells == FCapacity)
        WriteNode(Level, FNextNode++); // may add a level: no reference is held across it
    TLevel& lv = FLevels[Level];
    uint8_t* cell = lv.Node.data() + NodeHead + CellBytes * lv.Cells;
    StoreBE64(cell, static_cast<uint64_t>(Id));
    StoreFloat(cell + 8, Down(Box.MinX));
    StoreFloat(cell + 12, Up(Box.MaxX));
    StoreFloat(cell + 16, Down(Box.MinY));
    StoreFloat(cell + 20, Up(Box.MaxY));
    ++lv.Cells;
    lv.Box.Add(Box);
    lv.Ids.push_back(Id);
}

void TGpkgPackedRTree::WriteNode(size_t Level, int64_t Number) {
    TLevel& lv = FLevels[Level];
    uint8_t* data = lv.Node.data();
    const int32_t used = NodeHead + CellBytes * lv.Cells;
    std::memset(data + used, 0, FNodeSize - used); // what a fuller node left behind
    StoreBE16(data, Number == 1 ? static_cast<uint32_t>(Level) : 0); // the tree's depth
    StoreBE16(data + 2, static_cast<uint32_t>(lv.Cells));
    FInsertNode.BindInt(1, Number);
    FInsertNode.BindBlob(2, {data, static_cast<size_t>(FNodeSize)});
    FInsertNode.Step();
    // A full leaf's rows go in with one statement.
    TGpkgBatchInsert& link = Level == 0 ? FInsertRowid : FInsertParent;
    for (const int64_t id : lv.Ids) {
        link.Int(id);
        link.Int(Number);
        link.EndRow();
    }
    const TGpkgBox box = lv.Box;
    lv.Cells = 0;
    lv.Box = TGpkgBox{};
    lv.Ids.clear();
    ++lv.Written;
    if (Number != 1)
        Push(Level + 1, Number, box);
}

void TGpkgPackedRTree::Finish() {
    if (FFinished)
        return;
    FFinished = true;
    // Bottom-up: every open node is written and handed to its parent, until a level
    // with a single node and nothing above it is reached: that node is the root.
    // Without any entry the module's empty root stays.
    for (size_t level = 0; level < FUsedLevels; ++level) {
        const bool above = level + 1 < FUsedLevels;
        if (!above && FLevels[level].Written == 0) {
            WriteNode(level, 1);
            break;
        }
        if (FLevels[level].Cells > 0)
            WriteNode(level, FNextNode++);
    }
    FInsertRowid.Flush();
    FInsertParent.Flush();
}

} // namespace pwnet
