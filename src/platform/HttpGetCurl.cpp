#ifndef _WIN32
// libcurl is opened with dlopen on the first transfer and never linked, so the
// module loads where it is missing. The few declarations used are those of
// libcurl's published interface (curl/curl.h, curl/multi.h).
#include "platform/HttpGet.h"

#include <dlfcn.h>

namespace brimtone::platform {
namespace {

using CurlCode = int;
struct CurlList;
struct CurlMessage {
    int kind;
    void* easy;
    union {
        void* whatever;
        CurlCode result;
    } data;
};

constexpr int kMessageDone = 1;
constexpr long kGlobalDefault = 3;
constexpr int kInfoResponseCode = 0x200000 + 2;
constexpr long kProtocolsHttpAndHttps = 1 | 2;

enum Option : int {
    optWriteData = 10001,
    optUrl = 10002,
    optUserAgent = 10018,
    optHttpHeader = 10023,
    optWriteFunction = 20011,
    optLowSpeedLimit = 19,
    optLowSpeedTime = 20,
    optFollowLocation = 52,
    optMaxRedirects = 68,
    optNoSignal = 99,
    optMaxFileSize = 114,
    optTimeoutMs = 155,
    optConnectTimeoutMs = 156,
    optProtocols = 181,
    optRedirectProtocols = 182,
    optProtocolsText = 10318,
    optRedirectProtocolsText = 10319,
};

enum Code : CurlCode {
    codeOk = 0,
    codeWriteError = 23,
    codeTimedOut = 28,
    codeTooManyRedirects = 47,
    codeFileSizeExceeded = 63,
};

struct Curl {
    bool loaded = false;
    CurlCode (*globalInit)(long) = nullptr;
    void* (*easyInit)() = nullptr;
    CurlCode (*easySetopt)(void*, int, ...) = nullptr;
    CurlCode (*easyGetinfo)(void*, int, ...) = nullptr;
    void (*easyCleanup)(void*) = nullptr;
    void* (*multiInit)() = nullptr;
    int (*multiAddHandle)(void*, void*) = nullptr;
    int (*multiRemoveHandle)(void*, void*) = nullptr;
    int (*multiPerform)(void*, int*) = nullptr;
    int (*multiPoll)(void*, void*, unsigned, int, int*) = nullptr;
    CurlMessage* (*multiInfoRead)(void*, int*) = nullptr;
    int (*multiCleanup)(void*) = nullptr;
    CurlList* (*listAppend)(CurlList*, const char*) = nullptr;
    void (*listFreeAll)(CurlList*) = nullptr;
};

template <typename Function>
bool bind(void* library, const char* name, Function& function)
{
    function = reinterpret_cast<Function>(dlsym(library, name));
    return function != nullptr;
}

Curl loadCurl()
{
    Curl curl;
    void* library = dlopen("libcurl.so.4", RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr)
        return curl;
    // curl_multi_poll needs libcurl 7.66 or later.
    curl.loaded
        = bind(library, "curl_global_init", curl.globalInit) && bind(library, "curl_easy_init", curl.easyInit)
          && bind(library, "curl_easy_setopt", curl.easySetopt) && bind(library, "curl_easy_getinfo", curl.easyGetinfo)
          && bind(library, "curl_easy_cleanup", curl.easyCleanup) && bind(library, "curl_multi_init", curl.multiInit)
          && bind(library, "curl_multi_add_handle", curl.multiAddHandle)
          && bind(library, "curl_multi_remove_handle", curl.multiRemoveHandle)
          && bind(library, "curl_multi_perform", curl.multiPerform) && bind(library, "curl_multi_poll", curl.multiPoll)
          && bind(library, "curl_multi_info_read", curl.multiInfoRead)
          && bind(library, "curl_multi_cleanup", curl.multiCleanup)
          && bind(library, "curl_slist_append", curl.listAppend)
          && bind(library, "curl_slist_free_all", curl.listFreeAll) && curl.globalInit(kGlobalDefault) == codeOk;
    // The library stays loaded for the life of the process: libcurl cannot be
    // unloaded safely once initialised.
    return curl;
}

const Curl& curl()
{
    static const Curl loaded = loadCurl();
    return loaded;
}

struct Sink {
    std::string body;
    std::size_t maxBytes;
    bool overflowed = false;
};

std::size_t collect(char* data, std::size_t size, std::size_t count, void* sinkPointer)
{
    auto& sink = *static_cast<Sink*>(sinkPointer);
    std::size_t bytes = size * count;
    if (bytes > sink.maxBytes - sink.body.size()) {
        sink.overflowed = true;
        return 0; // fewer bytes than offered: libcurl abandons the transfer
    }
    sink.body.append(data, bytes);
    return bytes;
}

HttpOutcome outcomeOf(CurlCode code, const Sink& sink)
{
    switch (code) {
    case codeOk:
        return HttpOutcome::ok;
    case codeWriteError:
    case codeFileSizeExceeded:
        return sink.overflowed || code == codeFileSizeExceeded ? HttpOutcome::tooLarge : HttpOutcome::failed;
    case codeTimedOut:
        return HttpOutcome::timedOut;
    case codeTooManyRedirects:
        return HttpOutcome::tooManyRedirects;
    default:
        return HttpOutcome::failed;
    }
}

bool configure(const Curl& c, void* easy, const std::string& url, const std::string& userAgent,
               const HttpLimits& limits, Sink& sink, CurlList* headers)
{
    bool ok = c.easySetopt(easy, optUrl, url.c_str()) == codeOk;
    ok = ok && c.easySetopt(easy, optUserAgent, userAgent.c_str()) == codeOk;
    ok = ok && c.easySetopt(easy, optHttpHeader, headers) == codeOk;
    ok = ok && c.easySetopt(easy, optWriteFunction, &collect) == codeOk;
    ok = ok && c.easySetopt(easy, optWriteData, &sink) == codeOk;
    ok = ok && c.easySetopt(easy, optNoSignal, 1L) == codeOk;
    ok = ok && c.easySetopt(easy, optConnectTimeoutMs, static_cast<long>(limits.connectTimeout.count())) == codeOk;
    ok = ok && c.easySetopt(easy, optTimeoutMs, static_cast<long>(limits.totalTimeout.count())) == codeOk;
    ok = ok && c.easySetopt(easy, optLowSpeedLimit, limits.lowSpeedBytesPerSecond) == codeOk;
    ok = ok && c.easySetopt(easy, optLowSpeedTime, static_cast<long>(limits.lowSpeedTime.count())) == codeOk;
    ok = ok && c.easySetopt(easy, optMaxFileSize, static_cast<long>(limits.maxBytes)) == codeOk;
    ok = ok && c.easySetopt(easy, optFollowLocation, limits.maxRedirects > 0 ? 1L : 0L) == codeOk;
    ok = ok && c.easySetopt(easy, optMaxRedirects, static_cast<long>(limits.maxRedirects)) == codeOk;
    // Only http and https, also where a redirect points; the text form replaces
    // the bit mask from libcurl 7.85 on.
    if (c.easySetopt(easy, optProtocolsText, "http,https") != codeOk)
        ok = ok && c.easySetopt(easy, optProtocols, kProtocolsHttpAndHttps) == codeOk;
    if (c.easySetopt(easy, optRedirectProtocolsText, "http,https") != codeOk)
        ok = ok && c.easySetopt(easy, optRedirectProtocols, kProtocolsHttpAndHttps) == codeOk;
    return ok;
}

// Runs the transfer on a multi handle so that a cancel is seen within one
// 50 ms poll, where the easy interface may sleep for a second between checks.
HttpOutcome perform(const Curl& c, void* easy, HttpCancel& cancel, const Sink& sink)
{
    void* multi = c.multiInit();
    if (multi == nullptr)
        return HttpOutcome::failed;
    HttpOutcome outcome = HttpOutcome::failed;
    if (c.multiAddHandle(multi, easy) == 0) {
        int running = 1;
        while (!cancel.cancelled() && c.multiPerform(multi, &running) == 0 && running > 0)
            c.multiPoll(multi, nullptr, 0, 50, nullptr);
        if (cancel.cancelled()) {
            outcome = HttpOutcome::cancelled;
        } else if (running == 0) {
            int left = 0;
            while (CurlMessage* message = c.multiInfoRead(multi, &left))
                if (message->kind == kMessageDone && message->easy == easy)
                    outcome = outcomeOf(message->data.result, sink);
        }
        c.multiRemoveHandle(multi, easy);
    }
    c.multiCleanup(multi);
    return outcome;
}

} // namespace

HttpResponse httpGet(const std::string& url, const std::string& userAgent, const HttpLimits& limits, HttpCancel& cancel)
{
    const Curl& c = curl();
    if (!c.loaded)
        return {HttpOutcome::clientMissing, {}};
    void* easy = c.easyInit();
    if (easy == nullptr)
        return {HttpOutcome::failed, {}};

    // Caches between here and the server are asked for a fresh copy.
    CurlList* headers = c.listAppend(nullptr, "Cache-Control: no-cache");
    if (CurlList* both = headers != nullptr ? c.listAppend(headers, "Pragma: no-cache") : nullptr)
        headers = both;

    Sink sink{{}, limits.maxBytes};
    HttpResponse response;
    if (configure(c, easy, url, userAgent, limits, sink, headers))
        response.outcome = perform(c, easy, cancel, sink);
    if (response.outcome == HttpOutcome::ok) {
        long status = 0;
        c.easyGetinfo(easy, kInfoResponseCode, &status);
        if (status == 200)
            response.body = std::move(sink.body);
        else
            response.outcome = HttpOutcome::badStatus;
    }
    c.easyCleanup(easy);
    if (headers != nullptr)
        c.listFreeAll(headers);
    return response;
}

} // namespace brimtone::platform
#endif
