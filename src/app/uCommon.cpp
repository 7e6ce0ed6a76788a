#include "uCommon.h"

#include "program_files.h"

#include <QDesktopServices>
#include <filesystem>
#include <system_error>

namespace quadrel {

namespace fs = std::filesystem;

std::string ExeFileName() {
    std::error_code ec;
    const fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string ExeFolder() {
    const std::string exe = ExeFileName();
    if (exe.empty())
        return {};
    std::string folder = fs::path(exe).parent_path().string();
    if (folder.empty() || folder.back() != '/')
        folder += '/';
    return folder;
}

std::string DataFileIn(const std::string& ProgramFolder, const std::string& Name) {
    return ProgramDataFileIn(ProgramFolder, Name); // the grid core looks for its data the same way
}

std::string DataFile(const std::string& Name) {
    return DataFileIn(ExeFolder(), Name);
}

namespace {

TShellOpener& Opener() {
    static TShellOpener opener;
    return opener;
}

} // namespace

TShellOpener SetShellOpener(TShellOpener Opener_) {
    TShellOpener old = std::move(Opener());
    Opener() = std::move(Opener_);
    return old;
}

QUrl ShellRunUrl(const std::string& File) {
    const QString text = QString::fromStdString(File);
    const QUrl url(text, QUrl::StrictMode);
    // A path such as "/usr/share/quadrel/quadrel.html" has no scheme; "C:" style
    // one-letter schemes do not occur on Linux.
    if (url.isValid() && url.scheme().size() > 1)
        return url;
    return QUrl::fromLocalFile(text);
}

void ShellRun(const std::string& File, const std::string& /*Parameters*/,
              const std::string& /*Folder*/, int /*ShowMode*/) {
    const QUrl url = ShellRunUrl(File);
    if (Opener())
        Opener()(url);
    else
        QDesktopServices::openUrl(url);
}

} // namespace quadrel
