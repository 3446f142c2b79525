#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#if !defined(_WIN32)
#include <unistd.h>
#endif

#include <algorithm>
#include <csignal>
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
TEST(WriteFileBytes, AFailureKeepsTheSystemsReasonUntilCleared) {
    test::TempDir dir;
    ClearLastWriteError();
    {
        test::FileSizeLimit disk(1000);
        ASSERT_TRUE(disk.active());
        EXPECT_FALSE(WriteFileBytes(dir.path() / "a.pdf", std::string(5000, 'n')));
    }
    EXPECT_EQ(LastWriteError(), std::errc::file_too_large);
    ClearLastWriteError();
    fs::create_directories(dir.path() / "b.pdf");  // a folder where the document goes
    EXPECT_FALSE(WriteFileBytes(dir.path() / "b.pdf", "x"));
    EXPECT_EQ(LastWriteError(), std::errc::is_a_directory);
    EXPECT_FALSE(WriteFileBytes(dir.path() / "missing" / "c.pdf", "x"));
    EXPECT_EQ(LastWriteError(), std::errc::no_such_file_or_directory);
    ClearLastWriteError();
    EXPECT_TRUE(WriteFileBytes(dir.path() / "d.pdf", "x"));
    EXPECT_FALSE(LastWriteError());
}

// A run ended by SIGTERM, SIGINT or SIGHUP removes the temporary files it
// holds (and only those) before it ends as the signal asks.
TEST(TemporaryFiles, ACatchableSignalRemovesTheFilesHeldAndEndsTheProgram) {
    for (int signalNumber : {SIGTERM, SIGINT, SIGHUP}) {
        test::TempDir dir;
        fs::path held = dir.Write(".Fahrplan 1.pdf.0123456789abcdef.tmp", "half a document");
        fs::path other = dir.Write("Fahrplan 2.pdf", "a document");
        EXPECT_EXIT(
            {
                RemoveTemporaryFilesOnSignals();
                TemporaryFileGuard guard(held);
                std::raise(signalNumber);
            },
            ::testing::KilledBySignal(signalNumber), "");
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
