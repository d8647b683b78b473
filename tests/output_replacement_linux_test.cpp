// A named regular output holds its previous file or the complete cut, never
// a part of it, whatever ends the run (a failure, a signal, another run
// writing the same output) and whatever the path is (a symbolic link, a
// file with other links, a file of other permissions or owners).

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <iterator>
#include <map>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "injected_faults_linux.h"
#include "locked_directory_linux.h"
#include "stream_log.h"
#include "test_support.h"

namespace {

const char kOldOutput[] = "the previous output\r\n";

// qemu-user, which runs the tests of other CPUs, reports a signal that makes
// a core dump on standard error itself ("qemu: uncaught target signal 3
// (Quit) - core dumped"): no output of the tool's.
std::string withoutEmulatorReport(std::string text) {
  const std::string_view report = "qemu: uncaught target signal ";
  for (size_t at; (at = text.find(report)) != std::string::npos;) {
    size_t end = text.find('\n', at);
    text.erase(at, end == std::string::npos ? end : end - at + 1);
  }
  return text;
}

// Logs whose every line is copied (query 3 is never cut), so that the cut
// is the log itself; each some megabytes, so that a run's output pass
// lasts long enough to be caught.
const std::string& copiedLog(uint64_t rows) {
  static std::map<uint64_t, std::string> logs;
  std::string& log = logs[rows];
  if (log.empty())
    log = StreamLog().query(3, rows).text();
  return log;
}

// The names of the temporary files of streamtrim's for out.log in folder.
std::vector<std::string> temporaryFiles(const std::string& folder) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    std::string name = entry.path().filename().string();
    if (name.starts_with(".out.log.streamtrim-"))
      found.push_back(name);
  }
  return found;
}

// Starts streamtrim with args, its standard error to dir/err.
int start(const TempDir& dir, const std::vector<std::string>& args) {
  int err = ::open(dir.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  int out = ::open("/dev/null", O_WRONLY | O_CLOEXEC);
  int pid = startStreamtrim(args, out, err);
  ::close(out);
  ::close(err);
  return pid;
}

// Stops the run pid as soon as due() says. False (a failure recorded) when
// the run ended first.
bool stopWhen(int pid, const std::function<bool()>& due) {
  int status = 0;
  while (!due()) {
    if (::waitpid(pid, &status, WNOHANG) == pid) {
      ADD_FAILURE() << "the run ended too soon, status " << status;
      return false;
    }
  }
  ::kill(pid, SIGSTOP);
  if (::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) {
    ADD_FAILURE() << "the run ended before it could be stopped, status " << status;
    return false;
  }
  return true;
}

// The names in folder.
std::set<std::string> namesIn(const std::string& folder) {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    names.insert(entry.path().filename().string());
  return names;
}

// Starts streamtrim from in to dir/out.log and stops it in its output pass:
// at its first write where the fault library is, else once the pass shows.
// The one file it has added then is its temporary file, hidden, with the
// name the README gives.
bool startStoppedInOutputPass(const TempDir& dir, const std::string& in, int& pid) {
  std::set<std::string> before = namesIn(dir.path());
  before.insert("err");
  if (kFaultLibrary != nullptr) {
    Faults stopAtFirstWrite(FaultSettings{{"STOP", "1"}});
    pid = start(dir, {in, dir.file("out.log")});
    int status = 0;
    if (::waitpid(pid, &status, WUNTRACED) != pid || !WIFSTOPPED(status)) {
      ADD_FAILURE() << "the run ended before its first write, status " << status;
      return false;
    }
  } else {
    pid = start(dir, {in, dir.file("out.log")});
    if (!stopWhen(pid, [&] {
          return !temporaryFiles(dir.path()).empty() || readFile(dir.file("out.log")) != kOldOutput;
        }))
      return false;
  }
  std::vector<std::string> added;
  std::ranges::set_difference(namesIn(dir.path()), before, std::back_inserter(added));
  EXPECT_EQ(added.size(), 1u);
  for (const std::string& name : added)
    EXPECT_TRUE(matchesWhole(name, "\\.out\\.log\\.streamtrim-[A-Za-z0-9]{6}")) << name;
  return true;
}

// Whether the process pid has the file at path open.
bool hasOpen(int pid, const std::string& path) {
  std::string fds = "/proc/" + std::to_string(pid) + "/fd";
  std::error_code error;
  for (const auto& fd : std::filesystem::directory_iterator(fds, error)) {
    if (std::filesystem::read_symlink(fd.path(), error) == path)
      return true;
  }
  return false;
}

// Runs streamtrim with args; as nobody (uid and gid 65534, in groups, if
// any) where asNobody, from program, a copy that nobody may run.
RunResult runCopy(const std::string& program, const std::vector<std::string>& args, bool asNobody,
                  const std::string& groups = "") {
  if (!asNobody)
    return runStreamtrim(args);
  std::vector<std::string> command = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                      groups.empty() ? "--clear-groups" : "--groups=" + groups};
  std::istringstream emulator(emulatorPrefix());
  for (std::string word; emulator >> word;)
    command.push_back(word);
  command.push_back(program);
  command.insert(command.end(), args.begin(), args.end());
  return runProgram(command.front(), command);  // argv[0] included
}

}  // namespace

