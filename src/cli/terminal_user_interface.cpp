#include "terminal_user_interface.h"

#include "generation_run.h"

#include <algorithm>

namespace quadrel::cli {

TTerminalUserInterface::TTerminalUserInterface(TTerminalSettings Settings, std::istream& In,
                                               std::ostream& Out, std::ostream& Err,
                                               const volatile std::sig_atomic_t* Interrupted)
    : FSettings(std::move(Settings)), FIn(In), FOut(Out), FErr(Err), FInterrupted(Interrupted),
      FLines(Err) {
    if (FSettings.Width < 10)
        FSettings.Width = 10;
}

void TTerminalUserInterface::CheckInterrupted() const {
    if (FInterrupted && *FInterrupted)
        throw EInterrupted();
}

bool TTerminalUserInterface::ChooseFolder(const std::string&, const std::string&,
                                          std::string& Folder) {
    if (FFolder.Prepare(FSettings.Folder) && !FSettings.Quiet)
        FErr << "quadrel-cli: created folder " << FSettings.Folder << "\n";
    Folder = FSettings.Folder;
    return true;
}

void TTerminalUserInterface::RemoveCreatedFolder() {
    if (const std::string removed = FFolder.RemoveIfEmpty(); !removed.empty() && !FSettings.Quiet)
        FErr << "quadrel-cli: removed folder " << removed << " again\n";
}

bool TTerminalUserInterface::AskYesNo(const std::string& Text) {
    if (FSettings.AssumeYes) {
        if (!FSettings.Quiet)
            FErr << Text << "\n"
                 << "Yes (--yes)\n";
        return true;
    }
    FErr << Text << "\n";
    bool yes = false;
    if (!FSettings.CanAsk) {
        FErr << "No (no terminal to ask; give --yes to answer Yes)\n";
    } else {
        FErr << "[y/N] " << std::flush;
        std::string answer;
        const bool got = static_cast<bool>(std::getline(FIn, answer));
        CheckInterrupted();
        if (!got)
            FErr << "\n";
        for (char& c : answer)
            c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
        yes = answer == "y" || answer == "yes";
    }
    if (!yes)
        FRefusal.push_back(Text + " No");
    return yes;
}

void TTerminalUserInterface::ShowMessage(const std::string& Text) {
    if (FDrawnPercent >= 0) { // the message starts on a line of its own
        FErr << "\n";
        FDrawnPercent = FDrawnFill = -1;
    }
    // The run shows "Done" when the grid is written, and otherwise only the reasons
    // of a check that refused it: those are for standard error, so that standard
    // output keeps to what a script reads.
    if (Text == DoneMessage) {
        FOut << Text << "\n" << std::flush;
        return;
    }
    FRefusal.push_back(Text);
    FErr << Text << "\n" << std::flush;
}

void TTerminalUserInterface::SetProgressMax(int32_t Max) {
    FMax = Max;
    if (FSettings.ShowProgress && Max > 0)
        DrawBar(0);
    else if (FSettings.ProgressLines)
        FLines.Start(Max);
}

void TTerminalUserInterface::SetProgressPosition(int32_t Position) {
    if (!FSettings.ShowProgress) {
        if (FSettings.ProgressLines)
            FLines.Update(Position);
        return;
    }
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
