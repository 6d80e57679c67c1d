#pragma once
// The on-request question to the maker's web server: is a newer version of
// this plug-in published? One worker thread per check fetches the version file
// (8-byte records: unique ID, version code, both 32-bit little-endian) and
// leaves the answer for the editor, which picks it up on its own thread with
// poll(). On Windows the worker also posts the given window message as a
// wake-up; the result itself is always read through poll().
//
// The worker shares only a reference-counted record with the checker, so a
// checker destroyed mid-check never waits longer than about 100 ms and the
// worker never touches freed memory.

#include "platform/HttpGet.h"
#include "shell/PluginIdentity.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>

namespace brimtone {

inline constexpr const char* kCheckingForUpdatesText = "Checking for updates...";
inline constexpr const char* kDownloadQuestionText = "New version is available. Proceed to download page?";

enum class UpdateStatus { connectionError, latestVersion, newVersionAvailable };

struct UpdateResult {
    std::int32_t publishedVersion = 0; // 0: no answer, or no record for this plug-in
    UpdateStatus status = UpdateStatus::connectionError;

    // The status line: "Connection error", "This is the latest version" or
    // "New version is available".
    const char* statusText() const;
    // Any other published version, older ones too, offers the download page
    // (the identity's downloadUrl; never an address from the server).
    bool offersDownload() const { return status == UpdateStatus::newVersionAvailable; }
};

// The version of the first record whose ID is `uniqueId`; 0 when none matches.
// A trailing partial record is ignored.
std::int32_t findPublishedVersion(std::string_view versionFile, std::int32_t uniqueId);
UpdateResult classifyVersion(std::int32_t publishedVersion, std::int32_t ownVersion);

// The identity's version file address, unless BRIMTONE_UPDATE_URL names another.
std::string versionFileUrl(const PluginIdentity& identity);

// Where Windows posts the wake-up (wParam = published version, 0 on failure).
struct UpdateResultMessage {
    void* window = nullptr;
    std::uint32_t id = 0;
};

class UpdateChecker {
public:
    explicit UpdateChecker(platform::HttpLimits limits = {});
    ~UpdateChecker(); // cancels a running check
    UpdateChecker(const UpdateChecker&) = delete;
    UpdateChecker& operator=(const UpdateChecker&) = delete;

    // Starts a check; false (and nothing happens) while one is running. An
    // earlier result not yet polled is dropped.
    bool start(const PluginIdentity& identity, UpdateResultMessage message = {});
    bool running() const;
    // The result once the check has ended, exactly once; nothing otherwise.
    std::optional<UpdateResult> poll();
    // Drops a running check without a result (the editor closes). Waits at
    // most about 100 ms for the worker to stop, then leaves it to finish alone.
    void cancel();

private:
    struct Check;
    static void run(std::shared_ptr<Check> check);

    platform::HttpLimits limits_;
    std::shared_ptr<Check> check_;
    std::thread worker_;
};

} // namespace brimtone
