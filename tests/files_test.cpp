#include "kit/Files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/stat.h>

#include <csignal>
#include <cstring>
#include <filesystem>
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

// Caps the size any file of this process may grow to, the way a full disk would stop a write,
// even for root. SIGXFSZ is ignored so the write fails with EFBIG instead of killing the test.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &saved_);
    oldHandler_ = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = saved_;
    limit.rlim_cur = bytes;
    EXPECT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &saved_);
    std::signal(SIGXFSZ, oldHandler_);
  }

 private:
  rlimit saved_{};
  void (*oldHandler_)(int);
};

}  // namespace

TEST(Files, DocumentsFolderIsCreatedUnderHome) {
  TempHome home;
  ASSERT_FALSE(std::filesystem::exists(home.documents()));
  EXPECT_EQ(kit::documentsDirectory(), home.documents());
  EXPECT_TRUE(std::filesystem::is_directory(home.documents()));
  EXPECT_EQ(kit::documentsDirectory(), home.documents());  // an existing folder is fine
}

TEST(Files, ReadAndExistence) {
  TempHome home;
  std::string path = home.path() + "/data.bin";
  EXPECT_FALSE(kit::fileExists(path));
  std::string error;
  EXPECT_FALSE(kit::readFile(path, &error));
  EXPECT_NE(error.find(path), std::string::npos);
  EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos);

  std::string bytes("a\0b\r\n\xff", 6);
  writeAll(path, bytes);
  EXPECT_TRUE(kit::fileExists(path));
  EXPECT_EQ(kit::readFile(path), bytes);
}

TEST(Files, AtomicWriteReplacesContentAndLeavesNoTemporaryFile) {
  TempHome home;
  std::string folder = kit::documentsDirectory();
  std::string path = folder + "/data.csv";

  ASSERT_TRUE(kit::writeFileAtomically(path, "first\n"));
  EXPECT_EQ(readAll(path), "first\n");

  chmod(path.c_str(), 0640);
  std::string big(200000, 'x');
  ASSERT_TRUE(kit::writeFileAtomically(path, big));
  EXPECT_EQ(readAll(path), big);
  ASSERT_TRUE(kit::writeFileAtomically(path, ""));
  EXPECT_EQ(readAll(path), "");
  EXPECT_EQ(namesIn(folder), std::set<std::string>{"data.csv"});

  struct stat st {};
  stat(path.c_str(), &st);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "the target's permissions are kept";
}

TEST(Files, FailedAtomicWriteLeavesTargetAndFolderAsBefore) {
  TempHome home;
  std::string folder = kit::documentsDirectory();

  // The target is a folder: the rename fails after the temporary file was fully written.
  std::string dirPath = folder + "/taken";
  std::filesystem::create_directory(dirPath);
  writeAll(dirPath + "/inside", "keep");
  kit::FileStatus status = kit::writeFileAtomically(dirPath, "new");
  EXPECT_FALSE(status);
  EXPECT_NE(status.error.find(dirPath), std::string::npos) << status.error;
  EXPECT_NE(status.error.find(std::strerror(EISDIR)), std::string::npos) << status.error;
  EXPECT_EQ(readAll(dirPath + "/inside"), "keep");
  EXPECT_EQ(namesIn(folder), std::set<std::string>{"taken"});

  // The disk "fills up" while the temporary file is written.
  std::string path = folder + "/data.csv";
  writeAll(path, "old contents\n");
  {
    FileSizeLimit limit(1000);
    status = kit::writeFileAtomically(path, std::string(5000, 'n'));
  }
  EXPECT_FALSE(status);
  EXPECT_NE(status.error.find(std::strerror(EFBIG)), std::string::npos) << status.error;
  EXPECT_EQ(readAll(path), "old contents\n");
  EXPECT_EQ(namesIn(folder), (std::set<std::string>{"data.csv", "taken"}));

  // A folder that does not exist.
  status = kit::writeFileAtomically(home.path() + "/missing/data.csv", "x");
  EXPECT_FALSE(status);
  EXPECT_NE(status.error.find(std::strerror(ENOENT)), std::string::npos) << status.error;
}

TEST(Files, AppendAddsBytesDurablyAndNeedsAnExistingFile) {
  TempHome home;
  std::string path = kit::documentsDirectory() + "/data.csv";

  std::string error;
  EXPECT_FALSE(kit::AppendHandle::open(path, &error));
  EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;

  writeAll(path, "head\n");
  auto handle = kit::AppendHandle::open(path, &error);
  ASSERT_TRUE(handle) << error;
  ASSERT_TRUE(handle->write("one\n"));
  // Someone else writing to the file in between does not get overwritten.
  std::FILE* other = std::fopen(path.c_str(), "a");
  std::fputs("other\n", other);
  std::fclose(other);
  ASSERT_TRUE(handle->write("two\n"));
  EXPECT_EQ(readAll(path), "head\none\nother\ntwo\n");

  kit::AppendHandle moved = std::move(*handle);
  ASSERT_TRUE(moved.write(std::string(100000, 'z')));
  EXPECT_EQ(readAll(path).size(), 19u + 100000u);
}

TEST(Files, FailedAppendLeavesTheFileExactlyAsBefore) {
  TempHome home;
  std::string path = kit::documentsDirectory() + "/data.csv";
  std::string before = "name,answer\nAnna,yes\n";
  writeAll(path, before);
  auto handle = kit::AppendHandle::open(path);
  ASSERT_TRUE(handle);

  kit::FileStatus status;
  {
    // Room for 10 more bytes: the write goes part of the way, then fails.
    FileSizeLimit limit(before.size() + 10);
    status = handle->write("Bertil,no,a much longer record than fits\n");
  }
  EXPECT_FALSE(status);
  EXPECT_NE(status.error.find(std::strerror(EFBIG)), std::string::npos) << status.error;
  EXPECT_EQ(readAll(path), before) << "no partial record may remain";

  {
    FileSizeLimit limit(before.size());  // no room at all
    status = handle->write("x");
  }
  EXPECT_FALSE(status);
  EXPECT_EQ(readAll(path), before);

  // Once there is room again, the next record follows the old content directly.
  ASSERT_TRUE(handle->write("Carl,no\n"));
  EXPECT_EQ(readAll(path), before + "Carl,no\n");
}
