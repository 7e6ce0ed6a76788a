#pragma once
// A shapefile writer whose disk fills up after a number of cells: the run's error
// path without a real full disk. For tests that link the writer family.

#include "errors.h"
#include "pwnet_giswriter.h"

#include <algorithm>
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
    // A run of cells goes as far as the disk holds; the cell that finds it full comes
    // one by one, to WriteSection.
    int32_t WriteOnePartObjects(const pwnet::TOnePartObjects& Objects) override {
        pwnet::TOnePartObjects room = Objects;
        room.Count = std::min(Objects.Count, std::max(FLeft, 0));
        const int32_t written = TGISWriteSHP::WriteOnePartObjects(room);
        FLeft -= written;
        return written;
    }

private:
    int FLeft;
};

} // namespace testutil
