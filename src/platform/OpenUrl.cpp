#include "platform/OpenUrl.h"

#include "platform/HttpGet.h"

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#else
#include <cerrno>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;
#endif

namespace brimtone::platform {

#ifdef _WIN32

bool openUrl(const std::string& url)
{
    if (!isWebAddress(url))
        return false;
    auto code = reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", url.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    return code > 32;
}

#else

// xdg-open is started by a short-lived intermediate child that exits at once,
// so the browser's process belongs to init and never becomes our zombie; the
// intermediate child is reaped here before returning.
bool openUrl(const std::string& url)
{
    if (!isWebAddress(url))
        return false;
    std::string argument = url;
    char program[] = "xdg-open";
    char* argv[] = {program, argument.data(), nullptr};

    pid_t intermediate = fork();
    if (intermediate < 0)
        return false;
    if (intermediate == 0) {
        pid_t opener = 0;
        _exit(posix_spawnp(&opener, program, nullptr, nullptr, argv, environ) == 0 ? 0 : 127);
    }
    int status = 0;
    while (waitpid(intermediate, &status, 0) < 0) {
        if (errno != EINTR)
            return errno == ECHILD; // the host reaps children itself
    }
    return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

#endif

} // namespace brimtone::platform
