#include "qt_run_user_interface.h"

#include "generation_run.h"

#include <QApplication>
#include <QProgressBar>
#include <filesystem>

namespace quadrel {

TQtRunUserInterface::~TQtRunUserInterface() {
    // Never leave the application with a busy cursor behind.
    while (FCursorDepth > 0)
        RestoreCursor();
}

bool TQtRunUserInterface::ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                                       std::string& Folder) {
    const std::string& start = StartFolder.empty() ? FFallbackStartFolder : StartFolder;
    if (!FDialogs.ChooseFolder(Caption, start, Folder))
        return false;
    FChosenFolder = Folder;
    return true;
}

void TQtRunUserInterface::SetDoneReport(std::string MainFileName, int64_t Cells) {
    FMainFileName = std::move(MainFileName);
    FCells = Cells;
}

bool TQtRunUserInterface::AskYesNo(const std::string& Text) {
    return FDialogs.AskYesNo(Text);
}

void TQtRunUserInterface::ShowMessage(const std::string& Text) {
    // A message box over the busy cursor would show the hourglass on its button.
    const bool busy = FCursorDepth > 0;
    if (busy)
        QApplication::setOverrideCursor(Qt::ArrowCursor);
    if (Text == DoneMessage && FCells >= 0 && !FChosenFolder.empty()) {
        std::error_code ec;
        std::filesystem::path folder = std::filesystem::absolute(FChosenFolder, ec);
        if (ec)
            folder = FChosenFolder;
        folder = folder.lexically_normal();
        FDoneFolder = FChosenFolder;
        FDialogs.ShowDone({(folder / FMainFileName).string(), folder.string(), FCells});
    } else {
        FDialogs.ShowMessage(Text);
    }
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