// While it lives, this process (and so a run it starts) ignores signal, or
// takes its default action: a test started by a script's background job
// starts with SIGINT and SIGQUIT ignored.
struct SignalHandling {
  SignalHandling(int signal, void (*handler)(int)) : signal(signal) {
    struct sigaction action = {};
    action.sa_handler = handler;
    ::sigaction(signal, &action, &previous);
  }
  ~SignalHandling() { ::sigaction(signal, &previous, nullptr); }
  int signal;
  struct sigaction previous = {};  // SIGKILL's cannot change
};

// While it lives, the process's soft limit of resource is value.
struct ResourceLimit {
  ResourceLimit(int resource, rlim_t value) : resource(resource) {
    ::getrlimit(resource, &previous);
    struct rlimit limit = previous;
    limit.rlim_cur = value;
    ::setrlimit(resource, &limit);
  }
  ~ResourceLimit() { ::setrlimit(resource, &previous); }
  int resource;
  struct rlimit previous;
};

// A run stopped at its first write (the fault library's SIGSTOP) gets a
// signal there. Every signal that ends it, the real-time signals from the
// first to the last among them, is what its parent sees end it (no exit
// status: only so does a fault's default action dump core); it leaves the
// previous output, and none a temporary file but SIGKILL, which cannot be
// caught: it may leave one, with the name the README gives. A signal ignored when the run starts
// stays ignored, and so is SIGXFSZ: the run then writes its cut, or fails on
// the file-size limit (not started stopped). SIGABRT: a sanitizer keeps its
// own handler of SIGSEGV. A core dump is not wanted here.
TEST(OutputReplacement, SignalInTheOutputPassLeavesThePreviousOutput) {
  enum class Start { kPlain, kIgnored, kFileSizeLimit };
  struct Case {
    int signal;
    Start start;
    int status;  // 0: the output holds the cut, else the previous output
  };
  std::vector<Case> cases;
  for (int signal : {SIGINT, SIGTERM, SIGHUP, SIGQUIT, SIGUSR1, SIGUSR2, SIGALRM, SIGRTMIN,
                     SIGRTMIN + 1, SIGABRT, SIGKILL})
    cases.push_back({signal, Start::kPlain, endedBySignal(signal)});
  // valgrind keeps SIGRTMAX for itself, and qemu-user has no host signal for it.
  if (std::getenv("STREAMTRIM_TEST_WRAPPER") == nullptr && emulatorPrefix().empty())
    cases.push_back({SIGRTMAX, Start::kPlain, endedBySignal(SIGRTMAX)});
  cases.insert(cases.end(), {{SIGHUP, Start::kIgnored, 0},
                             {SIGXFSZ, Start::kPlain, 0},
                             {SIGXFSZ, Start::kFileSizeLimit, 1}});
  const std::string& log = copiedLog(500000);
  TempDir dir;
  writeFile(dir.file("in.log"), log);
  ResourceLimit noCore(RLIMIT_CORE, 0);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(strsignal(c.signal)) +
                 (c.start == Start::kIgnored         ? ", ignored at the start"
                  : c.start == Start::kFileSizeLimit ? ", under a file-size limit"
                                                     : ""));
    writeFile(dir.file("out.log"), kOldOutput);
    int status = -1;
    if (c.start == Start::kFileSizeLimit) {
      ResourceLimit limit(RLIMIT_FSIZE, 1 << 16);
      status = waitForExit(start(dir, {dir.file("in.log"), dir.file("out.log")}));
    } else {
      SignalHandling handling(c.signal, c.start == Start::kIgnored ? SIG_IGN : SIG_DFL);
      int pid = -1;
      if (!startStoppedInOutputPass(dir, dir.file("in.log"), pid))
        continue;
      ::kill(pid, c.signal);
      ::kill(pid, SIGCONT);
      status = waitForExit(pid);
    }
    EXPECT_EQ(status, c.status);
    EXPECT_TRUE(readFile(dir.file("out.log")) == (c.status == 0 ? log : kOldOutput));  // no diff
    EXPECT_EQ(withoutNotes(withoutEmulatorReport(readFile(dir.file("err")))),
              c.start == Start::kFileSizeLimit
                  ? "streamtrim: " + dir.file("out.log: ") + std::strerror(EFBIG) + "\n"
                  : "");
    std::vector<std::string> left = temporaryFiles(dir.path());
    EXPECT_LE(left.size(), c.signal == SIGKILL ? 1u : 0u);
    for (const std::string& name : left) {
      EXPECT_TRUE(matchesWhole(name, "\\.out\\.log\\.streamtrim-[A-Za-z0-9]{6}")) << name;
      std::filesystem::remove(dir.file(name));
    }
  }
}

