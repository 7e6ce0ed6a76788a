#pragma once
// The program's own place on disk, where its data files are found, and the
// desktop's "open" action for files and web pages.

#include <QUrl>
#include <functional>
#include <string>

namespace quadrel {

// The name of the help page among the data files.
inline constexpr const char* HelpFileName = "quadrel.html";

// The full path of the running program file (/proc/self/exe); empty when the
// system does not tell.
std::string ExeFileName();
// The folder of ExeFileName, ending in '/'; empty when ExeFileName is.
std::string ExeFolder();

// Where a data file of the program (background maps, help page, icon) lies:
// beside the program when it is there (the build tree), else in
// ../share/quadrel/ relative to the program's folder (an installation). When it
// is in neither, the path beside the program, so that a message names a place
// where the file was looked for.
std::string DataFile(const std::string& Name);
// Like DataFile, with the two folders given (for tests).
std::string DataFileIn(const std::string& ProgramFolder, const std::string& Name);

// Sends File to the desktop's default "open" action: a web address (anything
// with a scheme such as http:) opens in the browser, any other text is taken as
// a path on disk and opened with the program the desktop associates with it.
// Parameters, the working Folder and ShowMode have no meaning for the desktop's
// open action on Linux and are ignored; the result is not examined, so a
// missing file produces no message from the program.
void ShellRun(const std::string& File, const std::string& Parameters, const std::string& Folder,
              int ShowMode);

// The show modes of ShellRun, kept for the callers' intent.
inline constexpr int SW_SHOWNORMAL = 1;
inline constexpr int SW_SHOWMAXIMIZED = 3;

// The address ShellRun hands to the desktop for File.
QUrl ShellRunUrl(const std::string& File);

// What actually opens an address; QDesktopServices::openUrl unless replaced.
// Tests replace it to see what would be opened. Returns the previous opener.
using TShellOpener = std::function<void(const QUrl& Url)>;
TShellOpener SetShellOpener(TShellOpener Opener);

} // namespace quadrel
