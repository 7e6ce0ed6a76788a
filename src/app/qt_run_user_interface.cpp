#include "qt_run_user_interface.h"

#include <QApplication>
#include <QProgressBar>

namespace quadrel {

TQtRunUserInterface::~TQtRunUserInterface() {
    // Never leave the application with a busy cursor behind.
    while (FCursorDepth > 0)
        RestoreCursor();
}

bool TQtRunUserInterface::ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                                       std::string& Folder) {
    return FDialogs.ChooseFolder(Caption, StartFolder, Folder);
}

bool TQtRunUserInterface::AskYesNo(const std::string& Text) {
    return FDialogs.AskYesNo(Text);
}

void TQtRunUserInterface::ShowMessage(const std::string& Text) {
    // A message box over the busy cursor would show the hourglass on its button.
    const bool busy = FCursorDepth > 0;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    FDialogs.ShowMessage(Text);
    if (busy)
        QApplication::restoreOverrideCursor();
}

void TQtRunUserInterface::SetProgressMax(int32_t Max) {
    // A range of 0..0 would make Qt show a "busy" animation instead of an empty bar.
    FProgressBar.setRange(0, Max > 0 ? Max : 1);
    FProgressBar.setValue(0);
}

void TQtRunUserInterface::SetProgressPosition(int32_t Position) {
    FProgressBar.setValue(Position);
}

void TQtRunUserInterface::SetBusyCursor() {
    QApplication::setOverrideCursor(Qt::WaitCursor);
    ++FCursorDepth;
}

void TQtRunUserInterface::RestoreCursor() {
    if (FCursorDepth == 0)
        return;
    QApplication::restoreOverrideCursor();
    --FCursorDepth;
}

void TQtRunUserInterface::ProcessMessages() {
    QCoreApplication::processEvents();
}

} // namespace quadrel
