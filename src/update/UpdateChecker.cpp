#include "update/UpdateChecker.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <system_error>

#ifdef _WIN32
#include <windows.h>
#endif

namespace brimtone {

namespace {

std::int32_t littleEndianWord(std::string_view bytes)
{
    std::uint32_t word = 0;
    for (int i = 3; i >= 0; --i)
        word = (word << 8) | static_cast<unsigned char>(bytes[static_cast<std::size_t>(i)]);
    return static_cast<std::int32_t>(word);
}

std::int32_t uniqueIdOf(const PluginIdentity& identity)
{
    std::uint32_t id = 0;
    for (char c : identity.uniqueId)
        id = (id << 8) | static_cast<unsigned char>(c);
    return static_cast<std::int32_t>(id);
}

// How long cancel() waits for the worker before leaving it to finish alone;
// the transfer sees a cancel within one 50 ms poll.
constexpr std::chrono::milliseconds kCancelWait{100};

} // namespace

const char* UpdateResult::statusText() const
{
    switch (status) {
    case UpdateStatus::latestVersion:
        return "This is the latest version";
    case UpdateStatus::newVersionAvailable:
        return "New version is available";
    case UpdateStatus::connectionError:
        break;
    }
    return "Connection error";
}

std::int32_t findPublishedVersion(std::string_view versionFile, std::int32_t uniqueId)
{
    constexpr std::size_t kRecordSize = 8;
    for (std::size_t at = 0; versionFile.size() - at >= kRecordSize; at += kRecordSize) {
        std::string_view record = versionFile.substr(at, kRecordSize);
        if (littleEndianWord(record) == uniqueId)
            return littleEndianWord(record.substr(4));
    }
    return 0;
}

UpdateResult classifyVersion(std::int32_t publishedVersion, std::int32_t ownVersion)
{
    if (publishedVersion == 0)
        return {0, UpdateStatus::connectionError};
    if (publishedVersion == ownVersion)
        return {publishedVersion, UpdateStatus::latestVersion};
    return {publishedVersion, UpdateStatus::newVersionAvailable};
}

std::string versionFileUrl(const PluginIdentity& identity)
{
    const char* override = std::getenv("BRIMTONE_UPDATE_URL");
    if (override != nullptr && override[0] != '\0')
        return override;
    return std::string(identity.versionUrl, strnlen(identity.versionUrl, sizeof identity.versionUrl));
}

// Everything the worker touches; the checker and the worker each hold a reference.
struct UpdateChecker::Check {
    std::string url;
    std::string userAgent;
    std::int32_t uniqueId = 0;
    std::int32_t ownVersion = 0;
    platform::HttpLimits limits;
    UpdateResultMessage message;
    platform::HttpCancel cancel;

    std::mutex mutex;
    std::condition_variable finishedSignal;
    bool finished = false;
    std::int32_t publishedVersion = 0;
};

UpdateChecker::UpdateChecker(platform::HttpLimits limits) : limits_(limits) {}

UpdateChecker::~UpdateChecker() { cancel(); }

bool UpdateChecker::start(const PluginIdentity& identity, UpdateResultMessage message)
{
    if (running())
        return false;
    if (worker_.joinable())
        worker_.join(); // its check has finished: the thread is leaving
    auto check = std::make_shared<Check>();
    check->url = versionFileUrl(identity);
    check->userAgent.assign(identity.product, strnlen(identity.product, sizeof identity.product));
    check->uniqueId = uniqueIdOf(identity);
    check->ownVersion = identity.versionCode;
    check->limits = limits_;
    check->message = message;
    check_ = check;
    try {
        worker_ = std::thread(&UpdateChecker::run, std::move(check));
    } catch (const std::system_error&) {
        check_->finished = true; // no thread: the check ends as a failure
    }
    return true;
}

bool UpdateChecker::running() const
{
    if (!check_)
        return false;
    std::lock_guard lock(check_->mutex);
    return !check_->finished;
}

std::optional<UpdateResult> UpdateChecker::poll()
{
    if (!check_)
        return std::nullopt;
    std::int32_t published = 0;
    {
        std::lock_guard lock(check_->mutex);
        if (!check_->finished)
            return std::nullopt;
        published = check_->publishedVersion;
    }
    if (worker_.joinable())
        worker_.join();
    UpdateResult result = classifyVersion(published, check_->ownVersion);
    check_.reset();
    return result;
}

void UpdateChecker::cancel()
{
    if (!check_)
        return;
    check_->cancel.cancel();
    bool finished = false;
    {
        std::unique_lock lock(check_->mutex);
        finished = check_->finishedSignal.wait_for(lock, kCancelWait, [this] { return check_->finished; });
    }
    if (worker_.joinable()) {
        if (finished)
            worker_.join();
        else
            worker_.detach(); // it holds its own reference to everything it touches
    }
    check_.reset();
}

void UpdateChecker::run(std::shared_ptr<Check> check)
{
    platform::HttpResponse response = platform::httpGet(check->url, check->userAgent, check->limits, check->cancel);
    std::int32_t published
        = response.outcome == platform::HttpOutcome::ok ? findPublishedVersion(response.body, check->uniqueId) : 0;
    std::lock_guard lock(check->mutex);
    check->publishedVersion = published;
    check->finished = true;
#ifdef _WIN32
    if (check->message.window != nullptr && !check->cancel.cancelled())
        PostMessageA(static_cast<HWND>(check->message.window), check->message.id, static_cast<WPARAM>(published), 0);
#endif
    check->finishedSignal.notify_all();
}

} // namespace brimtone
