#pragma once

#include "giswrite_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// GeoJSON and its text sink.

// A text sink: a UTF-8 file (no byte-order mark) when given a file name, a string
// in memory otherwise.
class TFlexWriter {
public:
    explicit TFlexWriter(const std::string& filename);
    ~TFlexWriter();
    TFlexWriter(const TFlexWriter&) = delete;
    TFlexWriter& operator=(const TFlexWriter&) = delete;

    void append(std::string_view s);
    // Memory mode: empties the text; file mode: does nothing.
    void clear();
    // Memory mode: the text; file mode: empty.
    std::string ToString() const;
    // File mode: writes what is pending and closes the file; raises EWriteError
    // when it cannot. Memory mode: does nothing.
    void Close();
    bool FileStyle() const { return fFileStyle; }

private:
    bool fFileStyle;
    std::string SB;
    std::unique_ptr<TTextFileWriter> f;
};

// GeoJSON FeatureCollection without line breaks: into FileName + ".geojson", or
// into the member GeoJSON when FileName is empty (filled by Close). A crs member
// names the EPSG code when epsg is not 4326. Drop removes the file and empties
// GeoJSON.
class TGISWriteGeoJSON : public TGISWrite {
public:
    TGISWriteGeoJSON();
    ~TGISWriteGeoJSON() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoDrop() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TFlexWriter> s;

private:
    void AppendFeatureHead(std::string_view Attrib);
    void AppendPosition(const TFloatPoint& P);
    void AppendPositions(const TFloatPointArrayEx& SegList);
    void WriteFeature();
    void WriteWithoutGeometry();

    std::string FHead;     // the current feature up to "geometry":, reused
    std::string FGeom;     // its coordinates, reused
    std::string FScratch;  // a date or time value, reused
    int32_t FPolygons = 0; // polygons (region files) or positions (point files) in FGeom
    bool FPending = false; // a feature waits for its parts
};

} // namespace pwnet
