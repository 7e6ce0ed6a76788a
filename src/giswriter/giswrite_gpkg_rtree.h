#pragma once
// The spatial index of a GeoPackage layer, bulk-loaded: instead of one R*Tree insert
// per row (each a search for the best leaf, with splits and reinsertions), the tree
// is packed bottom-up from the entries in the order they arrive and written
// straight into the tables where SQLite's R*Tree module keeps its nodes:
//   <name>_node   (nodeno, data): each node a blob of the module's node size;
//   <name>_rowid  (rowid, nodeno): the leaf holding each entry;
//   <name>_parent (nodeno, parentnode): the parent of every node but the root.
// A node blob is the depth (root only) and the number of cells, two big-endian
// 16-bit numbers, then per cell a big-endian 64-bit id (an entry's rowid, or a child
// node's number) and minx, maxx, miny, maxy as big-endian 32-bit floats, rounded
// outwards so that every box still holds what it stands for. The root is node 1.
//
// Nodes are filled completely and written as soon as the next entry needs a new
// one, so only one node per level is ever held in memory. A grid arrives column by
// column, so consecutive entries are neighbours and every node covers a compact
// strip of cells. Internal to the writer family.

#include "giswrite_gpkg_geometry.h"
#include "giswrite_gpkg_sqlite.h"

#include <cstdint>
#include <string>
#include <vector>

namespace pwnet {

class TGpkgPackedRTree {
public:
    // Takes over the empty R*Tree Name (id, minx, maxx, miny, maxy) just created in
    // Db: reads the module's node size and prepares the statements.
    TGpkgPackedRTree(TGpkgDatabase& Db, const std::string& Name);

    // One entry, in the order the tree is to be packed.
    void Add(int64_t Id, const TGpkgBox& Box);
    // Writes the nodes still open and the root. Nothing may be added afterwards.
    void Finish();

    int32_t NodeCapacity() const { return FCapacity; }

private:
    struct TLevel {
        std::vector<uint8_t> Node; // the open node's blob
        int32_t Cells = 0;
        int64_t Written = 0; // nodes of this level already written
        TGpkgBox Box;        // of the open node
        std::vector<int64_t> Ids;
    };

    void AddLevel();
    void Push(size_t Level, int64_t Id, const TGpkgBox& Box);
    // Writes the open node of Level as node Number; the level is empty again.
    void WriteNode(size_t Level, int64_t Number);

    int32_t FNodeSize = 0; // before the statements, which are sized by it
    int32_t FCapacity = 0;
    TGpkgStatement FInsertNode;
    TGpkgBatchInsert FInsertRowid, FInsertParent;
    int64_t FNextNode = 2; // 1 is the root's
    std::vector<TLevel> FLevels;
    size_t FUsedLevels = 0; // the levels that have received entries
    bool FFinished = false;
};

} // namespace pwnet
