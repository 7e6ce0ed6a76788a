#pragma once

#include "giswrite_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// MapInfo TAB through the MITAB C API library bound at program start (mitab.h):
// FileName + ".tab" with the ".dat", ".map" and ".id" that the library lays out
// beside it, text in the writer's code page. StartHeader creates the table; a
// CoordSys ending in "Bounds (x1, y1) (x2, y2)" gives the table's bounds. When the
// library is unavailable or cannot create the table (a folder that cannot be
// written, a clause it cannot read), the writer does nothing for the rest of the
// output, raises nothing, and TableCreated() says so. A region Index below 0 is
// handed on as a negative part number. A table of kind otNone keeps only ".tab" and
// ".dat"; Drop removes all four files. The library writes the four files under
// their temporary names (giswrite_base.h); a close that the library reports as
// failed (its last error, mitab_c_getlasterrorno) raises EWriteError.
struct TMitabBinding;

class TGISWriteMITAB : public TGISWrite {
public:
    TGISWriteMITAB();                                      // through the program's binding
    explicit TGISWriteMITAB(const TMitabBinding& Binding); // kept by reference
    TGISWriteMITAB(TMitabBinding&&) = delete;
    ~TGISWriteMITAB() override;

    static constexpr int32_t MaxRegionParts = 122500;

    // Whether StartHeader created the table; false for an output that went inert.
    bool TableCreated() const { return FTableCreated; }

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    void* FFH = nullptr; // the feature being built, null when none
    void* FMH = nullptr; // the open table, null when none
    TDoubleArray FX, FY; // coordinates handed to the library, reused

private:
    struct TLibraryError {
        int Number = 0;
        std::string Message;
    };
    void CreateTable();
    void DiscardTableFiles();
    void SetFields();
    void WriteFeature();
    TLibraryError LibraryError() const;
    EWriteError TableWriteError(std::string Reason) const;

    const TMitabBinding& FMitab;
    std::string FText;           // a text in the table's code page, reused
    std::string FTemporaryTable; // the ".tab" as the library writes it
    bool FTableCreated = false;
};

} // namespace pwnet
