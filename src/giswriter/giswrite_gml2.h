#pragma once

#include "giswrite_base.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pwnet {

// GML 2.1.2: a feature collection ".xml" and the XML schema ".xsd" of its feature
// type, both UTF-8 with a byte-order mark and without line breaks. The feature
// type is named after the file (FileName without its folder); its namespace is
// GmlNamespaceBase followed by that name. The bounding box at the top of the
// ".xml" is a placeholder of four 16-character numbers patched in place by Close.
// StartHeader creates both files; the last field completes the schema (with no
// fields StartHeader does); Drop removes both.
inline constexpr std::string_view GmlNamespaceBase = "http://quadrel.dk/gml/";

class TGISWriteGML2 : public TGISWrite {
public:
    TGISWriteGML2();
    ~TGISWriteGML2() override;

    // The 16-character text that replaces a placeholder of the box.
    static std::string BoxValueText(double Value);

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override;
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override;
    void DoAddField() override;
    void DoAddPoint(double X, double Y, std::string_view Attrib) override;
    void DoClose() override;
    void DoStartHeader() override;
    void AbandonObject() override;
    void ReleaseFiles() noexcept override;

    std::unique_ptr<TTextFileWriter> FOutGML;
    std::unique_ptr<TTextFileWriter> FOutXSD;
    bool Fprevious = false; // a gml:Polygon is open in the current multi-polygon
    std::string FFileName2; // the feature type's name
    double FXMinG = 0, FYMinG = 0, FXMaxG = 0, FYMaxG = 0;

private:
    void FinishSchema();
    void WriteAttributes(std::string_view Attrib);
    void AppendCoordinates(const TFloatPointArrayEx& SegList);
    void AppendSrsName();
    void WriteFeature();
    void WriteWithoutGeometry();
    void PatchBox();

    std::string FHead; // the current feature up to its geometry, reused
    std::string FGeom; // the current feature's geometry, reused
    double FObjXMin = 0, FObjYMin = 0, FObjXMax = 0, FObjYMax = 0; // box of FGeom
    bool FPending = false;                                         // a feature waits for its parts
};

} // namespace pwnet
