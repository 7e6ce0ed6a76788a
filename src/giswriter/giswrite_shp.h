#pragma once

#include "giswrite_dbf.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// ESRI shapefile: ".shp", ".shx", the ".dbf" of the dBASE writer, and the side
// files ".prj" and ".cpg", all created by StartHeader (only the ".dbf" for a file
// of kind otNone). Drop removes ".shp", ".shx" and ".dbf"; the side files stay.
class TGISWriteSHP : public TGISWriteDBF {
public:
    TGISWriteSHP();
    ~TGISWriteSHP() override;

    // Offsets and lengths in the files are 32-bit: no ".shp" may reach 4 GiB.
    static constexpr uint64_t MaxShpFileSize = 0xFFFFFFFFull;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    int32_t WriteOnePartObjects(const TOnePartObjects& Objects) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    uint32_t FContentLength = 0;
    uint32_t FNumPoints = 0;
    std::unique_ptr<TPWBufferedStream> FOutSHP;
    std::unique_ptr<TPWBufferedStream> FOutSHX;
    uint32_t FSHPOffset = 0;
    bool FSHPopen = false;
    double FXMinO = 0, FYMinO = 0, FXMaxO = 0, FYMaxO = 0;
    double FXMinG = 0, FYMinG = 0, FXMaxG = 0, FYMaxG = 0;

private:
    int32_t ShapeType() const;
    void FinishRecord();
    bool WriteOnePartRecord(const TFloatPointArrayEx& SegList);
    uint8_t* ClaimOnePartRecord(int32_t Count);
    void PutOnePartRecord(uint8_t* Record, const TFloatPoint* Points, int32_t Count);
    int32_t WriteQuotedRun(const TOnePartObjects& Objects, int32_t Count);
    template <int32_t N> int32_t WriteQuotedRunOf(const TOnePartObjects& Objects, int32_t Count);
    void PutRecordHeader(uint8_t* Record, uint64_t ContentLength);
    void PutPolyHeader(uint8_t* Record, uint64_t ContentLength);
    void AppendIndexEntry();
    void ReserveRecord(uint64_t Bytes);

    // The record being built: written to ".shp" in one piece when it is complete.
    std::unique_ptr<uint8_t[]> FRecord;
    uint64_t FRecordCapacity = 0;
    uint32_t FRecordNumber = 0;
    int32_t FRecordType = 0;
    int32_t FShapeType = 0;     // of the file: ShapeType(), fixed by StartHeader
    bool FRecordOpen = false;   // a record is being built
    bool FSizeExceeded = false; // the 4 GiB limit was reached: the output cannot be completed
};

} // namespace pwnet
