#pragma once

#include "giswrite_base.h"
#include "giswrite_text.h"

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

    // How a table of one text field takes the rows most grids have, one quoted value
    // copied as it is: the value lies between the row's first and last characters,
    // holds no quote (doubled, or closing early) and no NUL, and is held by the code
    // page as it is (ASCII, or anything in a UTF-8 table).
    struct TQuotedRows {
        bool Taken = false; // the table takes such rows (set with the last field)
        uint8_t Width = 0;  // of the field
        uint16_t Codepage = 0;
        bool HighsRefused = false; // the code page changes the bytes of 0x80 and more
        // The value of Attrib, when it is such a row.
        bool Value(std::string_view Attrib, std::string_view& Value) const {
            const size_t n = Attrib.size();
            if (!Taken || n < 2 || Attrib.front() != '"' || Attrib.back() != '"')
                return false;
            Value = Attrib.substr(1, n - 2);
            return !HasQuoteNulOrHigh(Value.data(), Value.size(), HighsRefused);
        }
        // Its record at Dest: the deletion flag, then the value cut to the field.
        void Put(char* Dest, std::string_view Value) const {
            Dest[0] = ' ';
            PutPadded(Dest + 1, Value.substr(0, CutLength(Value, Width, Codepage)), Width);
        }
    };

    // The record of such a row straight into the window; false, with nothing written,
    // for any other row or table: WriteRecord then takes the row.
    bool WriteQuotedRow(std::string_view Attrib) {
        std::string_view value;
        if (!FQuoted.Value(Attrib, value))
            return false;
        char* dest = ClaimRecord();
        if (!dest)
            return false;
        FQuoted.Put(dest, value);
        return true;
    }
    // Room for the next record in the window, counted; null, with nothing counted,
    // when it does not fit there.
    char* ClaimRecord() {
        auto* dest = reinterpret_cast<char*>(FOutDBF->Claim(FTotalWidth));
        if (dest) {
            ++FNumRec;
            ++FWrittenRecords;
        }
        return dest;
    }

    uint32_t FNumRec = 0;
    // The table is written through a 1 MiB window; its bytes are those of the plain
    // seek-and-write layout.
    std::unique_ptr<TPWBufferedStream> FOutDBF;
    uint16_t FTotalWidth = 0;
    TQuotedRows FQuoted; // the record length is then 1 + FQuoted.Width

private:
    bool WriteTextRecord(std::string_view Attrib);
    bool CharValuesPassThrough() const;
    void FillRecord(char* Dest, bool ValuesPassThrough);
    void PutCharValue(const std::string& Value, uint8_t Width, bool PassesThrough, char* Dest);

    std::string FRecord;  // the record being built when it cannot go straight to the file, reused
    std::string FEncoded; // a value in the table's code page, reused
    bool FTextFieldsOnly = false; // every field is gfChar (set with the last field)
};

} // namespace pwnet
