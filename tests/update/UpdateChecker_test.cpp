#include "update/UpdateChecker.h"

#include "LocalHttpServer.h"
#include "platform/HttpGet.h"

#include <gtest/gtest.h>

#include <cstdlib>

using namespace brimtone;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

std::string record(const char id[4], std::int32_t version)
{
    // Little-endian words: the ID's characters appear last-to-first.
    std::string bytes{id[3], id[2], id[1], id[0]};
    for (int shift = 0; shift < 32; shift += 8)
        bytes += static_cast<char>((static_cast<std::uint32_t>(version) >> shift) & 0xff);
    return bytes;
}

std::string ourRecord(std::int32_t version) { return record(pluginIdentity.uniqueId, version); }

void setVariable(const char* name, const std::string& value)
{
#ifdef _WIN32
    _putenv_s(name, value.c_str());
#else
    setenv(name, value.c_str(), 1); // empty: the built-in address
#endif
}

// Wine's WinINet keeps a call blocked in InternetOpenUrlA waiting for an answer
// for its own 10 s, whatever the timeouts, and closing the handle does not end
// it; there the checks of a silent server stop at what the owner sees.
#ifdef _WIN32
constexpr bool kSilentServerIsCutOff = false;
#else
constexpr bool kSilentServerIsCutOff = true;
#endif

double secondsSince(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class UpdateCheck : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::HttpCancel cancel;
        if (platform::httpGet("http://127.0.0.1:1/", "probe", {}, cancel).outcome
            == platform::HttpOutcome::clientMissing)
            GTEST_SKIP() << "libcurl.so.4 is not installed (Debian package libcurl4)";
    }
    void TearDown() override { setVariable("BRIMTONE_UPDATE_URL", ""); }

    // Runs one check against `server` and waits for its result.
    static std::optional<UpdateResult> check(const LocalHttpServer& server, platform::HttpLimits limits = {})
    {
        setVariable("BRIMTONE_UPDATE_URL", server.url("/versions.dat"));
        UpdateChecker checker(limits);
        EXPECT_TRUE(checker.start(pluginIdentity));
        auto end = Clock::now() + 10s;
        while (Clock::now() < end) {
            if (auto result = checker.poll())
                return result;
            std::this_thread::sleep_for(5ms);
        }
        return std::nullopt;
    }
    static LocalHttpServer serving(std::string reply)
    {
        return LocalHttpServer([reply](LocalHttpServer::Connection& c) { c.send(reply); });
    }
};

platform::HttpResponse fetch(const std::string& url, platform::HttpLimits limits = {})
{
    platform::HttpCancel cancel;
    return platform::httpGet(url, "test", limits, cancel);
}

} // namespace

TEST(VersionFile, FirstWholeRecordOfOursCountsAndOnlyOurOwnVersionIsLatest)
{
    const std::int32_t id = pluginUniqueId(), own = pluginIdentity.versionCode;
    EXPECT_EQ(findPublishedVersion(record("ABCD", 7) + ourRecord(1003) + ourRecord(1009), id), 1003);
    for (const std::string& file : {record("ABCD", 7) + "\x54\x52\x42\x51", "xxxx" + ourRecord(1003),
                                    ourRecord(1003).substr(0, 7), std::string()})
        EXPECT_EQ(findPublishedVersion(file, id), 0) << file.size() << " bytes";
    const struct {
        std::int32_t published;
        const char* text;
        bool download;
    } cases[] = {{own, "This is the latest version", false},
                 {own + 1, "New version is available", true},
                 {own - 1, "New version is available", true},
                 {0, "Connection error", false}};
    for (const auto& c : cases) {
        EXPECT_STREQ(classifyVersion(c.published, own).statusText(), c.text) << c.published;
        EXPECT_EQ(classifyVersion(c.published, own).offersDownload(), c.download) << c.published;
    }
}

TEST_F(UpdateCheck, AsksForTheVersionFileAndReadsOurRecordAnythingElseIsAConnectionError)
{
    const std::int32_t own = pluginIdentity.versionCode;
    const std::string html = "<html><body>Not here</body></html>", error = "Connection error";
    const std::pair<std::string, std::string> cases[]
        = {{LocalHttpServer::answer(200, record("ABCD", 5000) + ourRecord(own + 1)), "New version is available"},
           {LocalHttpServer::answer(200, ourRecord(own)), "This is the latest version"},
           {LocalHttpServer::answer(404, html + ourRecord(1001)), error},
           {LocalHttpServer::answer(200, html), error},
           {LocalHttpServer::answer(200, record("ABCD", 1001) + "\x54\x52\x42\x51"), error},
           {LocalHttpServer::answer(200, record("ABCD", 1001)), error},
           {"garbage\r\n\r\n", error}};
    for (const auto& [reply, text] : cases) {
        auto server = serving(reply);
        auto result = check(server);
        ASSERT_TRUE(result);
        EXPECT_STREQ(result->statusText(), text.c_str()) << reply;
        const std::string request = server.lastRequest();
        EXPECT_EQ(request.rfind("GET /versions.dat HTTP/1.1\r\n", 0), 0u) << request;
        EXPECT_NE(request.find("User-Agent: QIV Brimtone RX14\r\n"), std::string::npos) << request;
        EXPECT_NE(request.find("Pragma: no-cache\r\n"), std::string::npos) << request;
    }
}

