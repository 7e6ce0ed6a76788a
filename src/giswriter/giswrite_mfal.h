#pragma once

#include "giswrite_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// TAB through MapInfo's closed file access library (binding in mfal.h). The
// records below are the writer's declarations of the library's types, laid out
// as the library expects them (little-endian, 64-bit pointers).

struct DPNT {
    double x;
    double y;
};
struct MI_ATTRDEF {
    char name[32]; // zero-filled, at most 31 characters
    uint8_t fieldtype;
    uint8_t width;
    uint8_t decPlaces;
    uint8_t filler1;
    int16_t bIndexed;
};
struct MI_CPEN {
    int16_t width;
    uint8_t filler1[2];
    int32_t pat;
    int32_t style;
    uint32_t color;
};
struct MI_SYMBOL {
    int16_t code;
    uint8_t filler1[2];
    uint32_t color;
    int16_t pointsize;
    uint8_t filler2[2];
};
struct MI_XBRUSH {
    int32_t pat;
    uint32_t forecolor;
    uint32_t backcolor;
    uint8_t transparent;
    uint8_t filler1[3];
};
struct MI_POLY {
    int32_t points;
    int32_t noOfHOles;
    DPNT* pPnts;
};
struct MI_LINE {
    DPNT lbeg;
    DPNT lend;
    MI_CPEN pen;
};
struct MI_PLINE {
    int32_t points;
    int32_t bSmooth;
    MI_CPEN pen;
    DPNT* data;
};
struct MI_MULTIPLINE {
    int32_t plines;
    int32_t bSmooth;
    MI_CPEN pen;
    DPNT centroid;
    MI_POLY* data;
};
struct MI_POINT {
    DPNT pnt;
    MI_SYMBOL symbol;
};
struct MI_REGION {
    int32_t regions;
    MI_CPEN pen;
    MI_XBRUSH brush;
    uint8_t filler1[4];
    DPNT centroid;
    MI_POLY* data;
};
struct MI_OBJ {
    uint8_t objtype;
    bool hasNoOfHolesSet;
    uint8_t filler[6];
    union {
        MI_LINE line;
        MI_PLINE pline;
        MI_MULTIPLINE multipline;
        MI_POINT point;
        MI_REGION region;
        uint8_t raw[208];
    };
};

// Object types of MI_OBJ.objtype.
inline constexpr uint8_t MiNoGeometry = 200;
inline constexpr uint8_t MiPoint = 201;
inline constexpr uint8_t MiLine = 202;
inline constexpr uint8_t MiPolyline = 204;
inline constexpr uint8_t MiRegion = 205;
inline constexpr uint8_t MiMultiPolyline = 210;

struct TMfalEntryPoints;

// The table FileName + ".tab" with the library's companion files ".map", ".dat" and
// ".id", created when the last field is declared (by StartHeader when there are
// none). Attribute rows are re-joined with TAB characters. When the library
// cannot create the table, every object is skipped. Drop removes the four files.
class TGISWriteMFAL : public TGISWrite {
public:
    // Writes through the library bound at program start.
    TGISWriteMFAL();
    // Writes through the given entry points.
    explicit TGISWriteMFAL(const TMfalEntryPoints& Library);
    ~TGISWriteMFAL() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::string attrib_tab; // the row joined with TABs, in the writer's code page
    int32_t FieldIndex = 0;
    std::vector<MI_ATTRDEF> Fields;
    MI_OBJ miobject{};
    std::vector<MI_POLY> mipolys;
    std::vector<std::vector<DPNT>> pointsM;
    int32_t TId = 0; // table id, 0 when none
    int32_t Fpartsindex = 0;

private:
    void CreateTable();
    void JoinAttributes(std::string_view Attrib);
    void ResetObject(uint8_t ObjType);
    void WriteObject();
    MI_CPEN ObjectPen() const;

    const TMfalEntryPoints* FLib; // nullptr: no library, no table
    std::string FJoined;          // the row joined with TABs, UTF-8, reused
    bool FPending = false;        // an object waits for its parts
};

} // namespace pwnet
