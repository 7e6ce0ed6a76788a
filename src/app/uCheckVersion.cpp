#include "uCheckVersion.h"

#include "uCommon.h"
#include "user_dialogs.h"

#include <algorithm>
#include <cctype>
#include <curl/curl.h>
#include <memory>

#ifndef QUADREL_UPDATE_SERVER
#define QUADREL_UPDATE_SERVER "http://quadrel.example/"
#endif

namespace quadrel {

namespace {

std::string WithSlash(std::string s) {
    if (s.empty() || s.back() != '/')
        s += '/';
    return s;
}

// libcurl wants its global set-up once per process before the first handle.
void InitCurlOnce() {
    static const bool done = [] {
        curl_global_init(CURL_GLOBAL_DEFAULT);
        return true;
    }();
    (void)done;
}

struct TBody {
    std::string Text;
    size_t Limit = 0;
    bool TooLarge = false;
};

size_t AppendBody(char* Data, size_t Size, size_t Count, void* User) {
    auto* body = static_cast<TBody*>(User);
    const size_t n = Size * Count;
    if (body->Text.size() + n > body->Limit) {
        body->TooLarge = true;
        return 0; // any other count than n makes libcurl end the transfer with an error
    }
    body->Text.append(Data, n);
    return n;
}

struct TCurlCleanup {
    void operator()(CURL* c) const { curl_easy_cleanup(c); }
};

} // namespace

std::string UpdateServer() {
    return WithSlash(QUADREL_UPDATE_SERVER);
}

std::string VersionFileUrl(const std::string& Server, const std::string& Name) {
    std::string lower = Name;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return WithSlash(Server) + "versions/" + lower + ".txt";
}

std::string DownloadPageUrl(const std::string& Server) {
    return WithSlash(Server) + "download.php";
}

std::string FetchVersionText(const std::string& Name, const std::string& Server,
                             const TFetchLimits& Limits) {
    InitCurlOnce();
    std::unique_ptr<CURL, TCurlCleanup> curl(curl_easy_init());
    if (!curl)
        return {};
    const std::string url = VersionFileUrl(Server, Name);
    TBody body;
    body.Limit = static_cast<size_t>(std::max(0L, Limits.MaxBodyBytes));
    CURL* c = curl.get();
    curl_easy_setopt(c, CURLOPT_URL, url.c_str());
    curl_easy_setopt(c, CURLOPT_HTTPGET, 1L);
    // An error status (404, 500, ...) is a failure, not a body to compare.
    curl_easy_setopt(c, CURLOPT_FAILONERROR, 1L);
    curl_easy_setopt(c, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(c, CURLOPT_MAXREDIRS, 5L);
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(c, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(c, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
#endif
    curl_easy_setopt(c, CURLOPT_CONNECTTIMEOUT_MS, Limits.ConnectTimeoutMs);
    curl_easy_setopt(c, CURLOPT_TIMEOUT_MS, Limits.TotalTimeoutMs);
    // No signals: the timeouts must not interrupt the GUI thread's other work.
    curl_easy_setopt(c, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(c, CURLOPT_USERAGENT, "Quadrel");
    curl_easy_setopt(c, CURLOPT_WRITEFUNCTION, &AppendBody);
    curl_easy_setopt(c, CURLOPT_WRITEDATA, &body);
    if (curl_easy_perform(c) != CURLE_OK || body.TooLarge)
        return {};
    return body.Text;
}

int CompareVersion(const std::string& Name, const std::string& Version, const std::string& Server,
                   const TFetchLimits& Limits) {
    int outcome = voUnknown;
    const std::string text = FetchVersionText(Name, Server, Limits);
    if (!text.empty())
        outcome = text == Version ? voSame : voDifferent;
    return outcome;
}

void ReportUpdateOutcome(int Outcome, TUserDialogs& Dialogs, const std::string& Server) {
    switch (Outcome) {
    case voSame:
        Dialogs.ShowMessage("No updates available");
        break;
    case voDifferent:
        Dialogs.ShowMessage("Update is available");
        if (Dialogs.AskYesNo("Go to website to download?"))
            ShellRun(DownloadPageUrl(Server), "", "", SW_SHOWMAXIMIZED);
        break;
    default:
        Dialogs.ShowMessage("Could not determine availability of updates");
        break;
    }
}

void CheckForUpdates(const std::string& Name, const std::string& Version, TUserDialogs& Dialogs,
                     const std::string& Server, const TFetchLimits& Limits) {
    ReportUpdateOutcome(CompareVersion(Name, Version, Server, Limits), Dialogs, Server);
}

} // namespace quadrel
