#include "Quadrel.h"

#include "Unit1.h"
#include "about.h"
#include "area_commands.h"
#include "mfal.h"
#include "mitab.h"
#include "uCommon.h"

#include <QApplication>
#include <QIcon>

namespace quadrel {

int RunQuadrel(int argc, char** argv) {
    // 1. The application object.
    QApplication app(argc, argv);
    // The writers' libraries are bound once, before any window exists.
    pwnet::LoadMitab();
    pwnet::LoadMfal();

    // 2. Title (the help page is found by name among the data files when asked for).
    QApplication::setApplicationName(QStringLiteral("Quadrel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quadrel"));
    QApplication::setDesktopFileName(QStringLiteral("quadrel"));
    QApplication::setWindowIcon(QIcon(QString::fromStdString(DataFile("quadrel.png"))));

    // 3. The main window; its FormCreate runs in its constructor. Its commands for
    // areas of interest join it (the window owns them).
    TForm1 form;
    new TAreaCommands(form);
    // 4. The about box, hidden until "About" asks for it.
    TForm2 about(&form);
    form.SetAboutBox(&about);
    form.show();

    // 5. The event loop, until the main window is closed.
    return QApplication::exec();
}

} // namespace quadrel
