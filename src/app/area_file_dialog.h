#pragma once
// How the window asks for an area of interest: a vector file and a buffer in metres
// around its polygons. The program asks with Qt's file dialog and a number box;
// tests put a scripted answer in their place.

#include <string>

class QWidget;

namespace quadrel {

class TAreaFileDialog {
public:
    virtual ~TAreaFileDialog() = default;
    // Asks for a file (opened at StartFolder) and then for the buffer. False when
    // the user cancels either; otherwise true with Path and Buffer.
    virtual bool ChooseArea(const std::string& StartFolder, std::string& Path, double& Buffer) = 0;
};

// The file dialog for vector files GDAL reads, then a number box for the buffer,
// both owned by Parent.
class TQtAreaFileDialog : public TAreaFileDialog {
public:
    explicit TQtAreaFileDialog(QWidget* Parent) : FParent(Parent) {}
    bool ChooseArea(const std::string& StartFolder, std::string& Path, double& Buffer) override;

private:
    QWidget* FParent;
};

} // namespace quadrel
