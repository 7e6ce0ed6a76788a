#pragma once
// "Check for updates": asks the maker's web server which version of the program
// is current (the whole body of versions/<name>.txt), compares it with the
// running version and tells the user; when they differ it offers the download page.

#include "program_version.h"

#include <string>

namespace quadrel {

class TUserDialogs;

// The outcome of a check.
enum TVersionOutcome : int {
    voSame = 0,      // the body is exactly the running version
    voDifferent = 1, // the body is not empty and differs in any way
    voUnknown = 2,   // the request failed or the body is empty
};

// The maker's server as the build set it (QUADREL_UPDATE_SERVER), ending in '/'.
std::string UpdateServer();
// The version file of Name on Server: Server + "versions/" + lower-case Name + ".txt".
std::string VersionFileUrl(const std::string& Server, const std::string& Name);
// The download page on Server: Server + "download.php".
std::string DownloadPageUrl(const std::string& Server);

// Limits of the request, so that a silent or runaway server cannot hang the
// window or fill its memory: a failure when exceeded.
struct TFetchLimits {
    long ConnectTimeoutMs = 10000;
    long TotalTimeoutMs = 30000;
    long MaxBodyBytes = 64 * 1024;
};

// One blocking HTTP GET of the version file of Name; the body, or an empty text
// when anything fails (no network, name resolution, refused connection, an HTTP
// error status, a limit exceeded).
std::string FetchVersionText(const std::string& Name, const std::string& Server = UpdateServer(),
                             const TFetchLimits& Limits = {});

// 0, 1 or 2 (TVersionOutcome): the fetched text compared with Version by exact,
// case-sensitive equality, unchanged (a trailing line break makes it differ).
int CompareVersion(const std::string& Name, const std::string& Version,
                   const std::string& Server = UpdateServer(), const TFetchLimits& Limits = {});

// Tells the user the outcome of a check (the messages and the question below).
void ReportUpdateOutcome(int Outcome, TUserDialogs& Dialogs,
                         const std::string& Server = UpdateServer());

// The user-facing check: "No updates available"; or "Update is available" and
// the question "Go to website to download?", whose Yes opens the download page;
// or "Could not determine availability of updates".
void CheckForUpdates(const std::string& Name, const std::string& Version, TUserDialogs& Dialogs,
                     const std::string& Server = UpdateServer(), const TFetchLimits& Limits = {});

} // namespace quadrel
