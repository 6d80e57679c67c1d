#pragma once
// One HTTP(S) GET of a small file, bounded in every way a hostile or broken
// server could stretch it. Linux uses libcurl, loaded on first use (the module
// never links it, so it loads on a machine without it); Windows uses WinINet.

#include <atomic>
#include <chrono>
#include <cstddef>
#include <mutex>
#include <string>
#include <string_view>

namespace brimtone::platform {

struct HttpLimits {
    std::chrono::milliseconds connectTimeout{10000};
    std::chrono::milliseconds totalTimeout{20000};
    // A transfer slower than lowSpeedBytesPerSecond for lowSpeedTime is dropped
    // (libcurl counts whole seconds; WinINet relies on totalTimeout alone).
    long lowSpeedBytesPerSecond = 8;
    std::chrono::seconds lowSpeedTime{5};
    std::size_t maxBytes = 64 * 1024;
    int maxRedirects = 3;
};

enum class HttpOutcome {
    ok,               // status 200, body complete and within maxBytes
    clientMissing,    // no HTTP client library on this machine
    failed,           // no connection, reset, bad URL or protocol, TLS failure
    badStatus,        // an answer other than 200
    tooLarge,         // the body went past maxBytes; the transfer was abandoned
    timedOut,         // connect, total or low-speed limit reached
    tooManyRedirects, // more than maxRedirects
    cancelled,
};

struct HttpResponse {
    HttpOutcome outcome = HttpOutcome::failed;
    std::string body; // only for ok
};

// Lets the owner stop a transfer from another thread. The transfer polls
// `cancelled()` at least every 50 ms; on Windows cancel() also closes the
// session handle that the transfer registered, which wakes a blocked call.
class HttpCancel {
public:
    void cancel();
    bool cancelled() const { return requested_.load(std::memory_order_acquire); }

    // Used by the transfer: registers the handle to close on cancel. False when
    // the cancel came first (the caller then closes it itself).
    bool attach(void* handle);
    // Takes the handle back; null when cancel() or expire() has closed it already.
    void* detach();
    // Closes the registered handle without marking a cancel: the transfer's
    // own deadline passed.
    void expire();

private:
    std::atomic<bool> requested_{false};
    std::mutex mutex_;
    void* handle_ = nullptr;
};

// True for an absolute http:// or https:// address, the only kind fetched or opened.
inline bool isWebAddress(std::string_view url)
{
    auto startsWith = [url](std::string_view scheme) {
        if (url.size() <= scheme.size())
            return false;
        for (std::size_t i = 0; i < scheme.size(); ++i)
            if ((url[i] | 0x20) != scheme[i])
                return false;
        return true;
    };
    return startsWith("http://") || startsWith("https://");
}

HttpResponse httpGet(const std::string& url, const std::string& userAgent, const HttpLimits& limits,
                     HttpCancel& cancel);

} // namespace brimtone::platform
