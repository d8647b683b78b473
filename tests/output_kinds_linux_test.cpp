// Each kind of output is written its own way (output_file.h), and every write
// path fails cleanly, also on faults that only the fault library
// (fault_injection.cpp, preloaded into the built streamtrim) makes.

#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <functional>
#include <optional>
#include <sstream>
#include <string>
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

// Runs streamtrim with args through a shell that then becomes the run
// (exec), its descriptor 3 closed: "$$" in the last argument is the run's own
// process id.
RunResult runByShell(const std::vector<std::string>& args, const RunOptions& options) {
  std::vector<std::string> command = {"/bin/sh", "-c", "exec \"$@\" " + args.back() + " 3>&-",
                                      "sh"};
  std::istringstream emulator(emulatorPrefix());
  for (std::string word; emulator >> word;)
    command.push_back(word);
  command.push_back(STREAMTRIM_BINARY);
  command.insert(command.end(), args.begin(), args.end() - 1);
  return runProgram(command.front(), command, options);
}

// While it lives, a write past bytes fails with EFBIG (SIGXFSZ ignored), as
// for a run started under ulimit -f.
struct FileSizeLimit {
  explicit FileSizeLimit(rlim_t bytes) : xfsz(::signal(SIGXFSZ, SIG_IGN)) {
    ::getrlimit(RLIMIT_FSIZE, &previous);
    struct rlimit limit = previous;
    limit.rlim_cur = bytes;
    ::setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    ::setrlimit(RLIMIT_FSIZE, &previous);
    ::signal(SIGXFSZ, xfsz);
  }
  sighandler_t xfsz;
  struct rlimit previous;
};

}  // namespace

