#pragma once

#include "giswrite_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// KML 2.2: ".kml", UTF-8 with a byte-order mark, one Placemark per object named
// "Record: n", its attributes as an HTML description. Coordinates are written as
// given: KML readers take longitude and latitude on WGS 84. StartHeader creates
// it; Drop removes it.
inline constexpr std::string_view KmlPointIcon =
    "http://maps.google.com/mapfiles/kml/shapes/placemark_circle.png";

class TGISWriteKML2 : public TGISWrite {
public:
    TGISWriteKML2();
    ~TGISWriteKML2() override;

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutKML;
    bool Fprevious = false; // a Polygon element is open

private:
    void AppendPlacemarkHead(std::string_view Attrib, bool Point);
    void AppendCoordinates(const TFloatPointArrayEx& SegList);
    void WriteWithoutGeometry();

    std::string FHead;     // the current Placemark up to its geometry, reused
    std::string FGeom;     // the current Placemark's geometry, reused
    bool FPending = false; // a Placemark waits for its parts
};

} // namespace pwnet
