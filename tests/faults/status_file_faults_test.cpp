// Faults around the atomic writer. This program replaces write() and getrandom() for itself (and
// the libraries it loads) so that a full disk can be injected and the temporary name predicted.
#include <dlfcn.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>

#include "common/dictionary_file.h"
#include "tests/support/temp_dir.h"

namespace fs = std::filesystem;

namespace {
bool gDiskFull = false;     // every write fails with ENOSPC
bool gFixedRandom = false;  // getrandom gives zero bytes, so the temporary name is known
}  // namespace

// Exported, so that the writer in the platform library calls these too.
#define INTERPOSED __attribute__((visibility("default")))

extern "C" INTERPOSED ssize_t write(int fd, const void* buffer, size_t count) {
  using Write = ssize_t (*)(int, const void*, size_t);
  static const Write real = reinterpret_cast<Write>(dlsym(RTLD_NEXT, "write"));
  if (gDiskFull && fd > 2) {
    errno = ENOSPC;
    return -1;
  }
  return real(fd, buffer, count);
}

extern "C" INTERPOSED ssize_t getrandom(void* buffer, size_t length, unsigned int flags) {
  using GetRandom = ssize_t (*)(void*, size_t, unsigned int);
  static const GetRandom real = reinterpret_cast<GetRandom>(dlsym(RTLD_NEXT, "getrandom"));
  if (gFixedRandom) {
    std::memset(buffer, 0, length);
    return static_cast<ssize_t>(length);
  }
  return real(buffer, length, flags);
}

namespace brimwell {
namespace {

using testing_support::plistXml;
using testing_support::TempDir;

const std::string kPredictedName = ".s.plist.0000000000000000";

std::vector<std::string> listing(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  return names;
}

// Every case: a good file first, then the fault; afterwards the good file is intact, nothing
// new is in the folder, nothing outside it changed.
class WriterFaults : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = dir_.path() + "/device/tmp";
    fs::create_directories(folder_);
    path_ = folder_ + "/s.plist";
    outside_ = dir_.write("outside/victim", "outside");
    ASSERT_TRUE(writePropertyListAtomically(
        Plist::fromMemory(plistXml("<key>A</key><integer>1</integer>")), path_));
    before_ = dir_.read("device/tmp/s.plist");
  }
  void TearDown() override { gDiskFull = gFixedRandom = false; }
  bool writeNew() {
    return writePropertyListAtomically(
        Plist::fromMemory(plistXml("<key>A</key><integer>2</integer>")), path_);
  }
  void expectUntouched(const std::vector<std::string>& expectedNames) {
    EXPECT_EQ(dir_.read("device/tmp/s.plist"), before_);
    EXPECT_EQ(listing(folder_), expectedNames);
    EXPECT_EQ(dir_.read("outside/victim"), "outside");
    EXPECT_EQ(listing(dir_.path() + "/outside"), std::vector<std::string>{"victim"});
  }

  TempDir dir_;
  std::string folder_, path_, outside_, before_;
};

TEST_F(WriterFaults, FullDisk) {
  gDiskFull = true;
  EXPECT_FALSE(writeNew());
  gDiskFull = false;
  expectUntouched({"s.plist"});
  EXPECT_TRUE(writeNew()) << "the next write after the fault succeeds";
}

TEST_F(WriterFaults, SomethingPlantedAtTheNameTheWriterPicks) {
  const std::string planted = folder_ + "/" + kPredictedName;
  const struct {
    const char* name;
    std::function<void()> plant;
  } cases[] = {
      {"symlink to a file outside", [&] { fs::create_symlink(outside_, planted); }},
      {"dangling symlink outside",
       [&] { fs::create_symlink(dir_.path() + "/outside/new", planted); }},
      {"regular file", [&] { dir_.write("device/tmp/" + kPredictedName, "planted"); }},
      {"folder", [&] { fs::create_directory(planted); }},
      {"fifo", [&] { mkfifo(planted.c_str(), 0600); }},
  };
  for (const auto& c : cases) {
    c.plant();
    gFixedRandom = true;
    EXPECT_FALSE(writeNew()) << c.name;
    gFixedRandom = false;
    // What was planted stays; it is not ours to remove.
    expectUntouched({kPredictedName, "s.plist"});
    fs::remove(planted);
  }
  gFixedRandom = true;
  EXPECT_TRUE(writeNew()) << "with the name free, the same name works";
  gFixedRandom = false;
  EXPECT_EQ(listing(folder_), std::vector<std::string>{"s.plist"});
}

TEST_F(WriterFaults, PathReplacedByAFolder) {
  fs::remove(path_);
  fs::create_directory(path_);
  dir_.write("device/tmp/s.plist/inside", "kept");
  EXPECT_FALSE(writeNew());
  EXPECT_EQ(listing(folder_), std::vector<std::string>{"s.plist"});
  EXPECT_EQ(dir_.read("device/tmp/s.plist/inside"), "kept");
}

TEST_F(WriterFaults, UnwritableFolder) {
  // Root writes anywhere, so the write is tried by an unprivileged child, who may walk to the
  // folder but not write in it.
  for (const std::string& parent : {dir_.path(), dir_.path() + "/device"})
    chmod(parent.c_str(), 0755);
  ASSERT_EQ(chmod(folder_.c_str(), 0555), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(2);
    _exit(writeNew() ? 1 : 0);
  }
  int status = 0;
  waitpid(child, &status, 0);
  chmod(folder_.c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write must fail";
  expectUntouched({"s.plist"});
}

TEST(WriterOnAFullFileSystem, ARealSmallTmpfs) {
  TempDir dir;
  const std::string mountPoint = dir.path() + "/small";
  fs::create_directory(mountPoint);
  if (mount("tmpfs", mountPoint.c_str(), "tmpfs", 0, "size=64k") != 0) {
    GTEST_SKIP() << "cannot mount a tmpfs here: " << std::strerror(errno);
  }
  const std::string path = mountPoint + "/s.plist";
  const Plist small = Plist::fromMemory(plistXml("<key>A</key><integer>1</integer>"));
  ASSERT_TRUE(writePropertyListAtomically(small, path));
  // Fill what is left.
  {
    const int fd = open((mountPoint + "/filler").c_str(), O_WRONLY | O_CREAT, 0600);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {
    }
    close(fd);
  }
  std::string big = "<key>Payload</key><string>" + std::string(20000, 'p') + "</string>";
  EXPECT_FALSE(writePropertyListAtomically(Plist::fromMemory(plistXml(big)), path));
  EXPECT_EQ(readDictionaryFile(path).toXml(), small.toXml());
  EXPECT_EQ(listing(mountPoint), (std::vector<std::string>{"filler", "s.plist"}));
  umount(mountPoint.c_str());
}

}  // namespace
}  // namespace brimwell
