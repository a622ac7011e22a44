// Files and file search of the Linux layer on real folders. Run as an unprivileged user (see
// as-user.sh): root may write and list what a user may not.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/platform.h"
#include "tests/rows.h"

namespace {

std::string MakeFolder() {
  char name[] = "/tmp/mirelox-files-XXXXXX";
  return mkdtemp(name) != nullptr ? name : "";
}

void Put(const std::string& path, const std::string& text, mode_t mode = 0644) {
  std::ofstream(path) << text;
  chmod(path.c_str(), mode);
}

std::string Read(const std::string& path) {
  std::ifstream in(path);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// A group of the user's other than the one new files get: as-user.sh gives nobody one; root may give any.
gid_t SecondGroup() {
  gid_t groups[64];
  const int count = getgroups(64, groups);
  for (int i = 0; i < count; ++i) {
    if (groups[i] != getegid()) return groups[i];
  }
  return geteuid() == 0 ? getegid() + 1 : getegid();
}

// Saves "new" as the core saves a received file, through a new file beside the one it replaces, and
// tells what that left: the answer, the file's contents and mode, whether it is in the user's second
// group, and whether the chosen name is a link.
std::string Save(const std::string& chosen, const std::string& file) {
  char target[4096], mode[8];
  if (!platform::ResolveSaveTarget(chosen.c_str(), target, sizeof target)) return "unresolved";
  const std::string temporary = std::filesystem::path(target).replace_filename("~0.tmp");
  platform::FileHandle handle = platform::CreateNewFile(temporary.c_str());
  const bool written = platform::WriteToFile(handle, "new", 3) == 3;
  const bool saved =
      platform::CloseFile(handle) && written && platform::ReplaceFile(temporary.c_str(), target);
  struct stat info {};
  stat(file.c_str(), &info);
  std::snprintf(mode, sizeof mode, " %o", unsigned(info.st_mode & 07777));
  return (saved ? "saved " : "refused ") + Read(file) + mode + (info.st_gid != getegid() ? " shared" : "") +
         (std::filesystem::is_symlink(chosen) ? " link" : "");
}

struct SaveCase {
  const char* name;
  int oldMode;   // the file the save replaces, -1: none
  bool viaLink;  // the chosen name is a link to it
  mode_t folderMode, umask;
  const char* left;
  bool shared = false;  // the file it replaces is in the user's second group
};

const SaveCase SaveRows[] = {
    {"PrivateFileStaysPrivate", 0600, false, 0700, 022, "saved new 600"},
    {"NewFileUnderUmask002", -1, false, 0700, 002, "saved new 664"},
    {"NewFileUnderUmask007", -1, false, 0700, 007, "saved new 660"},
    {"ReadOnlyFileIsKept", 0444, false, 0700, 022, "refused old 444"},
    {"LinkStaysALink", 0640, true, 0700, 022, "saved new 640 link"},
    {"DanglingLinkMakesItsFile", -1, true, 0700, 022, "saved new 644 link"},
    {"UnlistableFolderStillSaves", 0600, false, 0300, 022, "saved new 600"},
    {"ItsGroupToo", 0660, false, 0700, 022, "saved new 660 shared", true},
};

TEST_ROWS(Saves, SaveRows);

TEST_P(Saves, KeepWhatTheOwnerSet) {
  const SaveCase& row = GetParam();
  const std::string folder = MakeFolder(), file = folder + "/data.bin", link = folder + "/chosen.bin";
  if (row.oldMode >= 0) Put(file, "old", mode_t(row.oldMode));
  if (row.shared) {
    ASSERT_NE(SecondGroup(), getegid()) << "the test's user needs a second group";
    ASSERT_EQ(chown(file.c_str(), -1, SecondGroup()), 0);
  }
  ASSERT_TRUE(!row.viaLink || symlink("data.bin", link.c_str()) == 0);
  chmod(folder.c_str(), row.folderMode);
  const mode_t userMask = umask(row.umask);
  EXPECT_EQ(Save(row.viaLink ? link : file, file), row.left);
  umask(userMask);
  chmod(folder.c_str(), 0700);
  std::filesystem::remove_all(folder);
}

TEST(LinuxFiles, APageLockedByAnotherOpenerIsReadSharedButNotTakenExclusively) {
  const std::string folder = MakeFolder(), page = folder + "/TXT00001.KVB";
  Put(page, "page");
  const int holder = open(page.c_str(), O_RDWR);  // its own open file description, as another process has
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_TRUE(platform::CloseFile(platform::OpenFileForSharedReading(page.c_str())));
  EXPECT_EQ(platform::OpenFileForReading(page.c_str()), platform::NoFile);
  close(holder);
  std::filesystem::remove_all(folder);
}

// The record of the line: its file known by what it is, not by its name; a write the disk cannot
// take whole leaves nothing of it (a limit on the file's size stands for a full disk).
TEST(LinuxFiles, ARecordIsKnownByItsFileAndWrittenWhole) {
  const std::string folder = MakeFolder(), file = folder + "/line.txt";
  Put(file, "old\n");
  Put(folder + "/other", "old\n");
  ASSERT_EQ(link(file.c_str(), (folder + "/hard").c_str()) | symlink("line.txt", (folder + "/soft").c_str()),
            0);
  const platform::FileHandle record = platform::OpenFileForAppending(file.c_str());
  for (const auto& [name, same] :
       {std::pair{"/hard", true}, {"/soft", true}, {"/other", false}, {"/none", false}})
    EXPECT_EQ(platform::IsSameFile(record, (folder + name).c_str()), same) << name;
  const platform::FileHandle device = platform::OpenFileForAppending("/dev/null");
  EXPECT_EQ(std::pair(platform::IsDevice(record), platform::IsDevice(device)), std::pair(false, true));
  rlimit size{}, small{};
  getrlimit(RLIMIT_FSIZE, &size);
  small = {12, size.rlim_max};
  std::signal(SIGXFSZ, SIG_IGN);
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_TRUE(platform::AppendWhole(record, "line\n", 5));
  EXPECT_FALSE(platform::AppendWhole(record, "longer line\n", 12));
  setrlimit(RLIMIT_FSIZE, &size);
  EXPECT_EQ(Read(file), "old\nline\n");
  platform::CloseFile(record);
  platform::CloseFile(device);
  std::filesystem::remove_all(folder);
}

// Where a name is found: the program's folder, the current folder, then PATH; names are case-sensitive
// and the extension is added only to a name without one. A row puts its file in each folder of where
// (E the program's, C the current, P on PATH), and finds it in foundIn (0: not found).
struct SearchCase {
  const char *name, *where, *file, *sought, *extension;
  char foundIn;
};

const SearchCase SearchRows[] = {
    {"ProgramFolderFirst", "ECP", "MIRELOX.CFG", "MIRELOX", ".CFG", 'E'},
    {"ThenTheCurrentFolder", "CP", "MIRELOX.CFG", "MIRELOX", ".CFG", 'C'},
    {"ThenPath", "P", "TXT00042.KVB", "TXT00042", ".KVB", 'P'},
    {"NamesAreCaseSensitive", "ECP", "txt00042.kvb", "TXT00042", ".KVB", 0},
    {"AnExtensionIsNotAddedTwice", "C", "PAGE.TXT", "PAGE.TXT", ".KVB", 'C'},
};

TEST_ROWS(Search, SearchRows);

TEST_P(Search, FollowsTheWindowsOrder) {
  const SearchCase& row = GetParam();
  const std::string program = std::filesystem::read_symlink("/proc/self/exe").parent_path();
  const std::string current = MakeFolder(), path = MakeFolder();
  const std::filesystem::path startFolder = std::filesystem::current_path();
  const std::string startPath = getenv("PATH");  // given back at the end, for whatever runs next
  ASSERT_EQ(chdir(current.c_str()), 0);
  setenv("PATH", ("/nonexistent::" + path).c_str(), 1);
  auto folder = [&](char letter) { return letter == 'E' ? program : letter == 'C' ? current : path; };
  for (const char* letter = row.where; *letter != '\0'; ++letter) Put(folder(*letter) + "/" + row.file, "");
  std::string found(4096, 'x');  // a path written without its end shows
  const bool any = platform::SearchFile(row.sought, row.extension, found.data(), int(found.size()));
  EXPECT_EQ(any ? found.c_str() : "", row.foundIn != 0 ? folder(row.foundIn) + "/" + row.file : "");
  std::filesystem::current_path(startFolder);
  setenv("PATH", startPath.c_str(), 1);
  for (const std::string& made : {program + "/" + row.file, current, path}) std::filesystem::remove_all(made);
}

}  // namespace
