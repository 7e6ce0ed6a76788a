// Makes the README's screenshot: the window with DKN, "Denmark only" and the
// extent rectangle over the map, grabbed to a PNG file.
//   app_screenshot OUTPUT.png [about.png]
// Run it under a display (xvfb-run) for the look of a desktop session.

#include "Unit1.h"
#include "about.h"
#include "uCommon.h"

#include <QApplication>
#include <QIcon>
#include <QPixmap>
#include <QTest>
#include <QWindow>
#include <cstdio>

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.png [ABOUT.png]\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quadrel"));
    QApplication::setWindowIcon(QIcon(QString::fromStdString(quadrel::DataFile("quadrel.png"))));
    quadrel::TGridState state;
    quadrel::TForm1Setup setup;
    setup.State = &state;
    quadrel::TForm1 form(setup);
    form.show();
    if (!QTest::qWaitForWindowExposed(&form))
        return 1;
    form.DKN1Click();
    form.Denmarkonly1Click();
    QTest::qWait(300);
    bool ok = form.grab().save(QString::fromLocal8Bit(argv[1]));
    if (argc > 2) {
        quadrel::TForm2 about(&form);
        about.show();
        if (!QTest::qWaitForWindowExposed(&about))
            return 1;
        QTest::qWait(100);
        ok = about.grab().save(QString::fromLocal8Bit(argv[2])) && ok;
    }
    return ok ? 0 : 1;
}