// Starts streamtrim from dir/in.log to dir/out.log and stops it in its first
// pass, the log open: at its first read where the fault library is, before
// the output pass could have begun. Elsewhere, once it has the log open, and
// again while that was the output pass (its temporary file made).
bool startStoppedInFirstPass(const TempDir& dir, int& pid) {
  const std::vector<std::string> args = {dir.file("in.log"), dir.file("out.log")};
  if (kFaultLibrary != nullptr) {
    Faults stopAtFirstRead(FaultSettings{{"STOP_READ", "1"}});
    pid = start(dir, args);
    int status = 0;
    if (::waitpid(pid, &status, WUNTRACED) == pid && WIFSTOPPED(status))
      return true;
    ADD_FAILURE() << "the run ended before its first read, status " << status;
    return false;
  }
  for (int tries = 6; tries > 0; --tries) {
    pid = start(dir, args);
    if (!stopWhen(pid, [&] { return hasOpen(pid, dir.file("in.log")); }))
      return false;
    if (temporaryFiles(dir.path()).empty())
      return true;
    ::kill(pid, SIGKILL);
    waitForExit(pid);
    for (const std::string& name : temporaryFiles(dir.path()))
      std::filesystem::remove(dir.file(name));
  }
  ADD_FAILURE() << "the run was never caught in its first pass";
  return false;
}