TEST_F(UpdateCheck, HostileServersAreCutOff)
{
    platform::HttpLimits limits;
    limits.connectTimeout = 500ms;
    limits.totalTimeout = 800ms;

    // Accepts and never answers: the whole-transfer limit ends it.
    LocalHttpServer silent([](LocalHttpServer::Connection& c) { c.waitForClose(10s); });
    auto start = Clock::now();
    if (kSilentServerIsCutOff) {
        EXPECT_EQ(fetch(silent.url("/"), limits).outcome, platform::HttpOutcome::timedOut);
        EXPECT_LT(secondsSince(start), 2.0);
    }

    // A byte every 200 ms: libcurl drops it by the low-speed limit long before
    // the total one; WinINet, which has none, by the read loop's deadline.
    auto trickleLimits = limits;
#ifndef _WIN32
    trickleLimits.totalTimeout = 10s;
    trickleLimits.lowSpeedTime = 1s;
#endif
    LocalHttpServer trickle([](LocalHttpServer::Connection& c) {
        for (bool open = c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"); open && !c.stopping;
             open = c.send("x"))
            std::this_thread::sleep_for(200ms);
    });
    start = Clock::now();
    EXPECT_EQ(fetch(trickle.url("/"), trickleLimits).outcome, platform::HttpOutcome::timedOut);
    EXPECT_LT(secondsSince(start), 4.0);

    // An endless body without a length: the transfer stops once 64 KiB are in.
    LocalHttpServer endless([](LocalHttpServer::Connection& c) {
        for (bool open = c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n"); open && !c.stopping;)
            open = c.send(std::string(64 * 1024, 'x')) && c.bytesSent < (64ll << 20);
    });
    EXPECT_EQ(fetch(endless.url("/")).outcome, platform::HttpOutcome::tooLarge);
    EXPECT_LT(endless.bytesSent(), 16ll << 20); // of 64 MiB offered; the rest is socket buffers

    auto loop = serving("HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    EXPECT_EQ(fetch(loop.url("/")).outcome, platform::HttpOutcome::tooManyRedirects);
    EXPECT_EQ(loop.connections(), platform::HttpLimits{}.maxRedirects + 1);

    auto elsewhere = serving("HTTP/1.1 302 Found\r\nLocation: file:///etc/passwd\r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(fetch(elsewhere.url("/")).outcome, platform::HttpOutcome::failed);
    EXPECT_EQ(fetch("file:///etc/passwd").outcome, platform::HttpOutcome::failed);

    // The same failures reach the status line as a connection error.
    auto result = check(kSilentServerIsCutOff ? silent : trickle, limits);
    ASSERT_TRUE(result);
    EXPECT_STREQ(result->statusText(), "Connection error");
}

TEST_F(UpdateCheck, ClosingMidCheckReturnsAtOnceAndStopsTheTransfer)
{
    std::atomic<int> clientsLeft{0};
    LocalHttpServer silent([&](LocalHttpServer::Connection& c) { clientsLeft += c.waitForClose(5s) ? 1 : 0; });
    setVariable("BRIMTONE_UPDATE_URL", silent.url("/versions.dat"));
    auto waitFor = [](auto done) {
        for (int i = 0; i < 200 && !done(); ++i)
            std::this_thread::sleep_for(5ms);
        return done();
    };

    auto checker = std::make_unique<UpdateChecker>();
    ASSERT_TRUE(checker->start(pluginIdentity));
    ASSERT_TRUE(waitFor([&] { return silent.connections() == 1; }));
    auto start = Clock::now();
    checker->cancel(); // the editor closes
    EXPECT_LT(secondsSince(start), 0.15);
    EXPECT_FALSE(checker->running());
    EXPECT_FALSE(checker->poll()); // a closed editor gets no answer
    if (kSilentServerIsCutOff) {
        EXPECT_TRUE(waitFor([&] { return clientsLeft == 1; })) << "the cancelled transfer went on";
    }
}

#ifdef _WIN32
TEST_F(UpdateCheck, PostsTheResultMessageToTheWindow)
{
    auto server = serving(LocalHttpServer::answer(200, ourRecord(pluginIdentity.versionCode + 1)));
    setVariable("BRIMTONE_UPDATE_URL", server.url("/versions.dat"));
    HWND window = CreateWindowExA(0, "STATIC", "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    UpdateChecker checker;
    ASSERT_TRUE(checker.start(pluginIdentity, {window, WM_USER + 2}));
    MSG message{};
    for (auto end = Clock::now() + 10s; !PeekMessageA(&message, window, WM_USER + 2, WM_USER + 2, PM_REMOVE);
         std::this_thread::sleep_for(5ms))
        ASSERT_LT(Clock::now(), end) << "no result message";
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(pluginIdentity.versionCode + 1));
    auto result = checker.poll();
    ASSERT_TRUE(result);
    EXPECT_STREQ(result->statusText(), "New version is available");
    DestroyWindow(window);
}
#endif
