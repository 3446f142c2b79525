#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#if defined(_WIN32)
#include <windows.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>

#include "base/FileSystem.h"
#include "support/FileSizeLimit.h"
#include "support/TestSupport.h"

namespace tak {
namespace {

std::vector<std::string> FolderNames(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// Links, devices and FIFOs as Linux has them.
#if !defined(_WIN32)
TEST(ReadFileBytes, ReadsRegularFilesAlsoThroughALink) {
    test::TempDir dir;
    fs::path file = dir.Write("TTData/Busstops.cfg", "[busstop]\r\nMarkt\r\n");
    fs::create_symlink(file, dir.path() / "link.cfg");
    EXPECT_EQ(ReadFileBytes(file).value_or("?"), "[busstop]\r\nMarkt\r\n");
    EXPECT_EQ(ReadFileBytes(dir.path() / "link.cfg").value_or("?"), "[busstop]\r\nMarkt\r\n");
    EXPECT_EQ(ReadFileBytes(dir.Write("empty.cfg", "")).value_or("?"), "");
    EXPECT_FALSE(ReadFileBytes(dir.path() / "missing.cfg"));
}

TEST(ReadFileBytes, RefusesFoldersDevicesAndFilesOverTheLimit) {
    test::TempDir dir;
    // A link to an endless device would be read until memory runs out.
    fs::create_symlink("/dev/zero", dir.path() / "Chrono.cfg");
    EXPECT_FALSE(ReadFileBytes(dir.path() / "Chrono.cfg"));
    EXPECT_FALSE(ReadFileBytes(dir.path()));
    fs::path file = dir.Write("big.cfg", std::string(1000, 'x'));
    EXPECT_FALSE(ReadFileBytes(file, 999));
    EXPECT_EQ(ReadFileBytes(file, 1000).value_or("").size(), 1000u);
}

TEST(ReadFileBytes, RefusesAFifoWithoutWaitingForAWriter) {
    test::TempDir dir;
    fs::path fifo = dir.path() / "Taktarium.cfg";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    std::atomic<bool> done{false};
    // Should the reader wait for a writer after all, this one comes along after
    // a while and ends the wait, so that the test fails instead of hanging.
    std::thread watchdog([&] {
        for (int i = 0; i < 50 && !done; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(100));
        while (!done) {
            int fd = open(fifo.c_str(), O_WRONLY | O_NONBLOCK);
            if (fd >= 0) {
                (void)!write(fd, "x", 1);
                close(fd);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    });
    auto started = std::chrono::steady_clock::now();
    auto bytes = ReadFileBytes(fifo);
    done = true;
    watchdog.join();
    EXPECT_FALSE(bytes);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(2));
}

#endif  // !_WIN32

TEST(WriteFileBytes, ReplacesTheFileAndLeavesNothingElse) {
    test::TempDir dir;
    fs::path file = dir.Write("Fahrplan 1.txt", "old");
    ASSERT_TRUE(WriteFileBytes(file, "new and longer"));
    EXPECT_EQ(ReadFileBytes(file).value_or(""), "new and longer");
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"Fahrplan 1.txt"});
    EXPECT_FALSE(WriteFileBytes(dir.path() / "no such folder" / "a.txt", "x"));
}

TEST(WriteFileBytes, AFullDiskKeepsTheOldFileWhole) {
    test::TempDir dir;
    fs::path file = dir.Write("Fahrplan 1.pdf", "%PDF old document");
    {
        test::FileSizeLimit disk(1000);
        TAKTARIUM_REQUIRE_FILE_SIZE_LIMIT(disk);
        EXPECT_FALSE(WriteFileBytes(file, std::string(5000, 'n')));
        EXPECT_FALSE(WriteFilePieces(file, {"%PDF ", std::string(5000, 'n')}));
    }
    EXPECT_EQ(ReadFileBytes(file).value_or(""), "%PDF old document");
    EXPECT_EQ(FolderNames(dir.path()), std::vector<std::string>{"Fahrplan 1.pdf"}) << "no temporary file is left";
}

// A failed write keeps the system's reason for the message the user sees.
TEST(WriteFileBytes, AFullDiskKeepsTheSystemsReason) {
    test::TempDir dir;
    ClearLastWriteError();
    {
        test::FileSizeLimit disk(1000);
        TAKTARIUM_REQUIRE_FILE_SIZE_LIMIT(disk);
        EXPECT_FALSE(WriteFileBytes(dir.path() / "a.pdf", std::string(5000, 'n')));
    }
    EXPECT_EQ(LastWriteError(), std::errc::file_too_large);
}

// The same reasons on every system: a folder in the document's place, a
// missing folder, a file another program holds open (Windows locks it).
TEST(WriteFileBytes, AFailureKeepsTheSystemsReasonUntilCleared) {
    test::TempDir dir;
    ClearLastWriteError();
    fs::create_directories(dir.path() / "b.pdf");  // a folder where the document goes
    EXPECT_FALSE(WriteFileBytes(dir.path() / "b.pdf", "x"));
    EXPECT_EQ(LastWriteError(), std::errc::is_a_directory);
    EXPECT_FALSE(WriteFileBytes(dir.path() / "missing" / "c.pdf", "x"));
    EXPECT_EQ(LastWriteError(), std::errc::no_such_file_or_directory);
    ClearLastWriteError();
    EXPECT_TRUE(WriteFileBytes(dir.path() / "d.pdf", "x"));
    EXPECT_FALSE(LastWriteError());
#if defined(_WIN32)
    // A viewer that holds the document open without sharing it.
    HANDLE viewer = CreateFileW((dir.path() / "d.pdf").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(viewer, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(WriteFileBytes(dir.path() / "d.pdf", "new"));
    EXPECT_EQ(LastWriteError(), std::errc::permission_denied);
    CloseHandle(viewer);
    EXPECT_EQ(ReadFileBytes(dir.path() / "d.pdf").value_or("?"), "x");
    EXPECT_EQ(FolderNames(dir.path()), (std::vector<std::string>{"b.pdf", "d.pdf"})) << "no temporary file is left";
#endif
}

// A run ended by SIGTERM, SIGINT or SIGHUP (SIGBREAK on Windows: Ctrl+Break)
// removes the temporary files it holds (and only those) before it ends as the
// signal asks.
#if defined(_WIN32)
constexpr int kCleanupSignals[] = {SIGTERM, SIGINT, SIGBREAK};
// The run-time library's default action for all three: exit status 3.
#define TAKTARIUM_ENDED_BY(signalNumber) ::testing::ExitedWithCode(3)
#else
constexpr int kCleanupSignals[] = {SIGTERM, SIGINT, SIGHUP};
#define TAKTARIUM_ENDED_BY(signalNumber) ::testing::KilledBySignal(signalNumber)
#endif

// The dying child of a death test on Windows is a new run of this program,
// which repeats the test up to there with folders of its own; it takes the
// file to hold from the environment the parent hands on (one variable a
// signal, set by the parent only: the child finds it set).
std::string HeldFileVariable(int signalNumber) { return test::Numbered("TAKTARIUM_TEST_HELD_FILE_", signalNumber); }

void HandOnToTheChild(int signalNumber, const fs::path& held) {
#if defined(_WIN32)
    std::wstring name = fs::path(HeldFileVariable(signalNumber)).wstring();
    if (!_wgetenv(name.c_str())) _wputenv_s(name.c_str(), held.c_str());
#else
    setenv(HeldFileVariable(signalNumber).c_str(), held.c_str(), 0);
#endif
}

fs::path HeldFileOfTheParent(int signalNumber) {
#if defined(_WIN32)
    const wchar_t* value = _wgetenv(fs::path(HeldFileVariable(signalNumber)).wstring().c_str());
#else
    const char* value = std::getenv(HeldFileVariable(signalNumber).c_str());
#endif
    return value ? fs::path(value) : fs::path();
}

// After the child has died, so that a repeated run hands on its own file.
void ForgetHeldFile(int signalNumber) {
#if defined(_WIN32)
    _wputenv_s(fs::path(HeldFileVariable(signalNumber)).wstring().c_str(), L"");
#else
    unsetenv(HeldFileVariable(signalNumber).c_str());
#endif
}

TEST(TemporaryFiles, ACatchableSignalRemovesTheFilesHeldAndEndsTheProgram) {
    for (int signalNumber : kCleanupSignals) {
        test::TempDir dir;
        fs::path held = dir.Write(".Fahrplan 1.pdf.0123456789abcdef.tmp", "half a document");
        fs::path other = dir.Write("Fahrplan 2.pdf", "a document");
        HandOnToTheChild(signalNumber, held);
        EXPECT_EXIT(
            {
                RemoveTemporaryFilesOnSignals();
                TemporaryFileGuard guard(HeldFileOfTheParent(signalNumber));
                std::raise(signalNumber);
            },
            TAKTARIUM_ENDED_BY(signalNumber), "");
        ForgetHeldFile(signalNumber);
        EXPECT_FALSE(fs::exists(held)) << signalNumber;
        EXPECT_TRUE(fs::exists(other)) << signalNumber;
    }
}

// What a killed run left is removed by a later one once it is old enough
// that no write can still be going on; other files stay.
TEST(TemporaryFiles, StaleOnesOfOurPatternAreRemoved) {
    test::TempDir dir;
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(1);
    std::vector<std::string> names = {".Fahrplan 1.pdf.0123456789abcdef.tmp", ".x.fedcba9876543210.tmp",
                                      ".Fahrplan 2.pdf.0123456789ABCDEF.tmp", ".notes.tmp",
                                      "Fahrplan 3.pdf.0123456789abcdef.tmp", ".Fahrplan 4.pdf.0123456789abcdef.bak"};
    for (const std::string& name : names) fs::last_write_time(dir.Write(name, "x"), old);
    dir.Write(".Fahrplan 5.pdf.0123456789abcdef.tmp", "being written");
    RemoveStaleTemporaryFiles(dir.path());
    EXPECT_EQ(FolderNames(dir.path()),
              (std::vector<std::string>{".Fahrplan 2.pdf.0123456789ABCDEF.tmp", ".Fahrplan 4.pdf.0123456789abcdef.bak",
                                        ".Fahrplan 5.pdf.0123456789abcdef.tmp", ".notes.tmp",
                                        "Fahrplan 3.pdf.0123456789abcdef.tmp"}));
}

TEST(HelperFileNextTo, NamesAFreeHiddenFileInTheTargetsFolder) {
    test::TempDir dir;
    fs::path target = dir.path() / (std::string(300, 'L') + ".pdf");
    fs::path helper = HelperFileNextTo(target, "png");
    EXPECT_EQ(helper.parent_path(), dir.path());
    EXPECT_TRUE(helper.filename().string().starts_with("."));
    EXPECT_LT(helper.filename().string().size(), 100u) << "a long name still leaves room";
    EXPECT_NE(HelperFileNextTo(target, "png"), helper);
}

}  // namespace
}  // namespace tak
