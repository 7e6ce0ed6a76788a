#pragma once

#include "giswrite_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// CSV: ".csv" in the writer's code page, the quoted field names as the first line,
// then every object's attribute row unchanged as one line; no geometry.
// StartHeader creates it; Drop removes it.
class TGISWriteCSV : public TGISWrite {
public:
    TGISWriteCSV();
    ~TGISWriteCSV() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void DoAddField() override;
    void DoAddLine(const TFloatPoint& P1, const TFloatPoint& P2, std::string_view Attrib) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutCSV;

private:
    void WriteRow(std::string_view Attrib);
    std::string FLineText; // the header line, reused
};

} // namespace pwnet
