#pragma once
// "Set area...": the two corners of the area typed in, in the grid system's metres
// or as a longitude/latitude box in degrees, prefilled with the current corners. OK
// closes the dialog only on input that can be used; anything else is refused with
// a message in the dialog and nothing is applied.

#include "grid_state.h"
#include "lonlat_points.h"
#include "typed_area.h"

#include <QDialog>
#include <array>
#include <memory>

class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QRadioButton;

namespace quadrel {

class TAreaDialog : public QDialog {
    Q_OBJECT
public:
    // State is read when the dialog is made; it must have a grid system.
    explicit TAreaDialog(const TGridState& State, QWidget* Parent = nullptr);
    ~TAreaDialog() override;

    // After OK: the corners to set (exactly the current ones when nothing was changed).
    const TCornerPoint& FirstCorner() const { return FFirst; }
    const TCornerPoint& SecondCorner() const { return FSecond; }
    TAreaUnits Units() const;
    void SetUnits(TAreaUnits Units);
    TAreaTexts Texts() const;
    void SetTexts(const TAreaTexts& Texts);

    // Components.
    std::array<QLabel*, 4> FieldLabels{};
    std::array<QLineEdit*, 4> FieldEdits{};
    QRadioButton* MetresButton = nullptr;
    QRadioButton* DegreesButton = nullptr;
    QLabel* ErrorLabel = nullptr;
    QDialogButtonBox* Buttons = nullptr;

    void accept() override;

private:
    void ShowUnits(TAreaUnits Units);
    void ShowError(const std::string& Text);

    TGridState FState; // a copy: the dialog converts with its system and cell size
    std::unique_ptr<TLonLatPoints> FProjection; // null when PROJ cannot make it
    TAreaUnits FShownUnits = TAreaUnits::Metres;
    TCornerPoint FFirst, FSecond;
};

} // namespace quadrel