// One row per kind of output, with the near-misses of each, and those that
// must fail: what holds the cut afterwards (after what it held, for
// standard output appended to a file), whether the file is the same one, the
// note, and whether the lines went out in blocks (files) or one write each
// (counted by the fault library where the build has it); or the error
// naming the output, and no file made.
TEST(OutputKinds, EachKindIsWrittenItsWay) {
  enum class Place { kFile, kStdout, kStderr, kNowhere };
  enum class To { kPipe, kFile, kAppended, kNull };  // where the run's standard output goes
  struct Row {
    const char* name;
    std::string output = "";  // the argument, if any: under the folder unless absolute
    To to = To::kPipe;        // kFile: out.txt; kAppended: all.txt, which holds kPrevious
    std::function<void(const TempDir&)> prepare = nullptr;
    Place place = Place::kFile;
    std::string holder = "";  // for Place::kFile, the file under the folder that holds the cut
    bool sameFile = false;    // the holder is the file it was before the run
    bool locked = false;      // in locked/, a folder that takes no new file
    int flag = 0;             // in flagged/, a folder with this chattr flag
    bool blocks = false;      // written in blocks, though not to a file that holds the cut
    int error = 0;            // the run fails so
    bool shell = false;       // run by a shell (runByShell): "$$" is its pid, descriptor 3 closed
  };
  const std::string log = copiedLog(3000);
  // Longer than the cut: a file written in place must be emptied first.
  const std::string previous = kPrevious + std::string(log.size(), '.');
  auto existing = [&previous](const std::string& name) {
    return [&previous, name](const TempDir& d) { writeFile(d.file(name), previous); };
  };
  auto symlinkTo = [](const std::string& target, const std::string& name) {
    return [=](const TempDir& d) { createSymlink(target, d.file(name)); };
  };
  // linkN -> ... -> link1 -> target.log, relative and absolute by turns.
  auto linkChain = [&](int links) {
    return [&, links](const TempDir& d) {
      existing("target.log")(d);
      for (int i = 1; i <= links; ++i) {
        std::string to = i == 1 ? "target.log" : "link" + std::to_string(i - 1);
        symlinkTo(i % 2 == 0 ? d.file(to) : to, "link" + std::to_string(i))(d);
      }
    };
  };
  const std::string n237(237, 'n'), n255(255, 'n');
  // clang-format off
  const std::vector<Row> rows = {
      {.name = "a new file", .output = "out.log", .holder = "out.log"},
      {.name = "an existing file", .output = "out.log", .prepare = existing("out.log"),
       .holder = "out.log"},
      {.name = "a file whose folder takes no new file", .output = "locked/out.log",
       .prepare = existing("locked/out.log"), .holder = "locked/out.log", .sameFile = true,
       .locked = true},
      {.name = "a new file in a folder that takes no new file", .output = "locked/new.log",
       .locked = true, .error = ::geteuid() == 0 ? EPERM : EACCES},  // immutable for root
      // Neither renamed over nor removed there: written in place, also when new.
      {.name = "a file in an append-only folder", .output = "flagged/out.log",
       .prepare = existing("flagged/out.log"), .holder = "flagged/out.log", .sameFile = true,
       .flag = FS_APPEND_FL},
      {.name = "a new file in an append-only folder", .output = "flagged/new.log",
       .holder = "flagged/new.log", .flag = FS_APPEND_FL},
      {.name = "a file in a folder of another flag (no dump)", .output = "flagged/out.log",
       .prepare = existing("flagged/out.log"), .holder = "flagged/out.log",
       .flag = FS_NODUMP_FL},
      {.name = "standard output appended to a file", .to = To::kAppended, .holder = "all.txt",
       .sameFile = true},
      {.name = "standard output to a file", .to = To::kFile, .holder = "out.txt"},
      {.name = "/dev/stdout appended to a file", .output = "/dev/stdout", .to = To::kAppended,
       .holder = "all.txt", .sameFile = true},
      {.name = "/proc/self/fd/1 appended to a file", .output = "/proc/self/fd/1",
       .to = To::kAppended, .holder = "all.txt", .sameFile = true},
      {.name = "a link to /dev/stdout appended to a file", .output = "link", .to = To::kAppended,
       .prepare = symlinkTo("/dev/stdout", "link"), .holder = "all.txt", .sameFile = true},
      // Every spelling of descriptor 1 is that descriptor ("$$": the run's own
      // process id).
      {.name = "/dev/fd//1 appended to a file", .output = "/dev/fd//1", .to = To::kAppended,
       .holder = "all.txt", .sameFile = true},
      {.name = "/dev/fd/./1 appended to a file", .output = "/dev/fd/./1", .to = To::kAppended,
       .holder = "all.txt", .sameFile = true},
      {.name = "/proc/thread-self/fd/1 appended to a file", .output = "/proc/thread-self/fd/1",
       .to = To::kAppended, .holder = "all.txt", .sameFile = true},
      {.name = "/proc/<own pid>/fd/1 appended to a file", .output = "/proc/$$/fd/1",
       .to = To::kAppended, .holder = "all.txt", .sameFile = true, .shell = true},
      {.name = "a link to /dev/fd//1 appended to a file", .output = "link", .to = To::kAppended,
       .prepare = symlinkTo("/dev/fd//1", "link"), .holder = "all.txt", .sameFile = true},
      {.name = "standard output to a pipe", .place = Place::kStdout},
      {.name = "/dev/fd/1 to a pipe", .output = "/dev/fd/1", .place = Place::kStdout},
      {.name = "/proc/self/fd/1 to a pipe", .output = "/proc/self/fd/1", .place = Place::kStdout},
      {.name = "/dev/fd//1 to a pipe", .output = "/dev/fd//1", .place = Place::kStdout},
      {.name = "/dev/fd/./1 to a pipe", .output = "/dev/fd/./1", .place = Place::kStdout},
      {.name = "/proc/thread-self/fd/1 to a pipe", .output = "/proc/thread-self/fd/1",
       .place = Place::kStdout},
      {.name = "/proc/<own pid>/fd/1 to a pipe", .output = "/proc/$$/fd/1", .place = Place::kStdout,
       .shell = true},
      {.name = "a link to /proc/thread-self/fd/1 to a pipe", .output = "link",
       .prepare = symlinkTo("/proc/thread-self/fd/1", "link"), .place = Place::kStdout},
      // Near misses: named as a descriptor is, in a folder that lists none.
      {.name = "a file named 1", .output = "1", .holder = "1"},
      {.name = "a file named stdout", .output = "stdout", .holder = "stdout"},
      {.name = "a descriptor that is not open", .output = "/dev/fd/9", .error = EBADF},
      // Not the descriptor the run's own input log takes.
      {.name = "descriptor 3, which the caller did not open", .output = "/dev/fd/3",
       .error = EBADF, .shell = true},
      {.name = "/dev/fd/ with no number", .output = "/dev/fd/", .error = EISDIR},
      {.name = "/proc/self/fd/ with no number", .output = "/proc/self/fd/", .error = EISDIR},
      {.name = "/dev/stderr to a pipe", .output = "/dev/stderr", .place = Place::kStderr},
      // /dev/null discards: blocks, as to a file; any other device gets each line.
      {.name = "/dev/null", .output = kNullDevice, .place = Place::kNowhere, .blocks = true},
      {.name = "a link to /dev/null", .output = "link", .prepare = symlinkTo(kNullDevice, "link"),
       .place = Place::kNowhere, .blocks = true},
      {.name = "standard output to /dev/null", .to = To::kNull, .place = Place::kNowhere,
       .blocks = true},
      {.name = "/dev/zero, a device that is not /dev/null", .output = "/dev/zero",
       .place = Place::kNowhere},
      {.name = "an absolute link to an existing file", .output = "out.log",
       .prepare = [&](const TempDir& d) {
         existing("target.log")(d);
         symlinkTo(d.file("target.log"), "out.log")(d);
       },
       .holder = "target.log"},
      {.name = "a chain of links, relative then absolute", .output = "out.log",
       .prepare = [&](const TempDir& d) {
         existing("sub/target.log")(d);
         symlinkTo(d.file("sub/target.log"), "sub/middle.log")(d);
         symlinkTo("sub/middle.log", "out.log")(d);
       },
       .holder = "sub/target.log"},
      // As many links as the system follows before it calls the path a
      // loop (as the shell's > does), and one more.
      {.name = "a chain of 40 links", .output = "link40", .prepare = linkChain(40),
       .holder = "target.log"},
      {.name = "a chain of 41 links", .output = "link41", .prepare = linkChain(41), .error = ELOOP},
      // The first name whose temporary file's must be cut, the longest, and one over.
      {.name = "a name of 237 bytes", .output = n237, .prepare = existing(n237), .holder = n237},
      {.name = "a name of 255 bytes", .output = n255, .holder = n255},
      {.name = "a name of 256 bytes", .output = n255 + "n", .error = ENAMETOOLONG},
  };
  // clang-format on
  std::string notRun;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    TempDir dir;
    writeFile(dir.file("in.log"), log);
    createDirectory(dir.file("locked"));
    createDirectory(dir.file("flagged"));
    createDirectory(dir.file("sub"));
    if (row.prepare)
      row.prepare(dir);
    std::vector<std::string> args = {dir.file("in.log")};
    if (!row.output.empty())
      args.push_back(row.output.starts_with("/") ? row.output : dir.file(row.output));
    RunOptions options;
    if (row.to == To::kAppended) {
      writeFile(dir.file("all.txt"), kPrevious);
      options.stdoutAppendPath = dir.file("all.txt");
    }
    if (row.to == To::kFile)
      options.stdoutPath = dir.file("out.txt");
    if (row.to == To::kNull)
      options.stdoutPath = kNullDevice;
    std::optional<LockedDirectory> locked;
    std::optional<FlaggedDirectory> flagged;
    if ((row.locked && !locked.emplace(dir.file("locked")).locked()) ||
        (row.flag != 0 && !flagged.emplace(dir.file("flagged"), row.flag).set())) {
      notRun += std::string(notRun.empty() ? "" : "; ") + row.name;
      continue;  // this file system or user cannot give the folder its flag
    }
    const std::string holder = dir.file(row.holder);
    ino_t before = inode(holder);
    auto entries = [&] {
      auto all = std::filesystem::recursive_directory_iterator(dir.path());
      return std::distance(begin(all), end(all));
    };
    auto entriesBefore = entries();
    RunResult run;
    {
      Faults counting(FaultSettings{{"COUNT", dir.file("count")}});
      run = row.shell ? runByShell(args, options) : runStreamtrim(args, options);
    }
    locked.reset();
    flagged.reset();
    if (row.error != 0) {
      EXPECT_EQ(run.status, 1);
      EXPECT_EQ(run.err, errorLine(args[1], row.error));
      EXPECT_EQ(entries(), entriesBefore + (fileExists(dir.file("count")) ? 1 : 0));
      continue;
    }
    EXPECT_EQ(run.status, 0) << run.err;
    std::string err = run.err;
    if (row.place == Place::kStdout) {
      EXPECT_TRUE(run.out == log) << run.out.size();
    }
    if (row.place == Place::kStderr) {
      EXPECT_TRUE(err.starts_with(log)) << err.size();
      err.erase(0, std::min(log.size(), err.size()));
    }
    if (row.place == Place::kFile) {
      std::string holds = readFile(holder);
      EXPECT_TRUE(holds == (row.to == To::kAppended ? kPrevious + log : log)) << holds.size();
      EXPECT_EQ(inode(holder) == before, row.sameFile);
      if (args.size() > 1 && args[1] != holder && args[1].starts_with(dir.path())) {
        EXPECT_TRUE(std::filesystem::is_symlink(args[1]));  // the link stays
      }
    }
    EXPECT_EQ(err, row.locked                 ? inPlaceNote(args[1], "its folder takes no new file")
                   : row.flag == FS_APPEND_FL ? inPlaceNote(args[1], "its folder is append-only")
                                              : "");
    EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
    if (kFaultLibrary != nullptr) {
      int writes = std::stoi(readFile(dir.file("count")));
      if (row.place == Place::kFile || row.blocks) {
        EXPECT_LE(writes, 3);  // 150 KB in 1 MiB blocks
      } else {
        EXPECT_GE(writes, 3000);
      }
    }
  }
  if (!notRun.empty())
    GTEST_SKIP() << "rows not run, as this file system (" << TempDir().path()
                 << ") or user cannot flag a folder: " << notRun;
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
    bool named;   // a path given (a replaced file, kept on a failure), else standard output
    bool toFile;  // standard output to a file, else to a pipe
  } outputs[] = {{"a replaced file", true, false},
                 {"standard output to a file", false, true},
                 {"standard output to a pipe", false, false}};
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
          if (output.named) {
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
    const char* device;  // the output, or null for out.log under a size limit of 64 KiB
  };
  const std::string long2000(1999, 'x'), long300k(299999, 'x');
  const std::vector<Row> rows = {
      {"/dev/full, a last line of 2000 bytes", long2000, true, "/dev/full"},
      {"standard output on /dev/full, a last line of 2000 bytes", long2000, false, "/dev/full"},
      {"/dev/full, a short last line", "short", true, "/dev/full"},
      {"a size limit, a last line of 300 KB", long300k, true, nullptr},
      {"standard output to a file, a size limit, a last line of 300 KB", long300k, false, nullptr},
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
      FileSizeLimit limit(row.device ? RLIM_INFINITY : 1 << 16);
      run = runStreamtrim(args, options);
    }
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err,
              errorLine(row.named ? output : "standard output", row.device ? ENOSPC : EFBIG));
    if (row.named && row.device == nullptr) {
      EXPECT_EQ(readFile(output), kPrevious);
    }
    EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
  }
}

