#pragma once

#include "giswrite_base.h"
#include "giswrite_text.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// MIF/MID: the MapInfo interchange pair, ".mif" (header and geometry) and ".mid"
// (one attribute line per object), text in the writer's code page, CR LF lines.
// Both files are created when the last field is declared (by StartHeader when
// there are none); Drop removes both.
class TGISWriteMIF : public TGISWrite {
public:
    TGISWriteMIF();
    ~TGISWriteMIF() override;

    int32_t fVersion = 300;      // number of the "Version" line
    std::vector<std::string> ss; // column lines, collected while fields are declared

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    int32_t WriteOnePartObjects(const TOnePartObjects& Objects) override;
    void DoAddField() override;
    void DoAddLine(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutMIF;
    std::unique_ptr<TTextFileWriter> FOutMID;

private:
    void WriteHeader();
    void WriteMidLine(std::string_view Attrib);
    void WriteOtherMidLine(std::string_view Attrib);
    const std::string& PenLine();
    const std::string& BrushLine();
    void AppendPenLine();
    void AppendBrushLine();
    void AppendSymbolLine();
    void AppendPoint(double X, double Y);
    void AppendPoints(const TFloatPointArrayEx& SegList);
    void FlushGeometry();
    bool WriteOnePartObject(const TFloatPointArrayEx& SegList, bool Pline);
    // The texts before and after the points of a one-part object: the head line and
    // the point count; the brush and pen lines (none where the object has none).
    // Their rooms are rounded up to sixteen bytes for CopyInSixteens.
    struct TOnePartTexts {
        char Head[48];
        size_t HeadSize;
        char Tail[160];
        size_t TailSize;
    };
    TOnePartTexts OnePartTexts(bool Pline, int32_t Count);
    bool PutOnePartObject(const TOnePartTexts& Texts, const TFloatPoint* Points, int32_t Count);
    bool PutShortMidLine(std::string_view Attrib, bool Quick, bool High);
    char* PutPointLines(char* Dest, const TFloatPoint* Points, int32_t Count);
    template <int32_t N>
    char* PutPointLinesOf(char* Dest, const TFloatPoint* Points, int32_t Count);

    std::string FGeom;    // text of the current object's geometry, reused
    std::string FMidLine; // the current row as written, reused
    std::string FPenLine; // the pen line of FPenOfLine
    TMIPen FPenOfLine{};
    std::string FBrushLine; // the brush line of FBrushOfLine
    TMIBrush FBrushOfLine{};
    TRecentNumbers FNumbers;   // the coordinates' texts
    TRecentPair FXs, FYs;      // the last two x and y, before FNumbers
    int64_t FObjectPoints = 0; // points of the current object in a point file
};

// MIF/MID fixed to UTF-8.
class TGISWriteMIF8 : public TGISWriteMIF {
public:
    TGISWriteMIF8();
};

} // namespace pwnet
