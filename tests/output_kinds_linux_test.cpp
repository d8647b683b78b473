// Each kind of output is written its own way (output_file.h): what the path
// holds after a run, whether it was replaced or written where it stands, the
// note of an output written in place, blocks or a write per line; and every
// write path fails cleanly, also on faults that only the fault library
// (fault_injection.cpp, preloaded into the built streamtrim) makes.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "injected_faults_linux.h"
#include "locked_directory_linux.h"
#include "stream_log.h"
#include "test_support.h"

namespace {

const char kPrevious[] = "the previous output\n";

// A log copied whole (query 3 is never cut), so the cut is the log.
std::string copiedLog(uint64_t rows) {
  return StreamLog().query(3, rows).text();
}

ino_t inode(const std::string& path) {
  struct stat info;
  return ::stat(path.c_str(), &info) == 0 ? info.st_ino : 0;
}

// The files in dir that are a temporary file of streamtrim's.
std::vector<std::string> temporaryFiles(const TempDir& dir) {
  std::vector<std::string> found;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(dir.path())) {
    if (entry.path().filename().string().find(".streamtrim-") != std::string::npos)
      found.push_back(entry.path().string());
  }
  return found;
}

std::string errorLine(const std::string& subject, int error) {
  return "streamtrim: " + subject + ": " + std::strerror(error) + "\n";
}

std::string inPlaceNote(const std::string& output, const std::string& reason) {
  return "streamtrim: " + output + ": note: written in place, as " + reason +
         "; an interrupted run leaves a partial file\n";
}

// Ignores SIGXFSZ and limits the size of files written to bytes while it
// lives, so that a write past the limit fails with EFBIG, as it does for a
// run started so.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    struct sigaction ignore = {};
    ignore.sa_handler = SIG_IGN;
    ::sigaction(SIGXFSZ, &ignore, &previousAction_);
    ::getrlimit(RLIMIT_FSIZE, &previous_);
    struct rlimit limit = previous_;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous_);
    ::sigaction(SIGXFSZ, &previousAction_, nullptr);
  }

 private:
  struct rlimit previous_;
  struct sigaction previousAction_;
};

}  // namespace