// A write to a regular file that fails part-way (past ulimit -f, SIGXFSZ
// ignored; a full disk, injected) leaves the file ending in the last whole
// line that went out, never below what it held before the run: a limit one
// byte short of a line end loses that line, one at a line end keeps it, and
// the next cut appended, or the shell's next command, starts on a line of
// its own. (A replaced file keeps
// the previous one instead: FullDeviceAndSizeLimitOnTheLastLine.)
TEST(OutputWritePaths, AFailedWriteLeavesWholeLines) {
  enum class Output {
    kAppended,
    kStdoutFile,
    kShellThenEcho,  // sh -c 'streamtrim LOG; echo next' >out.log
    kReadWrite,      // sh -c 'streamtrim LOG 1<>out.log': written from its start, not emptied
    kClosedFolder,
    kAppendOnlyFolder,
    kCopiedOver,
  };
  // A log of some blocks, a line of 300 KB (written without a copy) near its end.
  const std::string log = copiedLog(60000) + std::string(299999, 'x') + "\n" + "the last line\n";
  std::vector<size_t> ends = {0};  // where each line ends: ends[n] for the first n lines
  for (size_t at = log.find('\n'); at != std::string::npos; at = log.find('\n', at + 1))
    ends.push_back(at + 1);
  const size_t mid = ends.size() / 2, longLine = ends.size() - 2;
  struct Row {
    const char* name;
    Output output;
    bool injected;  // a full disk from the fault library, else a size limit
    size_t line;    // the room for the cut ends at this line's end...
    int by;         // ...moved by this many bytes
    size_t kept;    // the lines of the cut the file ends with
  };
  const std::vector<Row> rows = {
      {"appended, a size limit one byte short of a line end", Output::kAppended, false, mid, -1,
       mid - 1},
      {"appended, a size limit at a line end", Output::kAppended, false, mid, 0, mid},
      {"appended, a size limit in the cut's first line", Output::kAppended, false, 1, -1, 0},
      {"appended, a size limit one byte short of a 300 KB line's end", Output::kAppended, false,
       longLine, -1, longLine - 1},
      {"standard output to a file, a full disk", Output::kStdoutFile, true, mid, 7, mid},
      {"standard output to a file, a size limit, then the shell's next command",
       Output::kShellThenEcho, false, mid, -1, mid - 1},
      // Near miss: the failed write stops inside the file's own bytes, which stay.
      {"standard output read-write over a longer file, a size limit: nothing cut",
       Output::kReadWrite, false, mid, -1, 0},
      {"in place in a folder that takes no new file, a size limit", Output::kClosedFolder, false,
       mid, -1, mid - 1},
      {"in place in an append-only folder, a full disk", Output::kAppendOnlyFolder, true, mid, 1,
       mid},
      {"copied over in place, a full disk in the copy", Output::kCopiedOver, true, mid, -1,
       mid - 1},
  };
  std::string notRun;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    if (row.injected && kFaultLibrary == nullptr) {
      notRun += std::string(notRun.empty() ? "" : "; ") + row.name;
      continue;
    }
    TempDir dir;
    writeFile(dir.file("in.log"), log);
    createDirectory(dir.file("folder"));
    const std::string out = dir.file("folder/out.log");
    const bool appended = row.output == Output::kAppended;
    writeFile(out, appended ? kPrevious : std::string(log.size(), '.'));
    std::vector<std::string> args = {dir.file("in.log")};
    RunOptions options;
    if (appended)
      options.stdoutAppendPath = out;
    else if (row.output == Output::kStdoutFile || row.output == Output::kShellThenEcho)
      options.stdoutPath = out;
    else if (row.output != Output::kReadWrite)
      args.push_back(out);
    std::optional<LockedDirectory> locked;
    std::optional<FlaggedDirectory> flagged;
    if ((row.output == Output::kClosedFolder && !locked.emplace(dir.file("folder")).locked()) ||
        (row.output == Output::kAppendOnlyFolder &&
         !flagged.emplace(dir.file("folder"), FS_APPEND_FL).set())) {
      notRun += std::string(notRun.empty() ? "" : "; ") + row.name;
      continue;
    }
    const std::string before = appended ? kPrevious : "";
    const size_t room = ends[row.line] + static_cast<size_t>(row.by);
    RunResult run;
    if (row.injected) {
      size_t copied = row.output == Output::kCopiedOver ? log.size() : 0;  // the temporary file's
      FaultSettings settings = {{"WRITE", "ENOSPC"},
                                {"WRITE_AFTER", std::to_string(copied + room)}};
      if (row.output == Output::kCopiedOver)
        settings.push_back({"RENAME", "EPERM"});
      Faults injected(settings);
      run = runStreamtrim(args, options);
    } else {
      FileSizeLimit limit(before.size() + room);
      if (row.output == Output::kShellThenEcho || row.output == Output::kReadWrite) {
        // Through the emulator where the build needs one, as runStreamtrim runs it.
        const std::string script =
            row.output == Output::kShellThenEcho ? "\"$@\"; echo next" : "\"$@\" 1<>'" + out + "'";
        std::vector<std::string> command = {"sh", "-c", script, "sh"};
        std::istringstream emulator(emulatorPrefix());
        for (std::string word; emulator >> word;)
          command.push_back(word);
        command.insert(command.end(), {STREAMTRIM_BINARY, args[0]});
        run = runProgram("/bin/sh", command, options);
      } else {
        run = runStreamtrim(args, options);
      }
    }
    const std::string after = row.output == Output::kShellThenEcho ? "next\n" : "";
    locked.reset();
    flagged.reset();
    EXPECT_EQ(run.status, after.empty() ? 1 : 0);  // the shell's status is echo's
    EXPECT_EQ(withoutNotes(run.err),
              errorLine(args.size() > 1 ? out : "standard output", row.injected ? ENOSPC : EFBIG));
    const std::string holds = readFile(out);
    const std::string expected = row.output == Output::kReadWrite
                                     ? log.substr(0, room) + std::string(log.size() - room, '.')
                                     : before + log.substr(0, ends[row.kept]) + after;
    EXPECT_TRUE(holds == expected)
        << holds.size() << " bytes, not " << before.size() + ends[row.kept] + after.size();
    EXPECT_EQ(temporaryFiles(dir), std::vector<std::string>{});
    if (appended) {
      EXPECT_EQ(runStreamtrim(args, options).status, 0);
      EXPECT_TRUE(readFile(out) == holds + log) << "the next cut glued to the last line";
    }
  }
  if (!notRun.empty())
    GTEST_SKIP() << "rows not run, without the fault library or a folder flagged: " << notRun;
}

// A failing close() of the temporary file fails the run; a rename that the
// system refuses for the file (EPERM, EBUSY, EXDEV, and no other error, as
// EACCES) copies the complete cut over it in place after the note, and
// fails when closing the output then fails; any other rename failure fails
// the run. Either way no temporary file stays. A refused rename as it really
// happens is a row of OutputReplacement.OutputKeepsItsLinksModeOwnerAndAttributes.
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
      {{{"RENAME", "EACCES"}}, true, 0, EACCES},
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
