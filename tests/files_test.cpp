#include "kit/base/Files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <cstring>
#include <filesystem>
#include <functional>
#include <set>

#include "support/TestSupport.h"

using testing_support::readAll;
using testing_support::TempHome;
using testing_support::writeAll;

namespace {

std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  for (auto& entry : std::filesystem::directory_iterator(folder)) {
    names.insert(entry.path().filename().string());
  }
  return names;
}

// Whether an error text names the system error `code`.
bool mentions(const std::string& error, int code) {
  return error.find(std::strerror(code)) != std::string::npos;
}

// Runs `write` while no file of this process may grow past `bytes`, the way a full disk would
// stop a write, even for root. The kit's writes fail with EFBIG then, rather than ending the
// process with SIGXFSZ.
kit::FileStatus withSizeLimit(rlim_t bytes, const std::function<kit::FileStatus()>& write) {
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  rlimit limit{bytes, saved.rlim_max};
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  kit::FileStatus status = write();
  setrlimit(RLIMIT_FSIZE, &saved);
  return status;
}

}  // namespace

// The permission bits of what is at `path`.
unsigned modeOf(const std::string& path) {
  struct stat st {};
  stat(path.c_str(), &st);
  return st.st_mode & 07777;
}

TEST(Files, DocumentsFolderIsCreatedUnderHomeAndFilesReadWhole) {
  TempHome home;
  mode_t umaskBefore = umask(0);  // what the program makes is private whatever the umask
  EXPECT_EQ(kit::documentsDirectory(), home.documents());
  umask(umaskBefore);
  EXPECT_EQ(modeOf(home.documents()), 0700u);
  std::string path = home.path() + "/data.bin", error;
  EXPECT_FALSE(kit::readFile(path, &error));
  EXPECT_TRUE(mentions(error, ENOENT)) << error;
  std::string bytes("a\0b\r\n\xff", 6);
  writeAll(path, bytes);
  EXPECT_EQ(kit::readFile(path), bytes);
}

TEST(Files, CreationMakesTheWholeFileAtOnceOrNothingAndNeverReplaces) {
  TempHome home;
  std::string folder = kit::documentsDirectory();
  std::string path = folder + "/data.csv";
  mode_t umaskBefore = umask(0);
  ASSERT_TRUE(kit::createFile(path, std::string(200000, 'x')));
  umask(umaskBefore);
  EXPECT_EQ(readAll(path), std::string(200000, 'x'));
  EXPECT_EQ(modeOf(path), 0600u);
  // Whatever made a file or folder, it can be narrowed to its user after.
  chmod(path.c_str(), 0664);
  EXPECT_TRUE(kit::keepPrivate(path));
  EXPECT_EQ(modeOf(path), 0600u);

  // Something already at the path stays as it is: a file, or a folder with its contents.
  kit::FileStatus status = kit::createFile(path, "new");
  EXPECT_TRUE(mentions(status.error, EEXIST)) << status.error;
  EXPECT_EQ(readAll(path), std::string(200000, 'x'));
  std::string taken = folder + "/taken";
  std::filesystem::create_directory(taken);
  writeAll(taken + "/inside", "keep");
  EXPECT_FALSE(kit::createFile(taken, "new"));
  EXPECT_EQ(readAll(taken + "/inside"), "keep");

  // The disk "fills up" while the file is written: no file, and no other name either.
  status =
      withSizeLimit(1000, [&] { return kit::createFile(folder + "/big", std::string(5000, 'n')); });
  EXPECT_TRUE(mentions(status.error, EFBIG)) << status.error;
  EXPECT_EQ(namesIn(folder), (std::set<std::string>{"data.csv", "taken"}));

  status = kit::createFile(home.path() + "/missing/data.csv", "x");
  EXPECT_TRUE(mentions(status.error, ENOENT)) << status.error;
}

TEST(Files, AnythingButARegularFileIsRefusedWithoutWaiting) {
  TempHome home;
  std::string folder = kit::documentsDirectory();
  std::string fifo = folder + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
  // Nobody ever opens the other end: opening it to read or write would wait forever.
  for (const std::string& path : {fifo, folder}) {
    std::string readError, appendError;
    EXPECT_FALSE(kit::readFile(path, &readError));
    EXPECT_FALSE(kit::AppendHandle::open(path, &appendError));
    EXPECT_NE(readError.find("not a regular file"), std::string::npos) << readError;
    EXPECT_NE(appendError.find("not a regular file"), std::string::npos) << appendError;
  }
}

TEST(Files, AppendAddsBytesAtTheEndAndNeedsAnExistingFile) {
  TempHome home;
  std::string path = kit::documentsDirectory() + "/data.csv", error;
  EXPECT_FALSE(kit::AppendHandle::open(path, &error));
  EXPECT_TRUE(mentions(error, ENOENT)) << error;
  writeAll(path, "head\n");
  auto handle = kit::AppendHandle::open(path);
  ASSERT_TRUE(handle && handle->write("one\n"));
  // Someone else writing to the file in between does not get overwritten.
  std::FILE* other = std::fopen(path.c_str(), "a");
  std::fputs("other\n", other);
  std::fclose(other);
  ASSERT_TRUE(handle->write("two\n"));
  EXPECT_EQ(readAll(path), "head\none\nother\ntwo\n");
}

TEST(Files, FailedAppendLeavesTheFileExactlyAsBefore) {
  TempHome home;
  std::string path = kit::documentsDirectory() + "/data.csv";
  std::string before = "name,answer\nAnna,yes\n";
  writeAll(path, before);
  auto handle = kit::AppendHandle::open(path);
  ASSERT_TRUE(handle);

  // Room for 10 more bytes: the write goes part of the way, then fails; then no room at all.
  for (size_t room : {10u, 0u}) {
    kit::FileStatus status = withSizeLimit(before.size() + room, [&] {
      return handle->write("Bertil,no,a much longer record than fits\n");
    });
    EXPECT_TRUE(mentions(status.error, EFBIG)) << status.error;
    EXPECT_EQ(readAll(path), before) << "no partial record may remain";
  }

  // Once there is room again, the next record follows the old content directly.
  ASSERT_TRUE(handle->write("Carl,no\n"));
  EXPECT_EQ(readAll(path), before + "Carl,no\n");
}
