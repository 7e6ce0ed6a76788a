// TGISWriteCSV: the attribute rows only. The first line holds the field names in
// double quotes, separated by commas; every object adds its row as the client gave
// it, whatever its geometry. Text in the writer's code page, CR LF lines, no
// byte-order mark.

#include "giswrite_csv.h"

namespace pwnet {

TGISWriteCSV::TGISWriteCSV() = default;
TGISWriteCSV::~TGISWriteCSV() = default;

void TGISWriteCSV::DoStartHeader() {
    const std::string csv = FileName + ".csv";
    FOutCSV = std::make_unique<TTextFileWriter>(csv, FCodepage, false);
    RegisterOutputFile(csv);
    if (FNumFields == 0)
        FOutCSV->writeln(""); // the header line of a table without columns
}

// A quote inside a name is doubled, so the header stays one value per field.
void TGISWriteCSV::DoAddField() {
    const std::string& name = FFieldInfo[FWrittenFields].Name;
    FLineText.clear();
    FLineText += '"';
    for (const char c : name) {
        if (c == '"')
            FLineText += '"';
        FLineText += c;
    }
    FLineText += '"';
    if (FWrittenFields < FNumFields)
        FOutCSV->write(FLineText.append(","));
    else
        FOutCSV->writeln(FLineText);
}

void TGISWriteCSV::WriteRow(std::string_view Attrib) {
    FOutCSV->writeln(Attrib);
    ++FWrittenRecords;
}

void TGISWriteCSV::BeginObject(int32_t NumParts, std::string_view Attrib) {
    TGISWrite::BeginObject(NumParts, Attrib);
    WriteRow(Attrib);
}

void TGISWriteCSV::DoAddLine(const TFloatPoint&, const TFloatPoint&, std::string_view Attrib) {
    WriteRow(Attrib);
}

void TGISWriteCSV::DoAddPoint(double, double, std::string_view Attrib) {
    WriteRow(Attrib);
}

void TGISWriteCSV::DoClose() {
    FOutCSV->Close();
    FOutCSV.reset();
}

void TGISWriteCSV::ReleaseFiles() noexcept {
    TGISWrite::ReleaseFiles();
    FOutCSV.reset();
}

} // namespace pwnet
