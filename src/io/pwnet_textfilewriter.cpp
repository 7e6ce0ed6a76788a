#include "pwnet_textfilewriter.h"

#include "errors.h"

namespace pwnet {

TTextFileWriter::TTextFileWriter(const std::string& filename, uint16_t Codepage, bool BOM)
    : f(std::make_unique<TPWBufferedStream>(std::make_unique<TPWFileStream>(filename, fmCreate))),
      FCodepage(Codepage), FEncoder(Codepage) {
    if (Codepage == 65001 && BOM) {
        static constexpr uint8_t bom[] = {0xEF, 0xBB, 0xBF};
        f->Write(bom, sizeof bom);
    }
}

TTextFileWriter::~TTextFileWriter() = default; // the buffered stream writes what is pending

void TTextFileWriter::write(std::string_view s) {
    if (s.empty() || !f) return;
    if (FEncoder.PassesThrough(s)) {
        f->Append(s.data(), static_cast<int32_t>(s.size()));
        return;
    }
    FScratch.clear();
    FEncoder.EncodeTo(s, FScratch);
    f->Write(FScratch.data(), static_cast<int32_t>(FScratch.size()));
}

void TTextFileWriter::writeAscii(std::string_view s) {
    if (s.empty() || !f)
        return;
    if (!FEncoder.KeepsAscii()) {
        write(s);
        return;
    }
    f->Append(s.data(), static_cast<int32_t>(s.size()));
}

void TTextFileWriter::writeln(std::string_view s) {
    write(s);
    if (f) f->WriteUInt16(0x0A0D);
}

void TTextFileWriter::Close() {
    if (!f) return;
    // Flush before destroying: the destructor cannot report a full disk.
    std::unique_ptr<TPWBufferedStream> stream = std::move(f);
    stream->Flush();
}

} // namespace pwnet
