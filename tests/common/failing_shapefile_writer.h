#pragma once
// A shapefile writer whose disk fills up after a number of cells: the run's error
// path without a real full disk. For tests that link the writer family.

#include "errors.h"
#include "pwnet_giswriter.h"

#include <cstdint>

namespace testutil {

class FailingShapefileWriter : public pwnet::TGISWriteSHP {
public:
    explicit FailingShapefileWriter(int Sections) : FLeft(Sections) {}

protected:
    void WriteSection(int32_t Index, const pwnet::TFloatPointArrayEx& SegList) override {
        if (FLeft-- == 0)
            throw EWriteError("Stream write error");
        TGISWriteSHP::WriteSection(Index, SegList);
    }

private:
    int FLeft;
};

} // namespace testutil
