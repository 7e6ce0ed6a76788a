// "Set area..." under QTest: only with a grid open, prefilled with the current
// corners, in metres or degrees; OK sets the corners and snaps as clicks do; what
// cannot be used is refused in the dialog and nothing is applied.

#include "PGFtable.h"
#include "app_test_env.h"
#include "area_dialog.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <gtest/gtest.h>

using namespace quadrel;
using apptest::WindowFixture;

namespace {

TAreaTexts Fields(const TAreaDialog& d) {
    return d.Texts();
}

void Type(TAreaDialog& d, const TAreaTexts& Texts) {
    for (size_t i = 0; i < Texts.size(); ++i) {
        d.FieldEdits[i]->selectAll();
        QTest::keyClicks(d.FieldEdits[i], QString::fromStdString(Texts[i]));
    }
}

void ClickOk(TAreaDialog& d) {
    QTest::mouseClick(d.Buttons->button(QDialogButtonBox::Ok), Qt::LeftButton);
}

TEST(SetArea, OnlyWithAGridOpen) {
    WindowFixture w;
    TForm1& f = w.Form();
    EXPECT_FALSE(f.SetArea1->isEnabled());
    f.SetArea1->trigger();
    EXPECT_TRUE(w.dialogs.Seen.empty());
    f.EuroGrid1->trigger();
    EXPECT_TRUE(f.SetArea1->isEnabled());
    f.Close1->trigger();
    EXPECT_FALSE(f.SetArea1->isEnabled());
}

TEST(SetArea, TypedMetresSetTheCornersAndSnap) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    TAreaTexts prefilled;
    w.dialogs.WhileModal = [&](QDialog& dialog) {
        auto& d = dynamic_cast<TAreaDialog&>(dialog);
        prefilled = Fields(d);
        EXPECT_EQ(d.FieldLabels[0]->text(), "X1:");
        EXPECT_TRUE(d.MetresButton->isChecked());
        Type(d, {"440000", "6040000", "900500,5", "6410000"});
        ClickOk(d);
    };
    f.SetArea1->trigger();
    EXPECT_EQ(w.dialogs.Seen, std::vector<std::string>{"modal Set area"});
    EXPECT_EQ(prefilled, TAreaTexts{}); // no corners yet
    EXPECT_EQ(w.state.FirstCorner, (TCornerPoint{440000, 6040000}));
    EXPECT_EQ(w.state.SecondCorner, (TCornerPoint{900500.5, 6410000}));
    // Snapped outwards to whole 1 km cells, shown as after two clicks.
    EXPECT_EQ(w.Panels(),
              (std::vector<std::string>{"X1: 440000", "Y1: 6040000", "X2: 901000", "Y2: 6410000",
                                        "Cells X: 461", "Cells Y: 370"}));
    EXPECT_TRUE(f.Go1->isEnabled());
    EXPECT_EQ(f.PGFTable1->ObjectCount(), 1);

    // Opened again, it shows those corners; OK without a change keeps them exactly.
    w.state.SetCorners({440000.123456, 6040000}, {900000.4, 6410000});
    w.dialogs.WhileModal = [&](QDialog& dialog) {
        auto& d = dynamic_cast<TAreaDialog&>(dialog);
        prefilled = Fields(d);
        ClickOk(d);
    };
    f.SetArea1->trigger();
    EXPECT_EQ(prefilled, (TAreaTexts{"440000.12", "6040000", "900000.4", "6410000"}));
    EXPECT_EQ(w.state.FirstCorner.X, 440000.123456);
}

