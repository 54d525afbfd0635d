// Output files against what only a POSIX system lets a test arrange: planted
// symbolic links, a folder swapped for a link, paths near the length limit, a
// full file system and a file size limit. Under the sanitizer build these also
// show that a failing write leaks nothing and closes nothing twice.
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <filesystem>

#include "carve/output_file.h"
#include "carve/small_tmpfs.h"
#include "support/test_files.h"

namespace salvora {
namespace {

namespace fs = std::filesystem;

std::vector<uint8_t> block(uint8_t fill, size_t length = 512) {
    return std::vector<uint8_t>(length, fill);
}

int openDescriptors() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator("/proc/self/fd"))
        ++count;
    return count;
}

TEST(OutputLinks, APlantedLinkIsNeitherFollowedNorReplaced) {
    test::TempDir dir, elsewhere;
    const fs::path victim = elsewhere.path() / "precious.txt";
    test::writeFile(victim, block('p', 100));
    fs::create_symlink(victim, dir.path() / "KV00000.jpg");
    fs::create_symlink(elsewhere.path() / "missing", dir.path() / "KV00001.jpg");  // dangling
    OutputFolder folder;
    ASSERT_EQ(folder.open(dir.folder()), 0);
    EXPECT_EQ(folder.nextNumber(), 2u) << "the links count as taken names";
    int error = 0;
    EXPECT_FALSE(folder.create("KV00000.jpg", error).isOpen());
    EXPECT_EQ(error, EEXIST);
    // Planted after the folder was opened: the numbered file goes past it.
    fs::create_symlink(victim, dir.path() / "KV00002.jpg");
    OutputFile output(folder, "jpg");
    const auto bytes = block('x', 4096);
    ASSERT_EQ(output.append(bytes.data(), bytes.size()), 0);
    ASSERT_EQ(output.keep(4096, "jpg"), 0);
    EXPECT_EQ(output.path(), dir.folder() + "KV00003.jpg");
    EXPECT_EQ(test::readFile(victim), block('p', 100));
    EXPECT_FALSE(fs::exists(elsewhere.path() / "missing"));
    EXPECT_TRUE(fs::is_symlink(dir.path() / "KV00000.jpg"));
}

TEST(OutputLinks, AFolderSwappedForALinkDuringTheScanCannotRedirectFiles) {
    test::TempDir base, elsewhere;
    const fs::path destination = base.path() / "rescued";
    fs::create_directory(destination);
    OutputFolder folder;
    ASSERT_EQ(folder.open(destination.string() + "/"), 0);
    fs::rename(destination, base.path() / "moved");
    fs::create_directory_symlink(elsewhere.path(), destination);
    OutputFile output(folder, "jpg");
    const auto bytes = block('y');
    ASSERT_EQ(output.append(bytes.data(), bytes.size()), 0);
    ASSERT_EQ(output.keep(512, "jpg"), 0);
    EXPECT_TRUE(fs::is_empty(elsewhere.path()));
    EXPECT_EQ(test::readFile(base.path() / "moved" / "KV00000.jpg"), bytes);
}

// Regression: a name that does not fit the path buffer is refused, never cut short.
TEST(OutputNames, APathLongerThan2047BytesIsRefused) {
    test::TempDir dir;
    // Nested folders bring the folder text to exactly 2047 - 11 bytes, so
    // that "KV00000.jpg" just fits and "KV00000.jpeg" does not.
    std::string folderText = dir.folder();
    const size_t wanted = kMaxOutputPath - 11;
    while (folderText.size() < wanted) {
        const size_t component = std::min<size_t>(200, wanted - folderText.size() - 1);
        folderText += std::string(component, 'f') + "/";
        fs::create_directory(folderText);
    }
    ASSERT_EQ(folderText.size(), wanted);
    OutputFolder folder;
    ASSERT_EQ(folder.open(folderText), 0);
    std::string name;
    uint32_t number = 0;
    int error = 0;
    EXPECT_FALSE(folder.createNumbered("jpeg", name, number, error).isOpen());
    EXPECT_EQ(error, ENAMETOOLONG);
    EXPECT_TRUE(folder.createNumbered("jpg", name, number, error).isOpen());
    EXPECT_EQ((folderText + name).size(), kMaxOutputPath);
}

// A write that fails half-way through a file (the file system is full):
// the error comes back, the file is gone, and every descriptor is closed
// exactly once.
TEST(OutputFailure, AWriteFailingMidFileLeaksNothingAndClosesOnce) {
    test::SmallTmpfs full(256 * 1024);
    if (!full.mounted())
        GTEST_SKIP() << "mounting a tmpfs needs root";
    const int before = openDescriptors();
    {
        OutputFolder folder;
        ASSERT_EQ(folder.open(full.dir().folder()), 0);
        OutputFile output(folder, "mov", 64 * 1024);
        int error = 0;
        const auto bytes = block('z', 4096);
        for (int i = 0; i < 1024 && error == 0; ++i)
            error = output.append(bytes.data(), bytes.size());
        EXPECT_EQ(error, ENOSPC);
        EXPECT_TRUE(output.onDisk());
        EXPECT_EQ(output.append(bytes.data(), bytes.size()), ENOSPC) << "a broken output stays broken";
        // A descriptor opened now may get the number the output's file had:
        // dropping the output must not close it.
        const int bystander = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        ASSERT_GE(bystander, 0);
        EXPECT_EQ(output.keep(4096, "mov"), ENOSPC);
        EXPECT_FALSE(output.isOpen());
        EXPECT_EQ(::fcntl(bystander, F_GETFD), FD_CLOEXEC) << "someone else's descriptor was closed";
        ::close(bystander);
    }
    EXPECT_EQ(openDescriptors(), before);
    EXPECT_TRUE(fs::is_empty(full.dir().path()));
}

// A file size limit (EFBIG): the output holds what reached the disk and can
// still be kept at that length or less.
TEST(OutputFailure, FileTooLargeKeepsWhatReachedTheDisk) {
    test::TempDir dir;
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        signal(SIGXFSZ, SIG_IGN);
        rlimit limit{256 * 1024, 256 * 1024};
        setrlimit(RLIMIT_FSIZE, &limit);
        OutputFolder folder;
        if (folder.open(dir.folder()) != 0)
            _exit(10);
        OutputFile output(folder, "wav");
        const auto bytes = block('w', 1 << 20);
        if (output.append(bytes.data(), bytes.size()) != 0)
            _exit(11);
        if (output.keep(1 << 20, "wav") != EFBIG || output.size() != 256 * 1024 || !output.isOpen())
            _exit(12);
        if (output.append(bytes.data(), 1) != EFBIG)
            _exit(13);
        _exit(output.keep(100000, "wav") == 0 ? 0 : 14);
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(test::readFile(dir.path() / "KV00000.wav"), block('w', 100000));
}

}  // namespace
}  // namespace salvora