// One row per kind of output, with the near-misses of each: what holds the
// cut afterwards and what it held before (kept where the output is written
// where it stands), whether the file is the same one, the note, and whether
// the lines went out in blocks or one write each (counted by the fault
// library where the build has it).
TEST(OutputKinds, EachKindIsWrittenItsWay) {
  enum class Place { kFile, kStdout, kStderr, kNowhere };
  enum class File { kNew, kReplaced, kSame };
  enum class Writes { kBlocks, kLines };
  struct Setup {
    std::vector<std::string> output;  // the output argument, if any
    RunOptions options;
    std::string holder;  // the file that holds the cut, for Place::kFile
    std::shared_ptr<LockedDirectory> locked;
  };
  struct Row {
    const char* name;
    std::function<Setup(const TempDir&)> setup;
    Place place;
    std::string before;  // what the place holds before the cut afterwards
    File file;
    bool noted;
    Writes writes;
  };
  auto appendedTo = [](const TempDir& dir, std::vector<std::string> output) {
    writeFile(dir.file("all.txt"), kPrevious);
    Setup setup{std::move(output), {}, dir.file("all.txt"), nullptr};
    setup.options.stdoutAppendPath = dir.file("all.txt");
    return setup;
  };
  auto named = [](const std::string& path, const std::string& holder) {
    return Setup{{path}, {}, holder, nullptr};
  };
  const std::string longName(237, 'n');
  const std::string longestName(255, 'n');
  const std::vector<Row> rows = {
      {"a new file", [&](const TempDir& d) { return named(d.file("out.log"), d.file("out.log")); },
       Place::kFile, "", File::kNew, false, Writes::kBlocks},
      {"an existing file",
       [&](const TempDir& d) {
         writeFile(d.file("out.log"), kPrevious);
         return named(d.file("out.log"), d.file("out.log"));
       },
       Place::kFile, "", File::kReplaced, false, Writes::kBlocks},
      {"a file whose folder takes no new file",
       [&](const TempDir& d) {
         createDirectory(d.file("locked"));
         writeFile(d.file("locked/out.log"), kPrevious);
         Setup setup = named(d.file("locked/out.log"), d.file("locked/out.log"));
         setup.locked = std::make_shared<LockedDirectory>(d.file("locked"));
         return setup;
       },
       Place::kFile, "", File::kSame, true, Writes::kBlocks},
      {"standard output appended to a file", [&](const TempDir& d) { return appendedTo(d, {}); },
       Place::kFile, kPrevious, File::kSame, false, Writes::kBlocks},
      {"standard output to a file",
       [&](const TempDir& d) {
         Setup setup{{}, {}, d.file("out.txt"), nullptr};
         setup.options.stdoutPath = d.file("out.txt");
         return setup;
       },
       Place::kFile, "", File::kNew, false, Writes::kBlocks},
      {"/dev/stdout appended to a file",
       [&](const TempDir& d) { return appendedTo(d, {"/dev/stdout"}); }, Place::kFile, kPrevious,
       File::kSame, false, Writes::kBlocks},
      {"/proc/self/fd/1 appended to a file",
       [&](const TempDir& d) { return appendedTo(d, {"/proc/self/fd/1"}); }, Place::kFile,
       kPrevious, File::kSame, false, Writes::kBlocks},
      {"a link to /dev/stdout appended to a file",
       [&](const TempDir& d) {
         createSymlink("/dev/stdout", d.file("link"));
         return appendedTo(d, {d.file("link")});
       },
       Place::kFile, kPrevious, File::kSame, false, Writes::kBlocks},
      {"standard output to a pipe",
       [&](const TempDir&) {
         return Setup{{}, {}, "", nullptr};
       },
       Place::kStdout, "", File::kNew, false, Writes::kLines},
      {"/dev/fd/1 to a pipe", [&](const TempDir&) { return named("/dev/fd/1", ""); },
       Place::kStdout, "", File::kNew, false, Writes::kLines},
      {"/proc/self/fd/1 to a pipe", [&](const TempDir&) { return named("/proc/self/fd/1", ""); },
       Place::kStdout, "", File::kNew, false, Writes::kLines},
      {"/dev/stderr to a pipe", [&](const TempDir&) { return named("/dev/stderr", ""); },
       Place::kStderr, "", File::kNew, false, Writes::kLines},
      {"a device", [&](const TempDir&) { return named(kNullDevice, ""); }, Place::kNowhere, "",
       File::kNew, false, Writes::kLines},
      {"an absolute link to an existing file",
       [&](const TempDir& d) {
         writeFile(d.file("target.log"), kPrevious);
         createSymlink(d.file("target.log"), d.file("out.log"));
         return named(d.file("out.log"), d.file("target.log"));
       },
       Place::kFile, "", File::kReplaced, false, Writes::kBlocks},
      {"a chain of links, relative then absolute",
       [&](const TempDir& d) {
         createDirectory(d.file("sub"));
         writeFile(d.file("sub/target.log"), kPrevious);
         createSymlink(d.file("sub/target.log"), d.file("sub/middle.log"));
         createSymlink("sub/middle.log", d.file("out.log"));
         return named(d.file("out.log"), d.file("sub/target.log"));
       },
       Place::kFile, "", File::kReplaced, false, Writes::kBlocks},
      {"a name of 237 bytes",
       [&](const TempDir& d) {
         writeFile(d.file(longName), kPrevious);
         return named(d.file(longName), d.file(longName));
       },
       Place::kFile, "", File::kReplaced, false, Writes::kBlocks},
      {"a name of 255 bytes",
       [&](const TempDir& d) { return named(d.file(longestName), d.file(longestName)); },
       Place::kFile, "", File::kNew, false, Writes::kBlocks},
  };
  const std::string log = copiedLog(3000);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    writeFile(dir.file("in.log"), log);
    Setup setup = row.setup(dir);
    if (setup.locked && !setup.locked->locked())
      continue;  // this file system cannot lock a directory
    ino_t before = row.place == Place::kFile ? inode(setup.holder) : 0;
    std::vector<std::string> args = {dir.file("in.log")};
    args.insert(args.end(), setup.output.begin(), setup.output.end());
    RunResult run;
    {
      Faults counting(FaultSettings{{"COUNT", dir.file("count")}});
      run = runStreamtrim(args, setup.options);
    }
    setup.locked.reset();
    EXPECT_EQ(run.status, 0) << run.err;
    std::string err = run.err;
    if (row.place == Place::kStdout) {
      EXPECT_TRUE(run.out == row.before + log) << run.out.size();
    }
    if (row.place == Place::kStderr) {
      EXPECT_TRUE(err.starts_with(log)) << err.size();
      err.erase(0, std::min(log.size(), err.size()));
    }
    if (row.place == Place::kFile) {
      EXPECT_TRUE(readFile(setup.holder) == row.before + log) << readFile(setup.holder).size();
      EXPECT_EQ(inode(setup.holder) != before, row.file != File::kSame);
      if (row.file == File::kNew) {
        EXPECT_EQ(before, 0u);
      }
      if (row.file == File::kReplaced) {
        EXPECT_NE(before, 0u);
      }
      if (!setup.output.empty() && setup.output[0] != setup.holder &&
          setup.output[0].starts_with(dir.path())) {
        EXPECT_TRUE(std::filesystem::is_symlink(setup.output[0]));  // the link stays
      }
    }
    EXPECT_EQ(err, row.noted ? inPlaceNote(setup.output[0], "its folder takes no new file") : "");
    EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
    if (kFaultLibrary != nullptr) {
      int writes = std::stoi(readFile(dir.file("count")));
      if (row.writes == Writes::kBlocks) {
        EXPECT_LE(writes, 3);  // 150 KB in 1 MiB blocks
      } else {
        EXPECT_GE(writes, 3000);
      }
    }
  }
}

