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
    _putenv_s(name, value.c_str()); // an empty value removes it
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
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

TEST(VersionFile, FirstMatchingWholeRecordCounts)
{
    std::int32_t id = pluginUniqueId();
    EXPECT_EQ(findPublishedVersion(record("ABCD", 7) + ourRecord(1003) + ourRecord(1009), id), 1003);
    EXPECT_EQ(findPublishedVersion(record("ABCD", 7) + "\x54\x52\x42\x51", id), 0); // 12 bytes: 4 stray
    EXPECT_EQ(findPublishedVersion("xxxx" + ourRecord(1003), id), 0);               // not on a record boundary
    EXPECT_EQ(findPublishedVersion(ourRecord(1003).substr(0, 7), id), 0);
    EXPECT_EQ(findPublishedVersion("", id), 0);
}

TEST(VersionFile, OwnVersionIsLatestAnyOtherOffersTheDownload)
{
    std::int32_t own = pluginIdentity.versionCode;
    EXPECT_STREQ(classifyVersion(own, own).statusText(), "This is the latest version");
    EXPECT_FALSE(classifyVersion(own, own).offersDownload());
    for (std::int32_t published : {own + 1, own - 1}) {
        EXPECT_STREQ(classifyVersion(published, own).statusText(), "New version is available");
        EXPECT_TRUE(classifyVersion(published, own).offersDownload());
    }
    EXPECT_STREQ(classifyVersion(0, own).statusText(), "Connection error");
    EXPECT_FALSE(classifyVersion(0, own).offersDownload());
}

TEST_F(UpdateCheck, AsksTheServerForTheVersionFileAndReadsOurRecord)
{
    std::int32_t own = pluginIdentity.versionCode;
    auto newer = serving(LocalHttpServer::answer(200, record("ABCD", 5000) + ourRecord(own + 1)));
    auto result = check(newer);
    ASSERT_TRUE(result);
    EXPECT_EQ(result->publishedVersion, own + 1);
    EXPECT_STREQ(result->statusText(), "New version is available");
    std::string request = newer.lastRequest();
    EXPECT_EQ(request.rfind("GET /versions.dat HTTP/1.1\r\n", 0), 0u) << request;
    EXPECT_NE(request.find("User-Agent: QIV Brimtone RX14\r\n"), std::string::npos) << request;
    EXPECT_NE(request.find("Pragma: no-cache\r\n"), std::string::npos) << request;

    auto same = serving(LocalHttpServer::answer(200, ourRecord(own)));
    result = check(same);
    ASSERT_TRUE(result);
    EXPECT_STREQ(result->statusText(), "This is the latest version");
}

TEST_F(UpdateCheck, MalformedAnswersEndAsConnectionError)
{
    const std::string html = "<html><body>Not here</body></html>";
    for (const std::string& reply :
         {LocalHttpServer::answer(404, html + ourRecord(1001)), LocalHttpServer::answer(200, html),
          LocalHttpServer::answer(200, record("ABCD", 1001) + "\x54\x52\x42\x51"),
          LocalHttpServer::answer(200, record("ABCD", 1001)), std::string("garbage\r\n\r\n")}) {
        auto server = serving(reply);
        auto result = check(server);
        ASSERT_TRUE(result);
        EXPECT_STREQ(result->statusText(), "Connection error") << reply;
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
        bool open = c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        while (open && !c.stopping) {
            open = c.send("x");
            std::this_thread::sleep_for(200ms);
        }
    });
    start = Clock::now();
    EXPECT_EQ(fetch(trickle.url("/"), trickleLimits).outcome, platform::HttpOutcome::timedOut);
    EXPECT_LT(secondsSince(start), 4.0);

    // An endless body without a length: the transfer stops once 64 KiB are in.
    LocalHttpServer endless([](LocalHttpServer::Connection& c) {
        std::string chunk(64 * 1024, 'x');
        bool open = c.send("HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n");
        for (int i = 0; open && i < 1024 && !c.stopping; ++i)
            open = c.send(chunk);
    });
    EXPECT_EQ(fetch(endless.url("/")).outcome, platform::HttpOutcome::tooLarge);
    EXPECT_LT(endless.bytesSent(), 16ll << 20); // of 64 MiB offered; the rest is socket buffers

    // A declared length past the limit is refused before the body.
    auto declared = serving("HTTP/1.1 200 OK\r\nContent-Length: 10000000\r\n\r\n" + std::string(100000, 'x'));
    EXPECT_EQ(fetch(declared.url("/")).outcome, platform::HttpOutcome::tooLarge);

    LocalHttpServer loop([](LocalHttpServer::Connection& c) {
        c.send("HTTP/1.1 302 Found\r\nLocation: /again\r\nContent-Length: 0\r\nConnection: close\r\n\r\n");
    });
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
    ASSERT_NE(window, nullptr);
    constexpr UINT kResultMessage = WM_USER + 2;
    UpdateChecker checker;
    ASSERT_TRUE(checker.start(pluginIdentity, {window, kResultMessage}));
    MSG message{};
    bool arrived = false;
    for (auto end = Clock::now() + 10s; !arrived && Clock::now() < end;) {
        if (PeekMessageA(&message, window, kResultMessage, kResultMessage, PM_REMOVE))
            arrived = true;
        else
            std::this_thread::sleep_for(5ms);
    }
    ASSERT_TRUE(arrived);
    EXPECT_EQ(message.wParam, static_cast<WPARAM>(pluginIdentity.versionCode + 1));
    auto result = checker.poll();
    ASSERT_TRUE(result);
    EXPECT_STREQ(result->statusText(), "New version is available");
    DestroyWindow(window);
}
#endif
