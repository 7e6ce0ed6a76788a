#include "user_dialogs.h"

#include <QDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

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

} // namespace quadrel