// A new log renamed over the input during the first pass fails the run
// with one line naming the log; the previous output stays. (A failure in
// the output pass: OutputWritePaths and the file-size limit above.)
TEST(OutputReplacement, FailedRunLeavesThePreviousOutput) {
  TempDir dir;
  writeFile(dir.file("in.log"), copiedLog(500000));
  writeFile(dir.file("out.log"), kOldOutput);
  int pid = -1;
  ASSERT_TRUE(startStoppedInFirstPass(dir, pid));
  writeFile(dir.file("new.log"), "-- TPC-H Query 3\n");
  std::filesystem::rename(dir.file("new.log"), dir.file("in.log"));
  ::kill(pid, SIGCONT);
  EXPECT_EQ(waitForExit(pid), 1);
  EXPECT_EQ(
      withoutNotes(withoutEmulatorReport(readFile(dir.file("err")))),
      "streamtrim: " + dir.file("in.log") + ": the log changed while streamtrim was reading it\n");
  EXPECT_TRUE(readFile(dir.file("out.log")) == kOldOutput);  // no diff of megabytes
  EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

// The first run is stopped in its output pass while the second, whose cut
// is longer, writes the whole output; the first then writes on, and its cut
// replaces the second's.
TEST(OutputReplacement, ConcurrentRunsLeaveOneCompleteCut) {
  TempDir dir;
  const std::string& first = copiedLog(300000);
  writeFile(dir.file("first.log"), first);
  writeFile(dir.file("second.log"), copiedLog(400000));
  writeFile(dir.file("out.log"), kOldOutput);
  int pid = -1;
  ASSERT_TRUE(startStoppedInOutputPass(dir, dir.file("first.log"), pid));
  EXPECT_EQ(runStreamtrim({dir.file("second.log"), dir.file("out.log")}).status, 0);
  ::kill(pid, SIGCONT);
  EXPECT_EQ(waitForExit(pid), 0);
  EXPECT_TRUE(readFile(dir.file("out.log")) == first);  // no diff of megabytes
  EXPECT_EQ(temporaryFiles(dir.path()), std::vector<std::string>{});
}

// Two runs writing one output in place at once (its folder takes no new
// file, or the system refuses the rename, injected, so that the cut is
// copied over it): the first is stopped at its first write to the output;
// the second, whose cut is longer, fails at once with one line naming the
// output, and leaves it alone; the first then ends with its whole cut, not
// mixed with the second's.
TEST(OutputReplacement, ConcurrentRunsInPlaceFailTheSecond) {
  SKIP_WITHOUT_FAULT_LIBRARY();
  struct Row {
    const char* name;
    FaultSettings faults;  // both runs'
    bool lockedFolder;
  };
  const std::vector<Row> rows = {
      {"a folder that takes no new file", {}, true},
      {"a refused rename, copied over", {{"RENAME", "EPERM"}}, false},
  };
  const std::string& first = copiedLog(3000);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    writeFile(dir.file("first.log"), first);
    writeFile(dir.file("second.log"), copiedLog(4000));
    createDirectory(dir.file("folder"));
    const std::string out = dir.file("folder/out.log");
    writeFile(out, kOldOutput);
    std::optional<LockedDirectory> locked;
    if (row.lockedFolder && !locked.emplace(dir.file("folder")).locked())
      continue;  // this file system cannot lock a directory
    FaultSettings stopping = row.faults;
    stopping.insert(stopping.end(), {{"STOP", "1"}, {"STOP_ENDING", "/out.log"}});
    int pid = -1;
    {
      Faults injected(stopping);
      pid = start(dir, {dir.file("first.log"), out});
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, WUNTRACED), pid);
    ASSERT_TRUE(WIFSTOPPED(status)) << "the first run ended, status " << status;
    RunResult second;
    {
      Faults injected(row.faults);
      second = runStreamtrim({dir.file("second.log"), out});
    }
    ::kill(pid, SIGCONT);
    EXPECT_EQ(waitForExit(pid), 0);
    locked.reset();
    EXPECT_EQ(second.status, 1);
    EXPECT_EQ(second.err, "streamtrim: " + out +
                              ": another run is writing it in place (it is locked); try again "
                              "once that run has ended\n");
    EXPECT_TRUE(readFile(out) == first) << readFile(out).size() << " bytes";  // no diff
    EXPECT_EQ(temporaryFiles(dir.file("folder")), std::vector<std::string>{});
  }
}

// A file's extended attributes, its ACL (system.posix_acl_access) among
// them, by name: each value as the kernel gives it.
std::map<std::string, std::string> extendedAttributes(const std::string& path) {
  std::map<std::string, std::string> attributes;
  std::string names(65536, '\0');
  ssize_t size = ::listxattr(path.c_str(), names.data(), names.size());
  for (size_t start = 0; size > 0 && start < static_cast<size_t>(size);) {
    std::string name(names.c_str() + start);
    start += name.size() + 1;
    std::string value(65536, '\0');
    ssize_t length = ::getxattr(path.c_str(), name.c_str(), value.data(), value.size());
    attributes[name] = value.substr(0, static_cast<size_t>(std::max<ssize_t>(length, 0)));
  }
  return attributes;
}

