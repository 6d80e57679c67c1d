#pragma once
// A one-thread HTTP server on 127.0.0.1 for the update tests. It serves one
// connection at a time through a handler that writes whatever the test needs:
// a proper answer, nothing at all, a trickle or an endless body.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using pollfd = WSAPOLLFD;
inline int poll(pollfd* entry, int n, int ms) { return WSAPoll(entry, n, ms); }
inline void closeSocket(SOCKET socket) { closesocket(socket); }
constexpr int kSendFlags = 0;
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>
using SOCKET = int;
inline void closeSocket(SOCKET socket) { ::close(socket); }
constexpr int kSendFlags = MSG_NOSIGNAL; // a client that has gone gives an error, not SIGPIPE
#endif

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

class LocalHttpServer {
public:
    static bool readable(SOCKET socket, int ms)
    {
        pollfd entry{socket, POLLIN, 0};
        return poll(&entry, 1, ms) > 0;
    }

    struct Connection {
        SOCKET socket;
        const std::atomic<bool>& stopping;
        std::atomic<long long>& bytesSent;

        bool send(std::string_view bytes)
        {
            while (!bytes.empty()) {
                auto sent = ::send(socket, bytes.data(), static_cast<int>(bytes.size()), kSendFlags);
                if (sent <= 0)
                    return false;
                bytesSent += sent;
                bytes.remove_prefix(static_cast<std::size_t>(sent));
            }
            return true;
        }
        // True once the client has closed its end; false when the server stops first.
        bool waitForClose(std::chrono::milliseconds limit)
        {
            char scratch[256];
            for (auto end = std::chrono::steady_clock::now() + limit;
                 !stopping && std::chrono::steady_clock::now() < end;)
                if (readable(socket, 10) && ::recv(socket, scratch, sizeof scratch, 0) <= 0)
                    return true;
            return false;
        }
    };

    explicit LocalHttpServer(std::function<void(Connection&)> handler) : handler_(std::move(handler))
    {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
#endif
        listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        auto length = static_cast<socklen_t>(sizeof address);
        ::bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address);
        ::listen(listener_, 8);
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length);
        port_ = ntohs(address.sin_port);
        thread_ = std::thread([this] { serve(); });
    }
    ~LocalHttpServer()
    {
        stopping_ = true;
        thread_.join();
        closeSocket(listener_);
    }

    std::string url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
    int connections() const { return connections_; }
    long long bytesSent() const { return bytesSent_; }
    std::string lastRequest() const
    {
        std::lock_guard lock(mutex_);
        return lastRequest_;
    }
    static std::string answer(int status, std::string_view body)
    {
        return "HTTP/1.1 " + std::to_string(status) + " X\r\nContent-Length: " + std::to_string(body.size())
               + "\r\nConnection: close\r\n\r\n" + std::string(body);
    }

private:
    void serve()
    {
        while (!stopping_) {
            if (!readable(listener_, 20))
                continue;
            SOCKET client = ::accept(listener_, nullptr, nullptr);
            ++connections_;
            // The request up to its blank line, as far as it comes within a second.
            std::string request;
            char chunk[1024];
            long got = 1;
            while (request.find("\r\n\r\n") == std::string::npos && got > 0 && readable(client, 1000))
                if ((got = ::recv(client, chunk, sizeof chunk, 0)) > 0)
                    request.append(chunk, static_cast<std::size_t>(got));
            {
                std::lock_guard lock(mutex_);
                lastRequest_ = request;
            }
            Connection connection{client, stopping_, bytesSent_};
            handler_(connection);
            closeSocket(client);
        }
    }

    std::function<void(Connection&)> handler_;
    SOCKET listener_{};
    int port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<int> connections_{0};
    std::atomic<long long> bytesSent_{0};
    mutable std::mutex mutex_;
    std::string lastRequest_;
    std::thread thread_;
};
