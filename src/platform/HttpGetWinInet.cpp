#ifdef _WIN32
// WinINet follows no redirect here on its own (it has no limit for them) and
// has no overall deadline, and a read waits for its whole buffer: a watchdog
// thread closes the session handle when the deadline passes, which ends any
// call blocked on it.
#include "platform/HttpGet.h"

#include <condition_variable>
#include <thread>
#include <windows.h>
#include <wininet.h>

namespace brimtone::platform {
namespace {

using Clock = std::chrono::steady_clock;

constexpr DWORD kRequestFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_NO_COOKIES
                                | INTERNET_FLAG_NO_UI | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_AUTO_REDIRECT;

DWORD millisecondsUntil(Clock::time_point deadline)
{
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<DWORD>(left) : 0;
}

void setTimeout(HINTERNET handle, DWORD option, DWORD milliseconds)
{
    InternetSetOptionA(handle, option, &milliseconds, sizeof milliseconds);
}

class Watchdog {
public:
    Watchdog(Clock::time_point deadline, HttpCancel& cancel)
        : thread_([this, deadline, &cancel] {
              std::unique_lock lock(mutex_);
              if (!finishedSignal_.wait_until(lock, deadline, [this] { return finished_; })) {
                  expired_ = true;
                  cancel.expire();
              }
          })
    {}
    ~Watchdog()
    {
        {
            std::lock_guard lock(mutex_);
            finished_ = true;
        }
        finishedSignal_.notify_one();
        thread_.join();
    }
    bool expired() const { return expired_; }

private:
    std::mutex mutex_;
    std::condition_variable finishedSignal_;
    bool finished_ = false;
    std::atomic<bool> expired_{false};
    std::thread thread_;
};

HttpOutcome failureOf(const HttpCancel& cancel)
{
    if (cancel.cancelled())
        return HttpOutcome::cancelled;
    return GetLastError() == ERROR_INTERNET_TIMEOUT ? HttpOutcome::timedOut : HttpOutcome::failed;
}

HttpResponse readBody(HINTERNET request, const HttpLimits& limits, const HttpCancel& cancel, Clock::time_point deadline)
{
    HttpResponse response{HttpOutcome::ok, {}};
    char chunk[4096];
    for (;;) {
        DWORD left = millisecondsUntil(deadline);
        if (cancel.cancelled() || left == 0)
            return {cancel.cancelled() ? HttpOutcome::cancelled : HttpOutcome::timedOut, {}};
        setTimeout(request, INTERNET_OPTION_RECEIVE_TIMEOUT, left);
        // Ask for no more than has arrived: a read of a larger buffer would wait
        // for all of it, however slowly the server trickles.
        DWORD available = 0;
        if (!InternetQueryDataAvailable(request, &available, 0, 0))
            return {failureOf(cancel), {}};
        DWORD got = 0;
        if (available > 0
            && !InternetReadFile(request, chunk, available < sizeof chunk ? available : sizeof chunk, &got))
            return {failureOf(cancel), {}};
        if (got == 0)
            return response;
        if (got > limits.maxBytes - response.body.size())
            return {HttpOutcome::tooLarge, {}};
        response.body.append(chunk, got);
    }
}

HttpResponse fetch(HINTERNET session, std::string url, const HttpLimits& limits, const HttpCancel& cancel,
                   Clock::time_point deadline)
{
    for (int redirects = 0;; ++redirects) {
        if (!isWebAddress(url))
            return {HttpOutcome::failed, {}};
        HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0, kRequestFlags, 0);
        if (request == nullptr)
            return {failureOf(cancel), {}};
        DWORD status = 0;
        DWORD size = sizeof status;
        if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
            status = 0;
        if (status == 200) {
            HttpResponse response = readBody(request, limits, cancel, deadline);
            InternetCloseHandle(request);
            return response;
        }
        bool redirect = status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
        char location[2048];
        DWORD locationLength = sizeof location;
        char next[2048];
        DWORD nextLength = sizeof next;
        bool followable = redirect && HttpQueryInfoA(request, HTTP_QUERY_LOCATION, location, &locationLength, nullptr)
                          && InternetCombineUrlA(url.c_str(), location, next, &nextLength, 0);
        InternetCloseHandle(request);
        if (!followable)
            return {redirect ? HttpOutcome::failed : HttpOutcome::badStatus, {}};
        if (redirects >= limits.maxRedirects)
            return {HttpOutcome::tooManyRedirects, {}};
        url.assign(next, nextLength);
    }
}

} // namespace

HttpResponse httpGet(const std::string& url, const std::string& userAgent, const HttpLimits& limits, HttpCancel& cancel)
{
    auto deadline = Clock::now() + limits.totalTimeout;
    HINTERNET session = InternetOpenA(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    if (session == nullptr)
        return {HttpOutcome::failed, {}};
    setTimeout(session, INTERNET_OPTION_CONNECT_TIMEOUT, static_cast<DWORD>(limits.connectTimeout.count()));
    setTimeout(session, INTERNET_OPTION_SEND_TIMEOUT, millisecondsUntil(deadline));
    setTimeout(session, INTERNET_OPTION_RECEIVE_TIMEOUT, millisecondsUntil(deadline));
    if (!cancel.attach(session)) {
        InternetCloseHandle(session);
        return {HttpOutcome::cancelled, {}};
    }
    HttpResponse response;
    bool expired = false;
    {
        Watchdog watchdog(deadline, cancel);
        response = fetch(session, url, limits, cancel, deadline);
        expired = watchdog.expired();
    }
    if (void* stillOpen = cancel.detach())
        InternetCloseHandle(static_cast<HINTERNET>(stillOpen));
    if (cancel.cancelled())
        return {HttpOutcome::cancelled, {}};
    if (expired)
        return {HttpOutcome::timedOut, {}};
    return response;
}

} // namespace brimtone::platform
#endif
