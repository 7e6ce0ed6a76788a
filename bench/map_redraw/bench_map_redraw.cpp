// Full redraw of the map pane: a 1053 x 835 background bitmap and 10,000
// polylines in an 880 x 540 viewport, against a plain QPainter drawing the same
// stretched image and the same polylines directly, measured in the same run; and
// the same redraw with the background scaled smoothly, as the window draws it.

#include "PGFtable.h"
#include "PlaniVP.h"
#include "RasterTable.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <random>
#include <vector>

using namespace plani;

namespace {

constexpr int kImageW = 1053, kImageH = 835, kViewW = 880, kViewH = 540, kLines = 10000, kRuns = 25;
// The DKN background's control points: image (0, 0)-(1053, 835) at these world corners.
constexpr double kLeft = -5626.296868499999, kTop = 7406195.6504705;
constexpr double kRight = 8420472.0130725, kBottom = 724531.7484754995;

template <typename F> double MedianMs(F&& f) {
    std::vector<double> times;
    for (int i = 0; i < kRuns; ++i) {
        QElapsedTimer t;
        t.start();
        f();
        times.push_back(t.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    SetMessageHandler(
        [](const std::string& text, TMessageKind) { std::fprintf(stderr, "%s\n", text.c_str()); });

    // Fixture: a patterned bitmap with its world file in a temporary folder.
    const std::filesystem::path dir =
        std::filesystem::temp_directory_path() /
        ("quadrel-bench-" + std::to_string(QCoreApplication::applicationPid()));
    std::filesystem::create_directories(dir);
    const std::string bmp = (dir / "dkn.bmp").string();
    QImage image(kImageW, kImageH, QImage::Format_RGB32);
    for (int y = 0; y < kImageH; ++y)
        for (int x = 0; x < kImageW; ++x)
            image.setPixel(x, y, qRgb(x % 256, y % 256, (x ^ y) % 256));
    image.save(QString::fromStdString(bmp), "BMP");
    const double A = (kRight - kLeft) / kImageW, E = (kBottom - kTop) / kImageH;
    std::ofstream(dir / "dkn.bpw") << std::setprecision(17) << A << "\n0\n0\n"
                                   << E << "\n"
                                   << kLeft + A / 2 << "\n"
                                   << kTop + E / 2 << "\n";

    // 10,000 closed five-vertex rings spread over the map.
    std::mt19937 gen(7);
    std::uniform_real_distribution<double> ux(kLeft, kRight), uy(kBottom, kTop), us(2000, 400000);
    std::vector<std::vector<TFloatPoint>> rings;
    TPGFTable lines;
    lines.SetRamFile(true);
    lines.CreateNewTable();
    TBasicObjectStyle style;
    style.PenColor = 255;
    style.PenWidth = 1;
    for (int i = 0; i < kLines; ++i) {
        const double x = ux(gen), y = uy(gen), w = us(gen), h = us(gen);
        rings.push_back({{x, y}, {x + w, y}, {x + w, y + h}, {x, y + h}, {x, y}});
        TMemoryStream s;
        s.WriteInt32(1);
        s.WriteInt32(5);
        for (const auto& p : rings.back()) {
            s.WriteDouble(p.X);
            s.WriteDouble(p.Y);
        }
        lines.CreatePolyline(style, s);
    }

    TRasterTable raster;
    raster.SetDiskLocation(bmp);
    raster.Open();
    TGraphicViewport vp;
    vp.resize(kViewW, kViewH);
    vp.show();
    vp.Layers().Add(&raster);
    vp.Layers().Add(&lines);
    vp.Display().SetReq({kLeft, kTop, kRight, kBottom});
    vp.RedrawImageData(true); // warm-up
    QCoreApplication::processEvents();

    const double toolkit = MedianMs([&] { vp.RedrawImageData(true); });
    raster.SetSmoothScaling(true);
    vp.RedrawImageData(true); // warm-up
    const double smooth = MedianMs([&] { vp.RedrawImageData(true); });

    // Baseline: the same picture with QPainter alone.
    const TFloatRect view = vp.Display().Actual();
    QImage canvas(kViewW, kViewH, QImage::Format_RGB32);
    std::vector<QPoint> pts(5);
    const double baseline = MedianMs([&] {
        QPainter p(&canvas);
        p.fillRect(canvas.rect(), Qt::white);
        const double sx = kViewW / (view.Right - view.Left), sy = kViewH / (view.Bottom - view.Top);
        const QRectF target((kLeft - view.Left) * sx, (kTop - view.Top) * sy, (kRight - kLeft) * sx,
                            (kBottom - kTop) * sy);
        p.drawImage(target, image, QRectF(0, 0, kImageW, kImageH));
        p.setPen(QPen(Qt::red, 1));
        for (const auto& ring : rings) {
            for (size_t i = 0; i < ring.size(); ++i)
                pts[i] = QPoint(qRound((ring[i].X - view.Left) * sx),
                                qRound((ring[i].Y - view.Top) * sy));
            p.drawPolyline(pts.data(), static_cast<int>(pts.size()));
        }
    });

    std::printf("map redraw, %d x %d raster + %d polylines at %d x %d (median of %d runs)\n",
                kImageW, kImageH, kLines, kViewW, kViewH, kRuns);
    std::printf("  toolkit RedrawImageData(true): %8.2f ms\n", toolkit);
    std::printf("  plain QPainter baseline:       %8.2f ms\n", baseline);
    std::printf("  ratio toolkit / baseline:      %8.2f\n", toolkit / baseline);
    std::printf("  toolkit, smooth scaling:       %8.2f ms\n", smooth);
    std::printf("  ratio smooth / baseline:       %8.2f\n", smooth / baseline);
    std::error_code ec;
    std::filesystem::remove_all(dir, ec);
    return 0;
}
