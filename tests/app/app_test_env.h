#pragma once
// The window's tests: one application object for the test program, a window
// with its own grid state and scripted dialogs, and helpers to click into the map.

#include "PlaniVP.h"
#include "Unit1.h"
#include "scripted_dialogs.h"
#include "temp_dir.h"

#include <QPoint>
#include <memory>
#include <string>
#include <vector>

namespace apptest {

// Messages of the map toolkit (e.g. a background map that is missing) seen so far.
std::vector<std::string>& ToolkitMessages();

// A shown main window over a fresh grid state, with scripted dialogs and settings
// of its own (an empty INI file in a temporary folder).
class WindowFixture {
public:
    explicit WindowFixture(bool TabAvailable = false,
                           std::function<void(quadrel::TForm1Setup&)> Adjust = {});
    ~WindowFixture();

    testutil::TempDir settingsDir;
    quadrel::TGridState state;
    ScriptedDialogs dialogs;
    std::unique_ptr<quadrel::TForm1> form;

    quadrel::TForm1& Form() { return *form; }
    plani::TGraphicViewport& Viewport() { return *form->GraphicViewport1; }
    // The six status-bar texts.
    std::vector<std::string> Panels() const;
    // A mouse button pressed and released at Pos in the map pane.
    void Click(QPoint Pos, Qt::MouseButton Button = Qt::LeftButton);
    // Lets queued redraws run.
    static void Settle();
    // Whether a pixel of the map pane's picture near Pos (within 1 pixel) is pure red.
    bool RedNear(QPoint Pos) const;
};

} // namespace apptest
