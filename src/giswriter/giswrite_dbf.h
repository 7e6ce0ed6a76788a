#pragma once

#include "giswrite_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// dBASE III table ".dbf": one record per object, geometry ignored. Also the
// attribute part of the shapefile writer. StartHeader creates it; Drop removes it.
class TGISWriteDBF : public TGISWrite {
public:
    TGISWriteDBF();
    ~TGISWriteDBF() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void ReleaseFiles() noexcept override;

    // Writes the record of one row: the row is checked before any byte is written.
    void WriteRecord(std::string_view Attrib);

    uint32_t FNumRec = 0;
    // The table is written through a 1 MiB window; its bytes are those of the plain
    // seek-and-write layout.
    std::unique_ptr<TPWBufferedStream> FOutDBF;
    uint16_t FTotalWidth = 0;

private:
    bool WriteTextRecord(std::string_view Attrib);
    bool WriteOneTextRecord(std::string_view Attrib);
    bool CharValuesPassThrough() const;
    void FillRecord(char* Dest, bool ValuesPassThrough);
    void PutCharValue(const std::string& Value, uint8_t Width, bool PassesThrough, char* Dest);

    std::string FRecord;  // the record being built when it cannot go straight to the file, reused
    std::string FEncoded; // a value in the table's code page, reused
    bool FTextFieldsOnly = false; // every field is gfChar (set with the last field)
};

} // namespace pwnet