// What the replacement keeps of a previous file of each kind: its mode
// whatever the umask (a new output gets what a file made by open() with 0666
// gets there: 0666 less the umask, or as the folder's default ACL says), owner, group,
// ACL and extended attributes; a symbolic link stays, its target replaced;
// another hard link keeps the previous content. What it does not keep gets
// one note. Some runs are made by nobody (uid 65534, also in group 8765), who
// may not give a file away, set a group it is not in, or set a security.*
// attribute, nor rename over root's file in a sticky folder: that file,
// which anybody may write, is copied over in place. A read-only file is
// refused. Without root only the rows of no given owner run, as the test's.
TEST(OutputReplacement, OutputKeepsItsLinksModeOwnerAndAttributes) {
  const bool root = ::geteuid() == 0;
  const bool setfacl = fileExists("/usr/bin/setfacl");  // Debian's acl package
  const uid_t kNobody = 65534;
  enum class Kind { kFile, kNew, kSymlink, kHardLinked };
  enum class Folder {
    kPlain,
    kDefaultAcl,  // one with a default ACL, which a new file takes
    kSetGroupId,  // set-group-ID, of group 4321: a new file takes its group
    kSticky,      // sticky, open to all
  };
  struct Case {
    const char* name;
    mode_t mode;  // the previous file's
    Kind kind = Kind::kFile;
    mode_t umask = 022;
    std::optional<uid_t> owner = {};  // the previous file's, if given; else the test's
    gid_t group = 0;
    const char* acl = nullptr;                // setfacl -m's entries
    const char* attribute = nullptr;          // an extended attribute set to "kept"
    bool byNobody = false;                    // the run is nobody's
    Folder folder = Folder::kPlain;           // the output's directory
    std::optional<mode_t> expectedMode = {};  // else mode
    std::optional<uid_t> expectedOwner = {};  // else owner
    std::optional<gid_t> expectedGroup = {};  // else group
    const char* dropped = nullptr;            // the attribute not kept
    std::string note = "";                    // after "streamtrim: <out>: note: "
    int error = 0;                            // the run fails so, the output kept
  };
  const std::string perm = std::strerror(EPERM);
  auto without = [](const std::string& what) {
    return "replaced without the previous file's " + what;
  };
  // clang-format off
  const std::vector<Case> cases = {
      {.name = "0640 file", .mode = 0640},
      {.name = "0644 file under umask 077", .mode = 0644, .umask = 077},
      {.name = "0600 file behind a symbolic link", .mode = 0600, .kind = Kind::kSymlink},
      {.name = "0644 file with another hard link", .mode = 0644, .kind = Kind::kHardLinked},
      {.name = "new file under umask 002", .mode = 0, .kind = Kind::kNew, .umask = 002,
       .expectedMode = 0664},
      // Not cut to the umask: what the shell's > would make there.
      {.name = "new file under umask 077 in a folder whose default ACL lets another user read",
       .mode = 0, .kind = Kind::kNew, .umask = 077, .folder = Folder::kDefaultAcl},
      {.name = "0604 file of another owner", .mode = 0604, .owner = 4321, .group = 8765},
      {.name = "set-user-ID", .mode = 04755, .owner = 0},
      {.name = "set-group-ID of another group", .mode = 02750, .owner = 0, .group = 8765},
      {.name = "sticky", .mode = 01644, .owner = 0},
      {.name = "another owner's set-user-ID and set-group-ID", .mode = 06755, .owner = 4321,
       .group = 8765},
      {.name = "an ACL letting another user read", .mode = 0640, .owner = 0, .acl = "u:4321:r"},
      {.name = "a user attribute", .mode = 0644, .owner = 0, .attribute = "user.comment"},
      {.name = "an ACL and a user attribute", .mode = 0640, .owner = 0, .acl = "u:4321:r",
       .attribute = "user.comment"},
      {.name = "no ACL in a directory with a default ACL", .mode = 0640, .owner = 0,
       .folder = Folder::kDefaultAcl},
      // The replacement takes an ACL of as many entries from the folder.
      {.name = "an ACL in a directory with a default ACL", .mode = 0640, .owner = 0,
       .acl = "u:4321:r", .folder = Folder::kDefaultAcl},
      {.name = "nobody's set-user-ID with an ACL", .mode = 04750, .owner = kNobody,
       .group = kNobody, .acl = "u:4321:r", .byNobody = true},
      {.name = "nobody's set-group-ID of group 0", .mode = 02664, .owner = kNobody,
       .byNobody = true, .expectedMode = 0664, .expectedGroup = kNobody,
       .note = without("group 0 (" + perm + "), set-group-ID bit (kept only with the group)")},
      {.name = "root's set-user-ID, written by nobody", .mode = 04666, .owner = 0,
       .byNobody = true, .expectedMode = 0666, .expectedOwner = kNobody, .expectedGroup = kNobody,
       .note = without("owner 0 (" + perm + "), group 0 (" + perm +
                       "), set-user-ID bit (kept only with the owner)")},
      {.name = "a security attribute, written by nobody", .mode = 0644, .owner = kNobody,
       .group = kNobody, .attribute = "security.streamtrim", .byNobody = true,
       .dropped = "security.streamtrim",
       .note = without("extended attribute security.streamtrim (" + perm + ")")},
      {.name = "nobody's set-group-ID of its folder's group, which nobody is not in",
       .mode = 02664, .owner = kNobody, .group = 4321, .byNobody = true,
       .folder = Folder::kSetGroupId, .expectedMode = 0664,
       .note = without("set-group-ID bit (cleared by the system)")},
      {.name = "root's set-group-ID of a group of nobody's, written by nobody", .mode = 02664,
       .owner = 0, .group = 8765, .byNobody = true, .expectedOwner = kNobody,
       .note = without("owner 0 (" + perm + ")")},
      // Refused as writing it in place would be, although its folder takes
      // the replacement; nobody's, as root may write any file.
      {.name = "a read-only file", .mode = 0444, .byNobody = true, .error = EACCES},
      // Replaced, it would lose its owner and group; copied over, nothing.
      {.name = "root's 0666 file in a sticky folder, written by nobody", .mode = 0666, .owner = 0,
       .byNobody = true, .folder = Folder::kSticky,
       .note = "written in place, as the system refuses to rename a file over it (" + perm +
               "); an interrupted run leaves a partial file"},
  };
  // clang-format on
  const std::string log = StreamLog().query(3, 3).text();
  TempDir dir;
  ASSERT_EQ(::chmod(dir.path().c_str(), 0777), 0);
  writeFile(dir.file("in.log"), log);
  const std::string program = dir.file("streamtrim");
  std::filesystem::copy_file(STREAMTRIM_BINARY, program);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if ((c.owner && !root) || ((c.acl || c.folder == Folder::kDefaultAcl) && !setfacl))
      continue;
    const std::string folder = dir.file("folder");
    std::filesystem::remove_all(folder);
    createDirectory(folder);
    ASSERT_EQ(::chmod(folder.c_str(), c.folder == Folder::kSticky ? 01777 : 0777), 0);
    const std::string out = folder + "/out.log";
    const std::string target = c.kind == Kind::kSymlink ? folder + "/target.log" : out;
    if (c.kind != Kind::kNew) {
      writeFile(target, kOldOutput);
      ASSERT_EQ(::chmod(target.c_str(), c.mode), 0);
    }
    if (c.kind == Kind::kSymlink) {
      ASSERT_TRUE(createSymlink("target.log", out));
    }
    if (c.kind == Kind::kHardLinked)
      createHardLink(out, folder + "/other.log");
    if (c.owner) {
      ASSERT_EQ(::chown(out.c_str(), *c.owner, c.group), 0);
      ASSERT_EQ(::chmod(out.c_str(), c.mode), 0);  // chown clears the set-ID bits
    }
    if (c.acl) {
      ASSERT_EQ(runProgram("/usr/bin/setfacl", {"setfacl", "-m", c.acl, out}).status, 0);
    }
    if (c.folder == Folder::kDefaultAcl) {
      ASSERT_EQ(runProgram("/usr/bin/setfacl", {"setfacl", "-d", "-m", "u:4321:rw", folder}).status,
                0);
    }
    if (c.folder == Folder::kSetGroupId) {
      ASSERT_EQ(::chown(folder.c_str(), 0, 4321), 0);
      ASSERT_EQ(::chmod(folder.c_str(), 02777), 0);
    }
    if (c.attribute && ::setxattr(out.c_str(), c.attribute, "kept", 4, 0) != 0)
      GTEST_SKIP() << "this file system refuses the extended attribute " << c.attribute << ": "
                   << std::strerror(errno);
    std::map<std::string, std::string> expected = extendedAttributes(out);
    std::optional<mode_t> createdMode;  // a new output's: a file made by open() with 0666 there
    if (c.kind == Kind::kNew) {
      const std::string reference = folder + "/reference";
      mode_t umask = ::umask(c.umask);
      int fd = ::open(reference.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
      ::umask(umask);
      ASSERT_GE(fd, 0);
      ::close(fd);
      struct stat info;
      ASSERT_EQ(::stat(reference.c_str(), &info), 0);
      createdMode = info.st_mode & 07777;
      expected = extendedAttributes(reference);
      std::filesystem::remove(reference);
    }
    ASSERT_EQ(expected.count("system.posix_acl_access"),
              c.acl || (c.kind == Kind::kNew && c.folder == Folder::kDefaultAcl) ? 1u : 0u);
    if (c.dropped)
      expected.erase(c.dropped);
    mode_t umask = ::umask(c.umask);
    RunResult result = runCopy(program, {dir.file("in.log"), out}, c.byNobody && root, "8765");
    ::umask(umask);
    if (c.error != 0) {
      EXPECT_EQ(result.status, 1);
      EXPECT_EQ(result.err, "streamtrim: " + out + ": " + std::strerror(c.error) + "\n");
      EXPECT_EQ(readFile(out), kOldOutput);
      continue;
    }
    EXPECT_EQ(result.status, 0);
    EXPECT_EQ(result.err, c.note.empty() ? "" : "streamtrim: " + out + ": note: " + c.note + "\n");
    EXPECT_TRUE(readFile(out) == log);
    struct stat info;
    ASSERT_EQ(::lstat(out.c_str(), &info), 0);
    EXPECT_EQ(S_ISLNK(info.st_mode), c.kind == Kind::kSymlink);
    ASSERT_EQ(::stat(out.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, c.expectedMode.value_or(createdMode.value_or(c.mode)))
        << std::oct << (info.st_mode & 07777);
    EXPECT_EQ(info.st_uid, c.expectedOwner.value_or(c.owner.value_or(::geteuid())));
    EXPECT_EQ(info.st_gid, c.expectedGroup.value_or(c.owner ? c.group : ::getegid()));
    EXPECT_EQ(extendedAttributes(out), expected);
    EXPECT_EQ(expected.count(c.attribute ? c.attribute : ""), c.attribute && !c.dropped ? 1u : 0u);
    if (c.kind == Kind::kHardLinked) {
      EXPECT_EQ(readFile(folder + "/other.log"), kOldOutput);
    }
    EXPECT_EQ(temporaryFiles(folder), std::vector<std::string>{});
  }
}

// The cut log goes to a pipe that the test stops reading once the status
// line shows: the run waits there to write, and is interrupted, by Ctrl+C
// or by Ctrl+\ (SIGQUIT).
TEST(Interruption, ErasesTheStatusLineAndEndsByTheSignal) {
  TempDir dir;
  writeFile(dir.file("in.log"), copiedLog(500000));
  ResourceLimit noCore(RLIMIT_CORE, 0);
  for (int signal : {SIGINT, SIGQUIT}) {
    SCOPED_TRACE(strsignal(signal));
    PseudoTerminal terminal;
    Pipe output;
    int pid = startStreamtrim({dir.file("in.log")}, output.fds[1], terminal.terminal());
    closeDescriptor(output.fds[1]);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    std::string shown;
    char bytes[65536];
    while (shown.find("\rstreamtrim: pass 2/2 ") == std::string::npos) {
      ASSERT_GE(waitForInput({output.fds[0], terminal.master()}, 60000), 0) << "the run hangs";
      if (waitForInput({output.fds[0]}, 0) == 0) {
        ASSERT_GT(readDescriptor(output.fds[0], bytes, sizeof bytes), 0) << "the cut log ended";
      }
      if (waitForInput({terminal.master()}, 0) == 0)
        shown.append(bytes, static_cast<size_t>(std::max<long>(
                                0, readDescriptor(terminal.master(), bytes, sizeof bytes))));
    }
    ::kill(pid, signal);
    EXPECT_EQ(waitForExit(pid), endedBySignal(signal));
    // The terminal stays open here, so that nothing the run wrote is lost.
    while (!withoutEmulatorReport(shown).ends_with("\r\x1b[K") &&
           waitForInput({terminal.master()}, 5000) == 0) {
      long got = readDescriptor(terminal.master(), bytes, sizeof bytes);
      ASSERT_GT(got, 0);
      shown.append(bytes, static_cast<size_t>(got));
    }
    EXPECT_TRUE(withoutEmulatorReport(shown).ends_with("\r\x1b[K")) << shown;
  }
}
