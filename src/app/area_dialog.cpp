#include "area_dialog.h"

#include "run_formats.h"

#include <QButtonGroup>
#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

namespace quadrel {

TAreaDialog::TAreaDialog(const TGridState& State, QWidget* Parent)
    : QDialog(Parent), FState(State), FFirst(State.FirstCorner), FSecond(State.SecondCorner) {
    setObjectName(QStringLiteral("AreaDialog"));
    setWindowTitle(QStringLiteral("Set area"));
    try {
        FProjection = std::make_unique<TLonLatPoints>(GridEpsg(State.GridKind));
    } catch (const std::exception&) {
        // Without PROJ only metres can be typed.
    }

    MetresButton = new QRadioButton(
        QStringLiteral("&Grid metres (EPSG:%1)").arg(GridEpsg(State.GridKind)), this);
    DegreesButton = new QRadioButton(QStringLiteral("&Degrees (WGS 84)"), this);
    MetresButton->setObjectName(QStringLiteral("MetresButton"));
    DegreesButton->setObjectName(QStringLiteral("DegreesButton"));
    DegreesButton->setEnabled(FProjection != nullptr);
    auto* units = new QButtonGroup(this);
    units->addButton(MetresButton);
    units->addButton(DegreesButton);
    MetresButton->setChecked(true);

    auto* fields = new QGridLayout;
    for (size_t i = 0; i < FieldEdits.size(); ++i) {
        FieldLabels[i] = new QLabel(this);
        FieldEdits[i] = new QLineEdit(this);
        FieldEdits[i]->setObjectName(QStringLiteral("Field%1").arg(i + 1));
        FieldEdits[i]->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0")) * 14);
        FieldLabels[i]->setBuddy(FieldEdits[i]);
        const int row = static_cast<int>(i / 2), column = static_cast<int>(i % 2) * 2;
        fields->addWidget(FieldLabels[i], row, column);
        fields->addWidget(FieldEdits[i], row, column + 1);
    }

    ErrorLabel = new QLabel(this);
    ErrorLabel->setObjectName(QStringLiteral("ErrorLabel"));
    ErrorLabel->setWordWrap(true);
    ErrorLabel->setStyleSheet(QStringLiteral("color: #b01010"));
    ErrorLabel->hide();

    Buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(Buttons, &QDialogButtonBox::accepted, this, &TAreaDialog::accept);
    connect(Buttons, &QDialogButtonBox::rejected, this, &TAreaDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(MetresButton);
    layout->addWidget(DegreesButton);
    layout->addLayout(fields);
    layout->addWidget(ErrorLabel);
    layout->addWidget(Buttons);

    ShowUnits(TAreaUnits::Metres);
    SetTexts(TextsFromCorners(FState, TAreaUnits::Metres, FProjection.get()));
    connect(DegreesButton, &QRadioButton::toggled, this,
            [this](bool Degrees) { SetUnits(Degrees ? TAreaUnits::Degrees : TAreaUnits::Metres); });
}

TAreaDialog::~TAreaDialog() = default;

TAreaUnits TAreaDialog::Units() const {
    return FShownUnits;
}

TAreaTexts TAreaDialog::Texts() const {
    TAreaTexts t;
    for (size_t i = 0; i < t.size(); ++i)
        t[i] = FieldEdits[i]->text().toStdString();
    return t;
}

void TAreaDialog::SetTexts(const TAreaTexts& Texts) {
    for (size_t i = 0; i < Texts.size(); ++i)
        FieldEdits[i]->setText(QString::fromStdString(Texts[i]));
}

void TAreaDialog::ShowUnits(TAreaUnits Units) {
    FShownUnits = Units;
    const auto names = AreaFieldNames(Units);
    for (size_t i = 0; i < names.size(); ++i)
        FieldLabels[i]->setText(
            QString::fromUtf8(names[i].data(), static_cast<qsizetype>(names[i].size())) +
            QLatin1Char(':'));
    (Units == TAreaUnits::Degrees ? DegreesButton : MetresButton)->setChecked(true);
}

void TAreaDialog::SetUnits(TAreaUnits Units) {
    if (Units == FShownUnits)
        return;
    // What is typed now is carried over when it can be used, else the current corners.
    TGridState shown = FState;
    const TTypedArea typed = AreaFromTexts(Texts(), FShownUnits, FState, FProjection.get());
    if (typed.Error.empty() &&
        Texts() != TextsFromCorners(FState, FShownUnits, FProjection.get())) {
        shown.FirstCorner = typed.First;
        shown.SecondCorner = typed.Second;
    }
    ShowUnits(Units);
    SetTexts(TextsFromCorners(shown, Units, FProjection.get()));
    ErrorLabel->hide();
}

void TAreaDialog::ShowError(const std::string& Text) {
    ErrorLabel->setText(QString::fromStdString(Text));
    ErrorLabel->show();
}

void TAreaDialog::accept() {
    const TAreaTexts texts = Texts();
    // Untouched fields keep the corners exact (the texts round them).
    if (FState.CornersSet() && texts == TextsFromCorners(FState, FShownUnits, FProjection.get())) {
        FFirst = FState.FirstCorner;
        FSecond = FState.SecondCorner;
        QDialog::accept();
        return;
    }
    const TTypedArea area = AreaFromTexts(texts, FShownUnits, FState, FProjection.get());
    if (!area.Error.empty()) {
        ShowError(area.Error);
        return;
    }
    FFirst = area.First;
    FSecond = area.Second;
    QDialog::accept();
}

} // namespace quadrel
