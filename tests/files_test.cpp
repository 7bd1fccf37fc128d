#include "kit/Files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
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
// stop a write, even for root. SIGXFSZ is ignored so the write fails with EFBIG instead.
kit::FileStatus withSizeLimit(rlim_t bytes, const std::function<kit::FileStatus()>& write) {
  rlimit saved{};
  getrlimit(RLIMIT_FSIZE, &saved);
  auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit limit{bytes, saved.rlim_max};
  EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  kit::FileStatus status = write();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);
  return status;
}

}  // namespace

TEST(Files, DocumentsFolderIsCreatedUnderHomeAndFilesReadWhole) {
  TempHome home;
  EXPECT_EQ(kit::documentsDirectory(), home.documents());
  EXPECT_TRUE(std::filesystem::is_directory(home.documents()));
  std::string path = home.path() + "/data.bin", error;
  EXPECT_FALSE(kit::readFile(path, &error));
  EXPECT_TRUE(mentions(error, ENOENT)) << error;
  std::string bytes("a\0b\r\n\xff", 6);
  writeAll(path, bytes);
  EXPECT_EQ(kit::readFile(path), bytes);
}

TEST(Files, AtomicWriteReplacesContentKeepsPermissionsAndLeavesNoTemporaryFile) {
  TempHome home;
  std::string path = kit::documentsDirectory() + "/data.csv";
  ASSERT_TRUE(kit::writeFileAtomically(path, "first\n"));
  chmod(path.c_str(), 0640);
  ASSERT_TRUE(kit::writeFileAtomically(path, std::string(200000, 'x')));
  ASSERT_TRUE(kit::writeFileAtomically(path, "last\n"));
  EXPECT_EQ(readAll(path), "last\n");
  EXPECT_EQ(namesIn(home.documents()), std::set<std::string>{"data.csv"});
  struct stat st {};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u);
}

TEST(Files, FailedAtomicWriteLeavesTargetAndFolderAsBefore) {
  TempHome home;
  std::string folder = kit::documentsDirectory();

  // The target is a folder: the rename fails after the temporary file was fully written.
  std::string taken = folder + "/taken";
  std::filesystem::create_directory(taken);
  writeAll(taken + "/inside", "keep");
  kit::FileStatus status = kit::writeFileAtomically(taken, "new");
  EXPECT_FALSE(status);
  EXPECT_NE(status.error.find(taken), std::string::npos) << status.error;
  EXPECT_TRUE(mentions(status.error, EISDIR)) << status.error;
  EXPECT_EQ(readAll(taken + "/inside"), "keep");
  EXPECT_EQ(namesIn(folder), std::set<std::string>{"taken"});

  // The disk "fills up" while the temporary file is written.
  std::string path = folder + "/data.csv";
  writeAll(path, "old contents\n");
  status =
      withSizeLimit(1000, [&] { return kit::writeFileAtomically(path, std::string(5000, 'n')); });
  EXPECT_TRUE(mentions(status.error, EFBIG)) << status.error;
  EXPECT_EQ(readAll(path), "old contents\n");
  EXPECT_EQ(namesIn(folder), (std::set<std::string>{"data.csv", "taken"}));

  status = kit::writeFileAtomically(home.path() + "/missing/data.csv", "x");
  EXPECT_TRUE(mentions(status.error, ENOENT)) << status.error;
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