// Near-misses of the kinds above that must fail, naming the output and
// leaving no file behind.
TEST(OutputKinds, OutputsThatCannotBeWritten) {
  struct Row {
    const char* name;
    std::string output;  // under the test's directory when relative
    int error;
  };
  const std::vector<Row> rows = {
      {"a descriptor that is not open", "/dev/fd/9", EBADF},
      {"a name of 256 bytes", std::string(256, 'n'), ENAMETOOLONG},
      {"a new file in a folder that takes no new file", "locked/new.log", EACCES},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    writeFile(dir.file("in.log"), copiedLog(3));
    createDirectory(dir.file("locked"));
    LockedDirectory locked(dir.file("locked"));
    if (row.error == EACCES && !locked.locked())
      continue;  // this file system cannot lock a directory
    std::string output = row.output.starts_with("/") ? row.output : dir.file(row.output);
    RunResult run = runStreamtrim({dir.file("in.log"), output});
    EXPECT_EQ(run.status, 1);
    int error = row.error == EACCES && ::geteuid() == 0 ? EPERM : row.error;  // immutable for root
    EXPECT_EQ(run.err, errorLine(output, error));
    auto entries = std::filesystem::directory_iterator(dir.path());
    EXPECT_EQ(std::distance(begin(entries), end(entries)), 2);  // in.log and locked
  }
}

