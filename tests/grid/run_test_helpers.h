#pragma once
// What the grid core's tests of the generation run share: a scripted user and
// scripted file-system answers, the grid state of a run, and one real run into a
// folder.

#include "generation_run.h"
#include "run_user_interface.h"
#include "temp_dir.h"

#include <cstdint>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <string>
#include <vector>

namespace testutil {

// A scripted stand-in for the run's user: answers the folder dialog and the Yes/No
// question from its script and records every call in order, so a test can check
// what the user saw.
class FakeUserInterface : public quadrel::TRunUserInterface {
public:
    // The script.
    bool ChooseAFolder = true;  // false: the user cancels the dialog
    std::string FolderToChoose; // the folder the user picks
    bool AnswerYes = true;
    // Runs inside every ProcessMessages call, as pending window events would (a
    // test may change the grid state there, or throw to end the run).
    std::function<void()> OnProcessMessages;

    // What happened, one entry per call: "ChooseFolder <caption> | <start>",
    // "AskYesNo <text>", "ShowMessage <text>", "ProgressMax <n>", "Progress <n>",
    // "BusyCursor", "RestoreCursor", "ProcessMessages".
    std::vector<std::string> Calls;
    // Just the texts of ShowMessage, in order.
    std::vector<std::string> Messages;
    int CursorDepth = 0;

    bool ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                      std::string& Folder) override {
        Calls.push_back("ChooseFolder " + Caption + " | " + StartFolder);
        if (ChooseAFolder)
            Folder = FolderToChoose;
        return ChooseAFolder;
    }
    bool AskYesNo(const std::string& Text) override {
        Calls.push_back("AskYesNo " + Text);
        return AnswerYes;
    }
    void ShowMessage(const std::string& Text) override {
        Calls.push_back("ShowMessage " + Text);
        Messages.push_back(Text);
    }
    void SetProgressMax(int32_t Max) override {
        Calls.push_back("ProgressMax " + std::to_string(Max));
    }
    void SetProgressPosition(int32_t Position) override {
        Calls.push_back("Progress " + std::to_string(Position));
    }
    void SetBusyCursor() override {
        Calls.push_back("BusyCursor");
        ++CursorDepth;
    }
    void RestoreCursor() override {
        Calls.push_back("RestoreCursor");
        --CursorDepth;
    }
    void ProcessMessages() override {
        Calls.push_back("ProcessMessages");
        if (OnProcessMessages)
            OnProcessMessages();
    }
};

// Scripted answers about the output folder (by default a local disk with room for
// anything); records which questions were asked.
struct FakeFileSystem : quadrel::TFileSystemQueries {
    quadrel::TDriveType Drive = quadrel::dtFixed;
    std::string Name = "ext4";
    int64_t Free = std::numeric_limits<int64_t>::max();
    mutable std::vector<std::string> Asked;

    quadrel::TDriveType DriveType(const std::string& Path) const override {
        Asked.push_back("DriveType " + Path);
        return Drive;
    }
    std::string FileSystemName(const std::string& Path) const override {
        Asked.push_back("FileSystemName " + Path);
        return Name;
    }
    int64_t DiskFree(const std::string& Path) const override {
        Asked.push_back("DiskFree " + Path);
        return Free;
    }
};

// The state of a grid of Kind with the cell size labelled Size, from corner A to B.
inline quadrel::TGridState MakeGrid(quadrel::TGridKind Kind, const char* Size, int32_t Format,
                                    quadrel::TCornerPoint A, quadrel::TCornerPoint B) {
    quadrel::TGridState s;
    s.ChooseGridKind(Kind);
    s.ChooseFormat(Format);
    s.ChooseSize(quadrel::FindSizeByLabel(Kind, Size)->Tag);
    s.SetCorners(A, B);
    return s;
}

// The smallest example: DKN 1 km over 440000..443000 by 6200000..6202000, 3 columns
// by 2 rows.
inline quadrel::TGridState SmallDkn(int32_t Format = quadrel::ftSHP) {
    return MakeGrid(quadrel::gkDKN, "1km", Format, {440000, 6200000}, {443000, 6202000});
}

// EuroGrid 1 km over 4321000..4323000 by 3210000..3212000, 2 columns by 2 rows.
inline quadrel::TGridState SmallEuroGrid(int32_t Format) {
    return MakeGrid(quadrel::gkEuroGrid, "1km", Format, {4321000, 3210000}, {4323000, 3212000});
}

// A cell as a reader should find it: its values and the lower-left corner of its square.
struct ExpectedCell {
    std::vector<std::string> Values;
    double X, Y;
};

// The cells of SmallDkn in the run's order, column by column, each named by its
// identifier.
inline const std::vector<ExpectedCell> SmallDknCells = {
    {{"1km_6200_440"}, 440000, 6200000}, {{"1km_6201_440"}, 440000, 6201000},
    {{"1km_6200_441"}, 441000, 6200000}, {{"1km_6201_441"}, 441000, 6201000},
    {{"1km_6200_442"}, 442000, 6200000}, {{"1km_6201_442"}, 442000, 6201000}};

// The cells of SmallEuroGrid in a MapInfo format: the geometry loses the LAEA false
// origin, which MapInfo's CoordSys clause lacks, while the names keep the true origins.
inline const std::vector<ExpectedCell> SmallEuroGridShiftedCells = {
    {{"4321000", "3210000"}, 0, 0},
    {{"4321000", "3211000"}, 0, 1000},
    {{"4322000", "3210000"}, 1000, 0},
    {{"4322000", "3211000"}, 1000, 1000}};

// One run of State into Dir with the real file system: it must end with "Done" and
// write the format asked for, not a fallback.
inline void RunInto(const TempDir& Dir, const quadrel::TGridState& State) {
    FakeUserInterface ui;
    ui.FolderToChoose = Dir.path().string();
    quadrel::TGenerationRun run;
    const quadrel::TRunResult result = run.Execute(State, ui);
    ASSERT_EQ(result.Outcome, quadrel::TRunOutcome::Done);
    ASSERT_EQ(result.Format->Tag, State.OutputFormatTag); // no fallback
    ASSERT_EQ(ui.Messages, std::vector<std::string>{"Done"});
}

} // namespace testutil
