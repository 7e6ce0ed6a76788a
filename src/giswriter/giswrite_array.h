#pragma once

#include "giswrite_base.h"

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace pwnet {

// The in-memory writer: fills a TGISArray for a calling program; no files.

// An attribute value of the in-memory result, by field type: gfChar a string;
// gfDecimal, gfFloat a double; gfInteger, gfSmallInt an integer; gfLogical a
// Boolean; gfDate a calendar date; gfTime the time of day in milliseconds since
// midnight; gfDateTime a local date and time. A date, time or date-time value of
// the wrong length or out of range is null (std::monostate).
using TGISValue =
    std::variant<std::monostate, std::string, double, int64_t, bool, std::chrono::year_month_day,
                 std::chrono::milliseconds, std::chrono::local_time<std::chrono::milliseconds>>;

// One object: a value per field and a point array per part.
struct TRec {
    std::vector<TGISValue> Attr;
    std::vector<TFloatPointArray> Coord;
};

class TGISArray {
public:
    // Releases every record: RecCount 0, all arrays empty.
    void Clear();

    TObjectTypes OT = otPline;
    TFloatRect MBR;                // box of every point stored
    std::vector<TFieldInfo> Field; // field k at entry k - 1
    std::vector<TRec> Rec;         // records 0 .. RecCount - 1; the rest is room to grow
    int32_t RecCount = 0;
};

// GISarray points to the result, which lives until the next StartHeader, Drop or
// the writer's destruction. An integer value that is not an integer raises
// "'...' is not a valid integer value".
class TGISWriteArray : public TGISWrite {
public:
    TGISWriteArray();
    ~TGISWriteArray() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoDrop() override;
    void DoStartHeader() override;
    void AbandonObject() override;

    int32_t Fpartsindex = -1; // part being filled

private:
    TRec& NewRecord(std::string_view Attrib);
    void GrowMBR(const TFloatPoint& P);

    std::unique_ptr<TGISArray> FResult;
    std::vector<TGISValue> FValues; // the converted row, before it becomes a record
    TFloatRect FObjectStartMBR;     // MBR before the current object
};

} // namespace pwnet
