#include "area_file_dialog.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>

namespace quadrel {

namespace {

// The usual files of polygon layers; "All files" lets anything else GDAL reads through.
const QString VectorFiles =
    QStringLiteral("Vector files (*.shp *.gpkg *.geojson *.json *.kml *.gml *.tab *.mif *.fgb "
                   "*.sqlite *.zip);;All files (*)");

// The EEA's country grids take the border plus 15 km; a buffer of a few hundred
// kilometres is the most anyone needs around a polygon.
constexpr double LargestBuffer = 1000000;

} // namespace

bool TQtAreaFileDialog::ChooseArea(const std::string& StartFolder, std::string& Path,
                                   double& Buffer) {
    QString start = QString::fromStdString(StartFolder);
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = QDir::homePath();
    const QString file = QFileDialog::getOpenFileName(
        FParent, QStringLiteral("Limit the grid to the polygons of a file"), start, VectorFiles);
    if (file.isEmpty())
        return false;
    bool ok = false;
    const double metres = QInputDialog::getDouble(
        FParent, QStringLiteral("Quadrel"),
        QStringLiteral("Buffer around the polygons, in metres (0: none, negative: inwards):"), 0,
        -LargestBuffer, LargestBuffer, 1, &ok);
    if (!ok)
        return false;
    Path = file.toStdString();
    Buffer = metres;
    return true;
}

} // namespace quadrel
