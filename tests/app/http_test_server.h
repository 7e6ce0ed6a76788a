#pragma once
// A tiny HTTP server on 127.0.0.1 for the update check's tests: it answers every
// request with one canned status and body (or, silent, never answers) and records
// the request lines it received. It runs on a thread of its own while it lives.

#include <arpa/inet.h>
#include <atomic>
#include <mutex>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace apptest {

class HttpTestServer {
public:
    // Status: 200, 404, ...; Silent: accept connections but never answer.
    explicit HttpTestServer(int Status, std::string Body, bool Silent = false)
        : fStatus(Status), fBody(std::move(Body)), fSilent(Silent) {
        fListen = socket(AF_INET, SOCK_STREAM, 0);
        if (fListen < 0)
            throw std::runtime_error("socket failed");
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = 0; // any free port
        socklen_t len = sizeof addr;
        if (bind(fListen, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
            listen(fListen, 8) != 0 ||
            getsockname(fListen, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
            close(fListen);
            throw std::runtime_error("cannot listen on 127.0.0.1");
        }
        fPort = ntohs(addr.sin_port);
        fThread = std::thread([this] { Serve(); });
    }
    ~HttpTestServer() {
        fStop = true;
        fThread.join();
        close(fListen);
    }
    HttpTestServer(const HttpTestServer&) = delete;
    HttpTestServer& operator=(const HttpTestServer&) = delete;

    // The server's base address, ending in '/'.
    std::string Url() const { return "http://127.0.0.1:" + std::to_string(fPort) + "/"; }
    // The request lines received so far ("GET /versions/quadrel.txt HTTP/1.1").
    std::vector<std::string> Requests() const {
        std::lock_guard lock(fMutex);
        return fRequests;
    }

    // A base address where nothing listens: a port that was free a moment ago.
    static std::string UnusedUrl() {
        int s = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr);
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
        const int port = ntohs(addr.sin_port);
        close(s);
        return "http://127.0.0.1:" + std::to_string(port) + "/";
    }

private:
    static const char* Reason(int Status) {
        switch (Status) {
        case 200:
            return "OK";
        case 404:
            return "Not Found";
        case 500:
            return "Internal Server Error";
        default:
            return "Status";
        }
    }

    void Serve() {
        std::vector<int> silentClients;
        while (!fStop) {
            pollfd p{fListen, POLLIN, 0};
            if (poll(&p, 1, 20) <= 0)
                continue;
            const int c = accept(fListen, nullptr, nullptr);
            if (c < 0)
                continue;
            std::string request;
            char buf[1024];
            while (request.find("\r\n\r\n") == std::string::npos) {
                pollfd q{c, POLLIN, 0};
                if (poll(&q, 1, 2000) <= 0)
                    break;
                const ssize_t n = recv(c, buf, sizeof buf, 0);
                if (n <= 0)
                    break;
                request.append(buf, static_cast<size_t>(n));
            }
            {
                std::lock_guard lock(fMutex);
                fRequests.push_back(request.substr(0, request.find("\r\n")));
            }
            if (fSilent) {
                silentClients.push_back(c); // held open, never answered
                continue;
            }
            const std::string response = "HTTP/1.1 " + std::to_string(fStatus) + " " +
                                         Reason(fStatus) + "\r\nContent-Type: text/plain\r\n" +
                                         "Content-Length: " + std::to_string(fBody.size()) +
                                         "\r\nConnection: close\r\n\r\n" + fBody;
            size_t sent = 0;
            while (sent < response.size()) {
                const ssize_t n =
                    send(c, response.data() + sent, response.size() - sent, MSG_NOSIGNAL);
                if (n <= 0)
                    break;
                sent += static_cast<size_t>(n);
            }
            close(c);
        }
        for (int c : silentClients)
            close(c);
    }

    int fStatus;
    std::string fBody;
    bool fSilent;
    int fListen = -1;
    int fPort = 0;
    std::atomic<bool> fStop{false};
    std::thread fThread;
    mutable std::mutex fMutex;
    std::vector<std::string> fRequests;
};

} // namespace apptest
