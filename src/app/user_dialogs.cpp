#include "user_dialogs.h"

#include "generation_run.h"
#include "uCommon.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QMessageBox>
#include <QPushButton>
#include <QSpacerItem>
#include <QUrl>
#include <algorithm>

namespace quadrel {

namespace {

const QString Title = QStringLiteral("Quadrel");

} // namespace

void TQtDialogs::ShowMessage(const std::string& Text) {
    QMessageBox::information(FParent, Title, QString::fromStdString(Text), QMessageBox::Ok);
}

bool TQtDialogs::AskYesNo(const std::string& Text) {
    return QMessageBox::question(FParent, Title, QString::fromStdString(Text),
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::Yes) == QMessageBox::Yes;
}

bool TQtDialogs::ChooseFolder(const std::string& Caption, const std::string& StartFolder,
                              std::string& Folder) {
    QString start = QString::fromStdString(StartFolder);
    if (start.isEmpty() || !QFileInfo(start).isDir())
        start = QDir::homePath();
    const QString chosen = QFileDialog::getExistingDirectory(
        FParent, QString::fromStdString(Caption), start, QFileDialog::ShowDirsOnly);
    if (chosen.isEmpty())
        return false;
    Folder = chosen.toStdString();
    return true;
}

void TQtDialogs::ShowError(const std::string& Text) {
    QMessageBox::critical(FParent, Title, QString::fromStdString(Text), QMessageBox::Ok);
}

void TQtDialogs::ShowModal(QDialog& Dialog) {
    Dialog.exec();
}

void TUserDialogs::ShowDone(const TDoneReport&) {
    ShowMessage(std::string(DoneMessage));
}

std::unique_ptr<QMessageBox> MakeDoneBox(const TDoneReport& Report, QWidget* Parent) {
    auto box = std::make_unique<QMessageBox>(
        QMessageBox::Information, Title,
        QString::fromUtf8(DoneMessage.data(), static_cast<qsizetype>(DoneMessage.size())),
        QMessageBox::Ok, Parent);
    box->setObjectName(QStringLiteral("DoneBox"));
    box->setInformativeText(
        QStringLiteral("%1 %2 written to\n%3")
            .arg(Report.Cells)
            .arg(Report.Cells == 1 ? QStringLiteral("cell") : QStringLiteral("cells"))
            .arg(QString::fromStdString(Report.MainFile)));
    box->setTextInteractionFlags(Qt::TextSelectableByMouse);
    QPushButton* open = box->addButton(QStringLiteral("Open &folder"), QMessageBox::ActionRole);
    open->setObjectName(QStringLiteral("OpenFolderButton"));
    const QString folder = QString::fromStdString(Report.Folder);
    QObject::connect(open, &QPushButton::clicked, box.get(),
                     [folder] { ShellRun(folder.toStdString(), "", "", SW_SHOWNORMAL); });
    box->setDefaultButton(QMessageBox::Ok);
    // A box no wider than "Done" would cut its own title; this one holds the path on
    // one line too, as far as a reasonable width allows. The box sizes itself from
    // its layout, so the width goes in there.
    const QFontMetrics fm = box->fontMetrics();
    const int path = fm.horizontalAdvance(QString::fromStdString(Report.MainFile)) + 60;
    const int width = std::max(fm.horizontalAdvance(Title) * 4, std::min(path, 720));
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout()))
        grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Minimum, QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    return box;
}

void TQtDialogs::ShowDone(const TDoneReport& Report) {
    MakeDoneBox(Report, FParent)->exec();
}

} // namespace quadrel
