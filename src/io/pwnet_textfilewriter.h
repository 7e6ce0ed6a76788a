#pragma once
// Creates a text file and appends strings to it in one code page, lines ending
// in CR LF, through a 1 MiB buffered stream.

#include "pwnet_functions.h"
#include "pwnet_io.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace pwnet {

class TTextFileWriter {
public:
    // Creates or truncates the file; raises EFCreateError when it cannot. A UTF-8
    // byte-order mark is written only for code page 65001 with BOM set.
    TTextFileWriter(const std::string& filename, uint16_t Codepage, bool BOM);
    // Closes the file if Close was not called; a write error is lost here.
    ~TTextFileWriter();
    TTextFileWriter(const TTextFileWriter&) = delete;
    TTextFileWriter& operator=(const TTextFileWriter&) = delete;

    void write(std::string_view s);
    void writeln(std::string_view s);
    // write(s) for text of ASCII characters only (numbers, keywords): copied as it
    // is unless the code page changes ASCII.
    void writeAscii(std::string_view s);
    // Writes the pending bytes and closes the file; raises EWriteError when the
    // bytes cannot be written (a full disk), so a failure is never silent.
    void Close();

    uint16_t Codepage() const { return FCodepage; }
    // Whether writeAscii copies text as it is (the code page keeps ASCII), so that
    // ASCII text may also go straight into Stream().
    bool KeepsAscii() const { return FEncoder.KeepsAscii(); }
    // Whether every text is copied as it is (the code page is UTF-8).
    bool KeepsAll() const { return FEncoder.IsIdentity(); }
    TPWBufferedStream& Stream() { return *f; }

private:
    std::unique_ptr<TPWBufferedStream> f;
    uint16_t FCodepage;
    TCodePageEncoder FEncoder;
    std::string FScratch;
};

} // namespace pwnet