// Every write path (a short line joined into one write, a line over the
// joined size written with writev, a last line of 300 KB written without a
// copy, lines gathered into blocks) on each kind of output that has it: a
// write error in the middle or in the last line fails the run once, naming
// the output, with a replaced output kept; writes cut short by the system
// are carried on to the whole cut.
TEST(OutputWritePaths, ErrorsAndShortWritesOnEveryPath) {
  SKIP_WITHOUT_FAULT_LIBRARY();
  struct Output {
    const char* name;
    bool named;        // a path given, else standard output
    bool toFile;       // standard output to a file
    bool keptOnError;  // the previous output stays after a failure
  };
  const std::vector<Output> outputs = {{"a replaced file", true, false, true},
                                       {"standard output to a file", false, true, false},
                                       {"standard output to a pipe", false, false, false}};
  struct Shape {
    const char* name;
    std::string log;
    size_t lastLine;  // the size of its last line
  };
  const std::string table = copiedLog(20);
  const std::vector<Shape> shapes = {
      {"short lines", table, table.size() - table.rfind('\n', table.size() - 2) - 1},
      {"a last line of 2000 bytes", table + std::string(1999, 'x') + "\n", 2000},
      {"a last line of 300 KB", table + std::string(300000 - 1, 'x') + "\n", 300000},
      {"lines over several blocks", copiedLog(60000), 0},
  };
  struct Fault {
    const char* name;
    std::function<size_t(const Shape&)> after;  // bytes written before writes fail; 0: none
  };
  const std::vector<Fault> faults = {
      {"an error in the middle", [](const Shape& s) { return s.log.size() / 2; }},
      {"an error in the last line",
       [](const Shape& s) { return s.log.size() - std::max<size_t>(s.lastLine / 2, 1); }},
      {"writes cut short", [](const Shape&) { return 0; }},
  };
  for (const Output& output : outputs) {
    for (const Shape& shape : shapes) {
      for (const Fault& fault : faults) {
        SCOPED_TRACE(std::string(output.name) + ", " + shape.name + ", " + fault.name);
        TempDir dir;
        writeFile(dir.file("in.log"), shape.log);
        writeFile(dir.file("out.log"), kPrevious);
        std::vector<std::string> args = {dir.file("in.log")};
        RunOptions options;
        if (output.named)
          args.push_back(dir.file("out.log"));
        if (output.toFile)
          options.stdoutPath = dir.file("out.log");
        size_t after = fault.after(shape);
        RunResult run;
        {
          Faults injected(
              after == 0 ? FaultSettings{{"SHORT", "7"}}
                         : FaultSettings{{"WRITE", "EIO"}, {"WRITE_AFTER", std::to_string(after)}});
          run = runStreamtrim(args, options);
        }
        std::string holds = output.named || output.toFile ? readFile(dir.file("out.log")) : run.out;
        if (after == 0) {
          EXPECT_EQ(run.status, 0) << run.err;
          EXPECT_EQ(withoutNotes(run.err), "");
          EXPECT_TRUE(holds == shape.log) << holds.size() << " bytes of " << shape.log.size();
        } else {
          EXPECT_EQ(run.status, 1);
          EXPECT_EQ(withoutNotes(run.err),
                    errorLine(output.named ? dir.file("out.log") : "standard output", EIO));
          if (output.keptOnError) {
            EXPECT_EQ(holds, kPrevious);
          } else {
            EXPECT_TRUE(holds.size() <= after && shape.log.starts_with(holds)) << holds.size();
          }
        }
        EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
      }
    }
  }
}

// The same paths on real faults: a full device and the limit of a file's
// size (ulimit -f), both on the last line, which once went unreported.
TEST(OutputWritePaths, FullDeviceAndSizeLimitOnTheLastLine) {
  const std::string table = copiedLog(20);
  struct Row {
    const char* name;
    std::string last;    // the last line, without its line end
    bool named;          // the output given as a path, else standard output
    const char* device;  // the output, or null for TempDir's out.log
    int error;
  };
  const std::vector<Row> rows = {
      {"/dev/full, a last line of 2000 bytes", std::string(1999, 'x'), true, "/dev/full", ENOSPC},
      {"standard output on /dev/full, a last line of 2000 bytes", std::string(1999, 'x'), false,
       "/dev/full", ENOSPC},
      {"/dev/full, a short last line", "short", true, "/dev/full", ENOSPC},
      {"a size limit of 64 KiB, a last line of 300 KB", std::string(299999, 'x'), true, nullptr,
       EFBIG},
      {"standard output to a file, a size limit of 64 KiB, a last line of 300 KB",
       std::string(299999, 'x'), false, nullptr, EFBIG},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    writeFile(dir.file("in.log"), table + row.last + "\n");
    writeFile(dir.file("out.log"), kPrevious);
    std::string output = row.device ? row.device : dir.file("out.log");
    std::vector<std::string> args = {dir.file("in.log")};
    RunOptions options;
    if (row.named)
      args.push_back(output);
    else
      options.stdoutPath = output;
    RunResult run;
    {
      FileSizeLimit limit(row.error == EFBIG ? 1 << 16 : RLIM_INFINITY);
      run = runStreamtrim(args, options);
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, errorLine(row.named ? output : "standard output", row.error));
    if (row.named && row.device == nullptr) {
      EXPECT_EQ(readFile(output), kPrevious);
    }
    EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
  }
}

