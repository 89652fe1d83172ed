// Runs one program once and tells how long it took to its first painted frame
// and to its exit, and its peak resident memory:
//
//   startup_runner PROGRAM [ARGS...]
//   -> "paint-ms P exit-ms E paint-rss-kb Q rss-kb R"
//
// The clock starts just before the program is spawned. The program prints
// "first-paint-ns N" (CLOCK_MONOTONIC) on its standard output once its first
// frame is on the screen, and "first-paint-hwm-kb Q", its peak RSS until
// then; R is the kernel's peak RSS for the child's whole life.
#include <spawn.h>
#include <sys/resource.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

extern char** environ;

namespace {

long long monotonicNs()
{
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

double milliseconds(long long nanoseconds)
{
    return static_cast<double>(nanoseconds) / 1e6;
}

int fail(const char* what)
{
    std::fprintf(stderr, "startup_runner: %s: %s\n", what, std::strerror(errno));
    return 2;
}

} // namespace

int main(int argc, char* argv[])
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: startup_runner PROGRAM [ARGS...]\n");
        return 2;
    }

    int output[2];
    if (pipe(output) != 0)
        return fail("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, output[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, output[0]);
    posix_spawn_file_actions_addclose(&actions, output[1]);

    const long long start = monotonicNs();
    pid_t child = 0;
    const int spawned = posix_spawn(&child, argv[1], &actions, nullptr, argv + 1, environ);
    posix_spawn_file_actions_destroy(&actions);
    close(output[1]);
    if (spawned != 0) {
        errno = spawned;
        return fail(argv[1]);
    }

    std::string text;
    char buffer[4096];
    for (;;) {
        const ssize_t got = read(output[0], buffer, sizeof buffer);
        if (got > 0)
            text.append(buffer, static_cast<std::size_t>(got));
        else if (got == 0 || errno != EINTR)
            break;
    }
    close(output[0]);

    int status = 0;
    rusage usage{};
    while (wait4(child, &status, 0, &usage) < 0) {
        if (errno != EINTR)
            return fail("wait4");
    }
    const long long end = monotonicNs();

    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "startup_runner: %s did not exit cleanly (status %d)\n", argv[1], status);
        return 1;
    }
    const std::string tag = "first-paint-ns ";
    const std::size_t at = text.find(tag);
    if (at == std::string::npos) {
        std::fprintf(stderr, "startup_runner: %s never reported its first paint\n", argv[1]);
        return 1;
    }
    const long long painted = std::strtoll(text.c_str() + at + tag.size(), nullptr, 10);
    const std::string hwmTag = "first-paint-hwm-kb ";
    const std::size_t hwmAt = text.find(hwmTag);
    const long paintRss
        = hwmAt == std::string::npos ? -1 : std::strtol(text.c_str() + hwmAt + hwmTag.size(), nullptr, 10);
    if (paintRss <= 0) {
        std::fprintf(stderr, "startup_runner: %s never reported its peak memory at first paint\n", argv[1]);
        return 1;
    }
    if (painted < start || painted > end) {
        std::fprintf(stderr, "startup_runner: %s reported a first paint outside its lifetime\n", argv[1]);
        return 1;
    }

    std::printf("paint-ms %.3f exit-ms %.3f paint-rss-kb %ld rss-kb %ld\n", milliseconds(painted - start),
        milliseconds(end - start), paintRss, usage.ru_maxrss);
    return 0;
}
