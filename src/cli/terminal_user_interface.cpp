#include "terminal_user_interface.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace quadrel::cli {

namespace fs = std::filesystem;

TTerminalUserInterface::TTerminalUserInterface(TTerminalSettings Settings, std::istream& In,
                                               std::ostream& Out, std::ostream& Err,
                                               const volatile std::sig_atomic_t* Interrupted)
    : FSettings(std::move(Settings)), FIn(In), FOut(Out), FErr(Err), FInterrupted(Interrupted) {
    if (FSettings.Width < 10)
        FSettings.Width = 10;
}

void TTerminalUserInterface::CheckInterrupted() const {
    if (FInterrupted && *FInterrupted)
        throw EInterrupted();
}

bool TTerminalUserInterface::ChooseFolder(const std::string&, const std::string&,
                                          std::string& Folder) {
    const std::string& path = FSettings.Folder;
    std::error_code ec;
    if (!fs::exists(path, ec)) {
        if (!fs::create_directories(path, ec) && ec)
            throw EInOutError("Cannot create folder " + path + ": " + ec.message());
        FErr << "quadrel-cli: created folder " << path << "\n";
    } else if (!fs::is_directory(path, ec)) {
        throw EInOutError("Cannot write into " + path + ": it is not a folder");
    }
    Folder = path;
    return true;
}

bool TTerminalUserInterface::AskYesNo(const std::string& Text) {
    FErr << Text << "\n";
    if (FSettings.AssumeYes) {
        FErr << "Yes (--yes)\n";
        return true;
    }
    if (!FSettings.CanAsk) {
        FErr << "No (no terminal to ask; give --yes to answer Yes)\n";
        return false;
    }
    FErr << "[y/N] " << std::flush;
    std::string answer;
    const bool got = static_cast<bool>(std::getline(FIn, answer));
    CheckInterrupted();
    if (!got)
        FErr << "\n";
    for (char& c : answer)
        c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return answer == "y" || answer == "yes";
}

void TTerminalUserInterface::ShowMessage(const std::string& Text) {
    if (FDrawnPercent >= 0) { // the message starts on a line of its own
        FErr << "\n";
        FDrawnPercent = FDrawnFill = -1;
    }
    FOut << Text << "\n" << std::flush;
}

void TTerminalUserInterface::SetProgressMax(int32_t Max) {
    FMax = Max;
    if (FSettings.ShowProgress && Max > 0)
        DrawBar(0);
}

void TTerminalUserInterface::SetProgressPosition(int32_t Position) {
    if (!FSettings.ShowProgress)
        return;
    if (Position == 0 && FDrawnPercent >= 0) {
        // The run is over (or abandoned): leave the bar as it stands on its own line.
        FErr << "\n" << std::flush;
        FDrawnPercent = FDrawnFill = -1;
        return;
    }
    if (FMax > 0)
        DrawBar(Position);
}

void TTerminalUserInterface::DrawBar(int32_t Position) {
    const int64_t pos = std::clamp<int64_t>(Position, 0, FMax);
    const int percent = static_cast<int>(pos * 100 / FMax);
    const int fill = static_cast<int>(pos * FSettings.Width / FMax);
    if (percent == FDrawnPercent && fill == FDrawnFill)
        return; // redraw only what the eye can see change
    FDrawnPercent = percent;
    FDrawnFill = fill;
    std::string line = "\r[";
    line.append(static_cast<size_t>(fill), '#');
    line.append(static_cast<size_t>(FSettings.Width - fill), '.');
    line += "] ";
    const std::string p = std::to_string(percent);
    line.append(3 - std::min<size_t>(p.size(), 3), ' ');
    line += p + "% of " + std::to_string(FMax) + (FMax == 1 ? " column" : " columns");
    FErr << line << std::flush;
}

void TTerminalUserInterface::ProcessMessages() {
    CheckInterrupted();
}

} // namespace quadrel::cli