// A failing close() of the temporary file fails the run; a rename that the
// system refuses for the file (EPERM, EBUSY, EXDEV) copies the complete cut
// over it in place after the note, and fails when closing the output then
// fails; any other rename failure fails the run. Either way no temporary file
// stays.
TEST(OutputFaults, CloseAndRenameOfTheTemporaryFile) {
  SKIP_WITHOUT_FAULT_LIBRARY();
  struct Row {
    FaultSettings faults;
    bool exists;  // the output exists before the run
    int renamed;  // errno of the refused rename the note names; 0: no note
    int failed;   // errno of the failure; 0: status 0
  };
  const std::vector<Row> rows = {
      {{{"CLOSE", "EIO"}}, true, 0, EIO},
      {{{"CLOSE", "EDQUOT"}}, true, 0, EDQUOT},
      {{{"CLOSE", "EIO"}}, false, 0, EIO},
      {{{"RENAME", "EPERM"}}, true, EPERM, 0},
      {{{"RENAME", "EBUSY"}}, true, EBUSY, 0},
      {{{"RENAME", "EXDEV"}}, true, EXDEV, 0},
      {{{"RENAME", "EIO"}}, true, 0, EIO},
      {{{"RENAME", "ENOSPC"}}, true, 0, ENOSPC},
      {{{"RENAME", "EPERM"}}, false, 0, EPERM},
      {{{"RENAME", "EPERM"}, {"CLOSE", "EIO"}, {"CLOSE_ENDING", "/out.log"}}, true, EPERM, EIO},
  };
  const std::string log = copiedLog(3000);
  // Longer than the cut, which must not end in what is left of it.
  const std::string previous = kPrevious + std::string(log.size(), '.');
  for (const Row& row : rows) {
    std::string name;
    for (const auto& [fault, value] : row.faults)
      name += fault + "=" + value + " ";
    SCOPED_TRACE(name + (row.exists ? "" : "a new output"));
    TempDir dir;
    writeFile(dir.file("in.log"), log);
    const std::string out = dir.file("out.log");
    if (row.exists) {
      writeFile(out, previous);
      createHardLink(out, dir.file("other.log"));
    }
    RunResult run;
    {
      Faults injected(row.faults);
      run = runStreamtrim({dir.file("in.log"), out});
    }
    EXPECT_EQ(run.status, row.failed == 0 ? 0 : 1);
    std::string err;
    if (row.renamed != 0) {
      err = inPlaceNote(out, "the system refuses to rename a file over it (" +
                                 std::string(std::strerror(row.renamed)) + ")");
    }
    if (row.failed != 0)
      err += errorLine(out, row.failed);
    EXPECT_EQ(run.err, err);
    if (row.renamed != 0) {
      EXPECT_TRUE(readFile(out) == log);
      EXPECT_TRUE(readFile(dir.file("other.log")) == log);  // the same file, written in place
    } else {
      EXPECT_EQ(fileExists(out), row.exists);
      if (row.exists) {
        EXPECT_TRUE(readFile(out) == previous);
      }
    }
    EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
  }
}

// The refused rename as it happens: another user's file of mode 0666 in a
// sticky folder, which nobody may rename over but anybody may write. Run as
// nobody, which only root can arrange.
TEST(OutputFaults, AnotherUsersFileInAStickyFolderIsCopiedOver) {
  if (::geteuid() != 0)
    GTEST_SKIP() << "only root can run the tool as another user";
  TempDir dir;
  const std::string log = copiedLog(3000);
  writeFile(dir.file("in.log"), log);
  const std::string program = dir.file("streamtrim");
  std::filesystem::copy_file(STREAMTRIM_BINARY, program);  // the build may be closed to nobody
  const std::string out = dir.file("out.log");
  writeFile(out, kPrevious);
  ASSERT_EQ(::chmod(out.c_str(), 0666), 0);
  ASSERT_EQ(::chmod(dir.path().c_str(), 01777), 0);
  ino_t before = inode(out);
  std::vector<std::string> command = {"/usr/bin/setpriv", "--reuid=65534", "--regid=65534",
                                      "--clear-groups"};
  std::istringstream emulator(emulatorPrefix());
  for (std::string word; emulator >> word;)
    command.push_back(word);
  command.insert(command.end(), {program, dir.file("in.log"), out});
  RunResult run = runProgram(command.front(), command);  // argv[0] included
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.err, inPlaceNote(out, "the system refuses to rename a file over it (" +
                                          std::string(std::strerror(EPERM)) + ")"));
  EXPECT_TRUE(readFile(out) == log);
  EXPECT_EQ(inode(out), before);
  EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
}
