#include "window_settings.h"

#include <QSettings>
#include <QWidget>

namespace quadrel {

namespace {

const QString FolderKey = QStringLiteral("run/outputFolder");
const QString GeometryKey = QStringLiteral("window/geometry");

} // namespace

TWindowSettings::TWindowSettings(const QString& File)
    : FSettings(File.isEmpty() ? std::make_unique<QSettings>(
                                     QSettings::NativeFormat, QSettings::UserScope,
                                     QStringLiteral("Quadrel"), QStringLiteral("Quadrel"))
                               : std::make_unique<QSettings>(File, QSettings::IniFormat)) {}

TWindowSettings::~TWindowSettings() = default;

QString TWindowSettings::OutputFolder() const {
    return FSettings->value(FolderKey).toString();
}

void TWindowSettings::SetOutputFolder(const QString& Folder) {
    FSettings->setValue(FolderKey, Folder);
    FSettings->sync();
}

void TWindowSettings::SaveGeometry(const QWidget& Window) {
    FSettings->setValue(GeometryKey, Window.saveGeometry());
    FSettings->sync();
}

bool TWindowSettings::RestoreGeometry(QWidget& Window) const {
    const QByteArray geometry = FSettings->value(GeometryKey).toByteArray();
    // restoreGeometry keeps a window that was on a screen now gone within the screens.
    return !geometry.isEmpty() && Window.restoreGeometry(geometry);
}

} // namespace quadrel