TEST(SetArea, DegreesWithTheToggle) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    f.Bornholm1->trigger();
    TAreaTexts metres, degrees;
    w.dialogs.WhileModal = [&](QDialog& dialog) {
        auto& d = dynamic_cast<TAreaDialog&>(dialog);
        metres = Fields(d);
        QTest::mouseClick(d.DegreesButton, Qt::LeftButton);
        EXPECT_EQ(d.Units(), TAreaUnits::Degrees);
        EXPECT_EQ(d.FieldLabels[0]->text(), "West:");
        EXPECT_EQ(d.FieldLabels[3]->text(), "North:");
        degrees = Fields(d);
        Type(d, {"14.6", "54.95", "15.2", "55.3"});
        ClickOk(d);
    };
    f.SetArea1->trigger();
    // Bornholm's corners, first in metres, then as the longitude/latitude box around
    // them (its south-west and north-east corners, as PROJ gives them).
    EXPECT_EQ(metres, (TAreaTexts{"860000", "6100000", "900000", "6150000"}));
    EXPECT_NEAR(std::stod(degrees[0]), 14.61922, 1e-4);
    EXPECT_NEAR(std::stod(degrees[1]), 54.88643, 1e-4);
    EXPECT_NEAR(std::stod(degrees[2]), 15.30993, 1e-4);
    EXPECT_NEAR(std::stod(degrees[3]), 55.36394, 1e-4);
    // The typed box in UTM 32N: from its north-west and south-west corners to its
    // south-east and north-east ones.
    EXPECT_NEAR(w.state.FirstCorner.X, 855346.46, 0.5);
    EXPECT_NEAR(w.state.FirstCorner.Y, 6103587.95, 0.5);
    EXPECT_NEAR(w.state.SecondCorner.X, 896833.35, 0.5);
    EXPECT_NEAR(w.state.SecondCorner.Y, 6145702.17, 0.5);
    EXPECT_TRUE(w.state.ExtentShown);
    EXPECT_EQ(w.Panels()[4], "Cells X: " + std::to_string(w.state.GridExtent.CellsX));

    // Back and forth between the units carries what was typed.
    TAreaDialog d(w.state);
    Type(d, {"860000", "6100000", "900000", "6150000"});
    d.SetUnits(TAreaUnits::Degrees);
    d.SetUnits(TAreaUnits::Metres);
    const TAreaTexts again = Fields(d);
    EXPECT_NEAR(std::stod(again[0]), 860000, 5000); // the box around the box: a little larger
    EXPECT_LE(std::stod(again[0]), 860000);
    EXPECT_GE(std::stod(again[2]), 900000);
}

// What cannot be used is said in the dialog, which stays open; nothing is applied.
TEST(SetArea, InvalidNumbersAreRefusedInTheDialog) {
    WindowFixture w;
    TForm1& f = w.Form();
    f.DKN1->trigger();
    f.Denmarkonly1->trigger();
    const TGridState before = w.state;
    std::vector<std::string> errors;
    w.dialogs.WhileModal = [&](QDialog& dialog) {
        auto& d = dynamic_cast<TAreaDialog&>(dialog);
        for (const TAreaTexts& bad : {TAreaTexts{"440000", "abc", "900000", "6410000"},
                                      TAreaTexts{"0", "6040000", "900000", "6410000"},
                                      TAreaTexts{"440000", "6040000", "440000", "6410000"},
                                      TAreaTexts{"440000", "6040000", "1e99", "6410000"}}) {
            Type(d, bad);
            ClickOk(d);
            EXPECT_TRUE(d.isVisible() || d.result() != QDialog::Accepted);
            EXPECT_TRUE(d.ErrorLabel->isVisibleTo(&d));
            errors.push_back(d.ErrorLabel->text().toStdString());
        }
        d.reject();
    };
    f.SetArea1->trigger();
    ASSERT_EQ(errors.size(), 4u);
    EXPECT_EQ(errors[0], "Y1: \"abc\" is not a number");
    EXPECT_EQ(errors[1].rfind("X1: an easting of exactly 0", 0), 0u);
    EXPECT_EQ(errors[2], "The two corners must differ in X and in Y");
    EXPECT_NE(errors[3].find("within +-1e15"), std::string::npos);
    EXPECT_EQ(w.state.FirstCorner, before.FirstCorner);
    EXPECT_EQ(w.state.SecondCorner, before.SecondCorner);
    EXPECT_EQ(w.state.GridExtent, before.GridExtent);
    EXPECT_TRUE(w.dialogs.Errors.empty());
}

} // namespace
