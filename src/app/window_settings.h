#pragma once
// What the window remembers from one start of the program to the next: the last
// output folder and its own size and position. Everything else starts as designed.

#include <QString>
#include <memory>

class QSettings;
class QWidget;

namespace quadrel {

class TWindowSettings {
public:
    // The user's settings of the program; with File, that INI file instead (tests).
    explicit TWindowSettings(const QString& File = {});
    ~TWindowSettings();

    // The folder of the last run that wrote a grid; empty before the first.
    QString OutputFolder() const;
    void SetOutputFolder(const QString& Folder);

    // The window's size and position; Restore leaves the window as it is when
    // nothing has been stored, and returns whether something was.
    void SaveGeometry(const QWidget& Window);
    bool RestoreGeometry(QWidget& Window) const;

private:
    std::unique_ptr<QSettings> FSettings;
};

} // namespace quadrel
