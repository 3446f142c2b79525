// A full disk, as far as one process can see it: while a FileSizeLimit lives,
// no file of this process can grow beyond `bytes`; a write past the limit
// fails (EFBIG) instead of stopping the process.
#pragma once

#if defined(_WIN32)

// Windows has no per-process file size limit: the limit is never active, and
// the tests that need it skip.
using rlim_t = unsigned long long;

namespace tak::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t) {}
    bool active() const { return false; }
};

}  // namespace tak::test

#define TAKTARIUM_REQUIRE_FILE_SIZE_LIMIT(limit) \
    if (!(limit).active()) GTEST_SKIP() << "no file size limit on Windows"

#else

#include <sys/resource.h>

#include <csignal>

namespace tak::test {

class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        getrlimit(RLIMIT_FSIZE, &previous_);
        struct rlimit limit = previous_;
        limit.rlim_cur = bytes;
        set_ = setrlimit(RLIMIT_FSIZE, &limit) == 0;
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

    bool active() const { return set_; }

private:
    struct rlimit previous_ {};
    void (*previousHandler_)(int) = SIG_DFL;
    bool set_ = false;
};

}  // namespace tak::test

// Fails the test when the limit could not be set.
#define TAKTARIUM_REQUIRE_FILE_SIZE_LIMIT(limit) ASSERT_TRUE((limit).active())

#endif  // _WIN32
