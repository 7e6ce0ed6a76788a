// Makes the README's screenshot: the window with DKN, "Denmark only" and the
// extent rectangle over the map, the pointer over Copenhagen, grabbed to a PNG file.
//   app_screenshot OUTPUT.png [ABOUT.png] [--scene start|denmark|copenhagen|narrow|land]
//                  [--size WIDTHxHEIGHT]
// Scenes: the window at start; "Denmark only" (the default); zoomed in on
// Copenhagen with the mouse wheel; the smallest window. --size resizes the window
// (the design's size otherwise). Run it under a display
// (xvfb-run) for the look of a desktop session, with QT_SCALE_FACTOR=2 for a
// high-density screen. The window's settings go to a temporary file.

#include "PlaniVP.h"
#include "Unit1.h"
#include "about.h"
#include "area_commands.h"
#include "uCommon.h"

#include <QApplication>
#include <QIcon>
#include <QMouseEvent>
#include <QPixmap>
#include <QTemporaryDir>
#include <QTest>
#include <QWheelEvent>
#include <QWindow>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

// Copenhagen's town hall square in UTM zone 32N.
const plani::TFloatPoint Copenhagen{724500, 6175800};

QPoint PaneSpot(quadrel::TForm1& Form, const plani::TFloatPoint& World) {
    const plani::TPoint p = Form.GraphicViewport1->CoOrdToScreen(World);
    return {p.X, p.Y};
}

// The pointer over World in the map pane (the read-out follows it).
void PointAt(quadrel::TForm1& Form, const plani::TFloatPoint& World) {
    QWidget* pane = Form.GraphicViewport1;
    const QPointF pos(PaneSpot(Form, World));
    QMouseEvent e(QEvent::MouseMove, pos, pane->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                  Qt::NoModifier);
    QApplication::sendEvent(pane, &e);
}

void Wheel(quadrel::TForm1& Form, const plani::TFloatPoint& World, int Notches) {
    QWidget* pane = Form.GraphicViewport1;
    for (int i = 0; i < Notches; ++i) {
        const QPointF pos(PaneSpot(Form, World));
        QWheelEvent e(pos, pane->mapToGlobal(pos), QPoint(), QPoint(0, 120), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(pane, &e);
    }
}

} // namespace

int main(int argc, char** argv) {
    std::string output, about, scene = "denmark";
    int width = 0, height = 0;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--scene") == 0 && i + 1 < argc)
            scene = argv[++i];
        else if (std::strcmp(argv[i], "--size") == 0 && i + 1 < argc)
            std::sscanf(argv[++i], "%dx%d", &width, &height);
        else if (output.empty())
            output = argv[i];
        else
            about = argv[i];
    }
    if (output.empty()) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [ABOUT.png] [--scene NAME] [--size WxH]\n",
                     argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quadrel"));
    QApplication::setWindowIcon(QIcon(QString::fromStdString(quadrel::DataFile("quadrel.png"))));
    QTemporaryDir settings;
    quadrel::TGridState state;
    quadrel::TForm1Setup setup;
    setup.State = &state;
    setup.SettingsFile = settings.filePath(QStringLiteral("quadrel.ini")).toStdString();
    quadrel::TForm1 form(setup);
    auto* area = new quadrel::TAreaCommands(form); // as the program has it; the window owns it
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    if (width > 0 && height > 0)
        form.resize(width, height);
    if (scene != "start") {
        form.DKN1Click();
        form.Denmarkonly1Click();
    }
    if (scene == "land") // the grid cut to Denmark's land, its outline over the map
        area->Denmarkland1->trigger();
    if (scene == "copenhagen")
        Wheel(form, Copenhagen, 12);
    if (scene == "narrow")
        form.resize(form.minimumSize());
    QTest::qWait(300);
    if (scene != "start")
        PointAt(form, Copenhagen);
    QTest::qWait(100);
    bool ok = form.grab().save(QString::fromStdString(output));
    if (!about.empty()) {
        quadrel::TForm2 box(&form);
        box.show();
        if (!QTest::qWaitForWindowExposed(&box))
            return 1;
        QTest::qWait(100);
        ok = box.grab().save(QString::fromStdString(about)) && ok;
    }
    return ok ? 0 : 1;
}
