// What only Windows has: the system's messages, the programs' manifest and
// paths past 260 characters, names in UTF-16, the console and the changes
// made to it, logs other programs lock, read-only files, devices by their
// DOS names, pipes whose reader has gone without a signal to say so, and an
// output replaced with the system's own calls.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "run/progress.h"
#include "stream_log.h"
#include "system/failure.h"
#include "system/input_file.h"
#include "system/output_file.h"
#include "system/windows/console_windows.h"
#include "system/windows/system_error_windows.h"
#include "test_support.h"
#include "test_support_windows.h"
#include "trim_run.h"

namespace {

// One line on standard error, status 1, nothing on standard output.
void expectOneLineFailure(const RunResult& run, const std::string& message) {
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, message);
}

}  // namespace

// Windows ends its messages with a full stop and a line break, and some run
// over several lines; a failure must still be one line.
TEST(WindowsSystemError, MessagesAreOneLineWithoutFullStop) {
  for (DWORD error : {ERROR_FILE_NOT_FOUND, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL, ERROR_NO_DATA,
                      ERROR_ACCESS_DENIED}) {
    SCOPED_TRACE(error);
    std::string message = systemMessage(error);
    ASSERT_FALSE(message.empty());
    EXPECT_EQ(message.find_first_of("\r\n"), std::string::npos) << message;
    EXPECT_NE(message.back(), '.') << message;
    EXPECT_NE(message.back(), ' ') << message;
  }
  EXPECT_EQ(systemMessage(0x20000123), "system error 536871203");  // no message for it
}

// A log and a cut log named in any language are read and written, and a
// message names them as given.
TEST(WindowsFiles, NamesInAnyLanguageWorkAsInputAndOutput) {
  TempDir dir;
  const std::string log = dir.file("\xe6\x97\xa5\xe6\x9c\xac \xc3\xa9.log");
  const std::string cut = dir.file("\xe5\x87\xba\xe5\x8a\x9b \xc3\xa9.log");
  writeFile(log, readFile(SAMPLE_LOG));
  RunResult toStdout = runStreamtrim({log});
  ASSERT_EQ(toStdout.status, 0) << toStdout.err;
  RunResult toFile = runStreamtrim({log, cut});
  EXPECT_EQ(toFile.status, 0) << toFile.err;
  EXPECT_TRUE(readFile(cut) == toStdout.out) << "the cut log differs";

  const std::string nowhere = dir.file("\xe7\x84\xa1\xe3\x81\x84/\xc3\xa9.log");
  expectOneLineFailure(
      runStreamtrim({log, nowhere}),
      "streamtrim: " + nowhere + ": " + systemReason(SystemError::kNoSuchDirectory) + "\n");
}

// A log another program holds open without sharing fails the run in the
// first pass, before any output is created or emptied.
TEST(WindowsFiles, LockedLogFailsBeforeAnyOutput) {
  TempDir dir;
  const std::string log = dir.file("in.log");
  writeFile(log, readFile(SAMPLE_LOG));
  const std::string failure =
      "streamtrim: " + log + ": " + windowsReason(ERROR_SHARING_VIOLATION) + "\n";
  writeFile(dir.file("old.log"), "previous output\n");
  LockedFile lock = lockFile(log);
  expectOneLineFailure(runStreamtrim({log}), failure);
  expectOneLineFailure(runStreamtrim({log, dir.file("new.log")}), failure);
  EXPECT_FALSE(fileExists(dir.file("new.log")));
  expectOneLineFailure(runStreamtrim({log, dir.file("old.log")}), failure);
  EXPECT_EQ(readFile(dir.file("old.log")), "previous output\n");
}

// Devices have names in every folder; none is a log. Which reason a console
// gets depends on whether the test has one, but it is one line.
TEST(WindowsFiles, DevicesAreNoLogs) {
  TempDir dir;
  RunOptions inDir;
  inDir.cwd = dir.path();
  expectOneLineFailure(runStreamtrim({"NUL", "out.log"}, inDir),
                       std::string("streamtrim: NUL: ") + kLogNotRegular + "\n");
  for (const char* console : {"CON", "CONIN$"}) {
    SCOPED_TRACE(console);
    RunResult run = runStreamtrim({console, "out.log"}, inDir);
    EXPECT_EQ(run.status, 1);
    EXPECT_TRUE(run.err.starts_with(std::string("streamtrim: ") + console + ": ")) << run.err;
    EXPECT_EQ(run.err.find('\n'), run.err.size() - 1) << run.err;
  }
  EXPECT_FALSE(fileExists(dir.file("out.log")));
}

// Windows has no SIGPIPE: when the reader of the cut log or of the
// checker's report quits, the run fails with one line naming standard output
// and the system's reason (not the C runtime's errno text), as Windows' own
// commands do.
TEST(WindowsPipes, ReaderThatQuitsFailsTheRunWithOneLine) {
  TempDir dir;
  const std::string cut = dir.file("cut.log");
  ASSERT_EQ(runStreamtrim({SAMPLE_LOG, cut}).status, 0);
  struct Case {
    const char* program;
    std::string input;
    int status;
  };
  const Case cases[] = {{"streamtrim", SAMPLE_LOG, 1}, {"streamtrim-verify", cut, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.program);
    const std::string binary = c.status == 1 ? STREAMTRIM_BINARY : STREAMTRIM_VERIFY_BINARY;
    Pipe out;
    Pipe err;
    int pid = startProgram(binary, {binary, c.input}, out.fds[1], err.fds[1]);
    closeDescriptor(out.fds[1]);
    closeDescriptor(err.fds[1]);
    closeDescriptor(out.fds[0]);  // the reader quits before reading a byte
    std::string message;
    char buffer[4096];
    for (long got; (got = readDescriptor(err.fds[0], buffer, sizeof buffer)) > 0;)
      message.append(buffer, static_cast<size_t>(got));
    EXPECT_EQ(waitForExit(pid), c.status);
    EXPECT_EQ(message,
              std::string(c.program) + ": standard output: " + windowsReason(ERROR_NO_DATA) + "\n");
  }
}

namespace {

// The application manifest built into the program at path, or "" when it
// has none.
std::string manifestOf(const std::string& path) {
  HMODULE program = ::LoadLibraryExW(widen(path).c_str(), nullptr,
                                     LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
  if (program == nullptr)
    throw std::runtime_error("cannot load " + path + ": " + windowsReason(::GetLastError()));
  std::string manifest;
  HRSRC found = ::FindResourceW(program, MAKEINTRESOURCEW(1), MAKEINTRESOURCEW(24));
  HGLOBAL loaded = found != nullptr ? ::LoadResource(program, found) : nullptr;
  if (loaded != nullptr)
    manifest.assign(static_cast<const char*>(::LockResource(loaded)),
                    ::SizeofResource(program, found));
  ::FreeLibrary(program);
  return manifest;
}

// A folder under dir whose path is past MAX_PATH (260) characters, made.
std::string folderPastMaxPath(const TempDir& dir) {
  std::string path = dir.path();
  while (path.size() <= MAX_PATH) {
    path += "/" + std::string(60, 'f');
    createDirectory(path);
  }
  return path;
}

}  // namespace

// Both programs carry a manifest that lets Windows 10 and 11 hand them paths
// past 260 characters, runs them with the rights of whoever starts them, and
// says which systems they were made for.
TEST(WindowsManifest, BothProgramsDeclareLongPathsAndTheirSystems) {
  for (const char* program : {STREAMTRIM_BINARY, STREAMTRIM_VERIFY_BINARY}) {
    SCOPED_TRACE(program);
    std::string manifest = manifestOf(program);
    EXPECT_NE(manifest.find("<longPathAware xmlns=\"http://schemas.microsoft.com/SMI/2016/"
                            "WindowsSettings\">true</longPathAware>"),
              std::string::npos)
        << manifest;
    EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << manifest;
    EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos)
        << manifest;  // Windows 10 and 11
  }
}

// Each argument may be a path past 260 characters: the log, the cut log, and
// the checker's cut log and original. (Real Windows needs the manifest and
// the LongPathsEnabled policy for it; wine takes such paths anyway.)
TEST(WindowsFiles, PathsPastMaxPathWorkInEveryArgument) {
  TempDir dir;
  const std::string folder = folderPastMaxPath(dir);
  const std::string log = folder + "/stream.log";
  const std::string cut = folder + "/cut.log";
  ASSERT_GT(log.size(), static_cast<size_t>(MAX_PATH));
  writeFile(log, readFile(SAMPLE_LOG));
  RunResult trimmed = runStreamtrim({log, cut});
  ASSERT_EQ(trimmed.status, 0) << trimmed.err;
  RunResult verified = runVerify({cut, log});
  EXPECT_EQ(verified.status, 0) << verified.err;
  EXPECT_NE(verified.out.find("verified"), std::string::npos) << verified.out;
}

// The usage text names the program as it was started, also from a folder
// whose name the ANSI code page cannot spell.
TEST(WindowsCommandLine, UsageNamesTheProgramInAnyLanguage) {
  TempDir dir;
  const std::string folder = dir.file("\xe3\x83\x84\xe3\x83\xbc\xe3\x83\xab");  // ツール
  createDirectory(folder);
  const std::string program = folder + "/streamtrim.exe";
  std::filesystem::copy_file(fsPath(STREAMTRIM_BINARY), fsPath(program));
  RunResult run = runProgram(program, {program});
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.err.starts_with("usage: " + program + " <inputfile>")) << run.err;
}

// A read-only log named as its own output is the log itself, not a file
// the user may not write. Another read-only file is refused as such, and
// left as it is, where the system refuses writing it (wine lets its
// administrator write it).
TEST(WindowsFiles, ReadOnlyLogAsItsOwnOutputIsTheLogItself) {
  TempDir dir;
  const std::string log = dir.file("in.log");
  const std::string other = dir.file("other.log");
  writeFile(log, readFile(SAMPLE_LOG));
  writeFile(other, "kept\n");
  for (const std::string& path : {log, other})
    ASSERT_TRUE(::SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_READONLY));
  expectOneLineFailure(runStreamtrim({log, log}),
                       "streamtrim: " + log + ": is the input log itself\n");
  HANDLE writable =
      ::CreateFileW(widen(other).c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (writable == INVALID_HANDLE_VALUE) {
    expectOneLineFailure(runStreamtrim({log, other}),
                         "streamtrim: " + other + ": " + windowsReason(ERROR_ACCESS_DENIED) + "\n");
    EXPECT_TRUE(readFile(other) == "kept\n") << "the read-only output was changed";
  }
  ::CloseHandle(writable);
  for (const std::string& path : {log, other})
    ::SetFileAttributesW(widen(path).c_str(), FILE_ATTRIBUTE_NORMAL);
}

// --version and --help that cannot be written (no standard output at all)
// fail in both programs with their failure status and say so.
TEST(WindowsCommandLine, VersionAndHelpWithoutStandardOutputFail) {
  RunOptions closed;
  closed.closeStdout = true;
  struct Case {
    RunResult (*run)(const std::vector<std::string>&, const RunOptions&);
    std::string program;
    int status;
  };
  const Case cases[] = {{runVerify, "streamtrim-verify", 2}, {runStreamtrim, "streamtrim", 1}};
  for (const Case& c : cases) {
    for (const char* option : {"--version", "--help"}) {
      SCOPED_TRACE(c.program + " " + option);
      RunResult run = c.run({option}, closed);
      EXPECT_EQ(run.status, c.status);
      EXPECT_EQ(run.err,
                c.program + ": standard output: " + windowsReason(ERROR_INVALID_HANDLE) + "\n");
    }
  }
}

// Only a path that may name a console is opened to ask whether it is one;
// a named pipe, local or on another machine, never is.
TEST(WindowsConsole, OnlyConsoleNamesAreProbed) {
  struct Case {
    const wchar_t* path;
    bool probed;
  };
  const Case cases[] = {
      {L"CON", true},
      {L"conout$", true},
      {L"CONIN$", true},
      {L"C:\\logs\\con", true},
      {L"logs/CON.txt", true},
      {L"CON  ", true},
      {L"C:con", true},
      {L"\\\\.\\CONOUT$", true},
      {L"//./con", true},
      {L"\\\\?\\CON", true},
      {L"out.log", false},
      {L"C:\\logs\\console.log", false},
      {L"NUL", false},
      {L"\\\\.\\pipe\\con", false},
      {L"\\\\.\\pipe\\cut", false},
      {L"\\\\server\\pipe\\cut", false},
      {L"//server/pipe/con", false},
      {L"\\\\?\\UNC\\server\\pipe\\cut", false},
      {L"\\\\?\\C:\\logs\\con", false},  // a file named con
      {L"\\\\server\\share\\con", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(narrow(c.path));
    EXPECT_EQ(mayNameConsole(c.path), c.probed);
  }
}

// Every console mode and code page changed for a run is put back, the mode
// of the status line's virtual-terminal sequences too.
TEST(WindowsConsole, ChangesForTheRunAreUndone) {
  // A console of the test's own: the one it may have is not to be changed.
  ::FreeConsole();
  bool ownConsole = ::AllocConsole() != 0;
  HANDLE console =
      ::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                    nullptr, OPEN_EXISTING, 0, nullptr);
  DWORD original = 0;
  if (console == INVALID_HANDLE_VALUE || !::GetConsoleMode(console, &original)) {
    if (ownConsole)
      ::FreeConsole();
    GTEST_SKIP() << "no console to change (wine without a terminal has none)";
  }
  constexpr DWORD kVirtualTerminal = 0x0004;  // ENABLE_VIRTUAL_TERMINAL_PROCESSING
  ::SetConsoleMode(console, original & ~kVirtualTerminal);
  const DWORD before = original & ~kVirtualTerminal;
  const UINT codePage = ::GetConsoleOutputCP();
  const UINT other = codePage == CP_UTF8 ? 437 : CP_UTF8;

  ASSERT_TRUE(addConsoleModeForRun(console, kVirtualTerminal));
  ASSERT_TRUE(setConsoleOutputCodePageForRun(other));
  DWORD during = 0;
  ::GetConsoleMode(console, &during);
  EXPECT_EQ(during & kVirtualTerminal, kVirtualTerminal);
  EXPECT_EQ(::GetConsoleOutputCP(), other);

  restoreConsole();
  DWORD after = 0;
  ::GetConsoleMode(console, &after);
  EXPECT_EQ(after, before);
  EXPECT_EQ(::GetConsoleOutputCP(), codePage);

  ::SetConsoleMode(console, original);
  ::CloseHandle(console);
  if (ownConsole)
    ::FreeConsole();
}

namespace {

const char kPreviousOutput[] = "the previous output\r\n";

// A log of results of a query that is never cut, each short enough to draw
// no remark, of at least megabytes MiB: a run copies it whole, writing as
// much as it reads.
std::string copiedLog(int queryNr, size_t megabytes) {
  StreamLog log;
  while (log.text().size() < (megabytes << 20))
    log.query(queryNr, 5000);
  return log.text();
}

// The names of the files in dir but in*.log and out.log, sorted.
std::vector<std::string> strayFiles(const TempDir& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(fsPath(dir.path()))) {
    std::string name = narrow(entry.path().filename().wstring());
    if (!(name.starts_with("in") && name.ends_with(".log")) && name != "out.log")
      names.push_back(name);
  }
  std::sort(names.begin(), names.end());
  return names;
}

// The output path as a failed run leaves it: out.log holds the previous
// output, or is not there when existing is false, and nothing else was left.
void expectPreviousOutput(const TempDir& dir, bool existing) {
  EXPECT_EQ(fileExists(dir.file("out.log")), existing);
  if (existing) {
    EXPECT_TRUE(readFile(dir.file("out.log")) == kPreviousOutput) << "the output was changed";
  }
  EXPECT_EQ(strayFiles(dir), std::vector<std::string>{});
}

// The log at path, failing to be read past its first half.
class LogFailingHalfway final : public InputFile {
 public:
  explicit LogFailingHalfway(const std::string& path)
      : InputFile(path), log_(openInputFile(path)), half_(log_->stamp().size / 2) {}

  FileStamp stamp() const override { return log_->stamp(); }

  size_t readAt(uint64_t offset, char* buffer, size_t size) const override {
    if (offset + size > half_)
      throw Failure(path(), "read error");
    return log_->readAt(offset, buffer, size);
  }

 private:
  std::unique_ptr<InputFile> log_;
  uint64_t half_;
};

}  // namespace

// A read error halfway through the output pass fails the run after blocks
// of the cut have been written: the output path keeps the previous output
// byte for byte, or stays free, and no temporary file is left.
TEST(WindowsReplacement, FailedOutputPassLeavesThePreviousOutput) {
  for (bool existing : {true, false}) {
    SCOPED_TRACE(existing ? "existing output" : "new output");
    TempDir dir;
    writeFile(dir.file("in.log"), copiedLog(3, 4));
    if (existing)
      writeFile(dir.file("out.log"), kPreviousOutput);
    int opens = 0;
    TrimFiles files{[&]() -> std::unique_ptr<InputFile> {
                      if (++opens == 1)
                        return openInputFile(dir.file("in.log"));
                      return std::make_unique<LogFailingHalfway>(dir.file("in.log"));
                    },
                    [&] { return openOutputFile(dir.file("out.log")); }};
    Progress progress(nullptr);
    EXPECT_THROW(trimLog(files, progress), Failure);
    EXPECT_EQ(opens, 2);
    expectPreviousOutput(dir, existing);
  }
}

// The cut replaces the previous file, whose attributes it takes, while a
// hard link to the previous file keeps the previous content.
TEST(WindowsReplacement, KeepsTheAttributesAndLeavesHardLinksTheirContent) {
  RunResult cut = runStreamtrim({SAMPLE_LOG});
  ASSERT_EQ(cut.status, 0) << cut.err;
  const DWORD cases[] = {FILE_ATTRIBUTE_NORMAL, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM,
                         FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM};
  for (DWORD attributes : cases) {
    SCOPED_TRACE(attributes);
    TempDir dir;
    const std::string output = dir.file("out.log");
    writeFile(output, kPreviousOutput);
    createHardLink(output, dir.file("link.log"));
    ASSERT_TRUE(::SetFileAttributesW(widen(output).c_str(), attributes));
    const DWORD before = ::GetFileAttributesW(widen(output).c_str());
    RunResult run = runStreamtrim({SAMPLE_LOG, output});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(readFile(output) == cut.out) << "the output is not the cut";
    EXPECT_EQ(::GetFileAttributesW(widen(output).c_str()), before);
    EXPECT_TRUE(readFile(dir.file("link.log")) == kPreviousOutput) << "the link's file was changed";
  }
}

// Two runs writing one output at once each write a temporary file of their
// own: both succeed and the output is the whole cut of one of them.
TEST(WindowsReplacement, RunsAtOnceLeaveOneWholeCut) {
  const std::string logs[] = {copiedLog(3, 8), copiedLog(5, 8)};
  for (bool existing : {true, false}) {
    SCOPED_TRACE(existing ? "existing output" : "new output");
    TempDir dir;
    const std::string output = dir.file("out.log");
    if (existing)
      writeFile(output, kPreviousOutput);
    RunResult runs[2];
    std::vector<std::thread> threads;
    for (int i = 0; i < 2; ++i) {
      const std::string log = dir.file("in" + std::to_string(i) + ".log");
      writeFile(log, logs[i]);
      threads.emplace_back([&, i, log] { runs[i] = runStreamtrim({log, output}); });
    }
    for (std::thread& thread : threads)
      thread.join();
    // A run that starts once the other's copy is in place finds an uncut log
    // there, which it refuses untouched (existing_output_test.cpp).
    for (const RunResult& run : runs) {
      EXPECT_TRUE(run.status == 0 ||
                  (run.status == 1 && run.err.find(": an uncut query-stream log") != run.err.npos))
          << run.err;
    }
    EXPECT_TRUE(runs[0].status == 0 || runs[1].status == 0);
    const std::string written = readFile(output);
    EXPECT_TRUE(written == logs[0] || written == logs[1]) << "the output is no run's whole cut";
    // Wine's ReplaceFileW moves the file it replaces aside to an "rf*.tmp"
    // of its own first, and leaves that name behind when another replace
    // has just moved the file away.
    std::vector<std::string> stray = strayFiles(dir);
    std::erase_if(stray, [](const std::string& name) {
      return name.starts_with("rf") && name.ends_with(".tmp");
    });
    EXPECT_EQ(stray, std::vector<std::string>{});
  }
}

// An output path that changes while the cut is written still ends holding
// the cut: a file another run made there meanwhile is replaced, and one
// removed meanwhile is made again.
TEST(WindowsReplacement, PathThatChangesMeanwhileEndsHoldingTheCut) {
  for (bool existing : {false, true}) {
    SCOPED_TRACE(existing ? "removed meanwhile" : "made meanwhile");
    TempDir dir;
    const std::string path = dir.file("out.log");
    if (existing)
      writeFile(path, kPreviousOutput);
    std::unique_ptr<OutputFile> output = openOutputFile(path);
    output->begin();
    output->writeLine("the cut");
    if (existing)
      std::filesystem::remove(fsPath(path));
    else
      writeFile(path, kPreviousOutput);
    output->close();
    EXPECT_EQ(readFile(path), "the cut\n");
    EXPECT_EQ(strayFiles(dir), std::vector<std::string>{});
  }
}

// A run killed during its output pass leaves the output path as it was, and
// no temporary file: the system removes a file marked for deletion when its
// process ends. The temporary file seen meanwhile is ".out.log.streamtrim-"
// and six letters or digits.
TEST(WindowsReplacement, KilledRunLeavesThePreviousOutputAndNoTemporaryFile) {
  const std::string log = copiedLog(3, 24);
  for (bool existing : {true, false}) {
    SCOPED_TRACE(existing ? "existing output" : "new output");
    TempDir dir;
    writeFile(dir.file("in.log"), log);
    if (existing)
      writeFile(dir.file("out.log"), kPreviousOutput);
    Pipe out;
    Pipe err;
    int pid = startProgram(STREAMTRIM_BINARY,
                           {STREAMTRIM_BINARY, dir.file("in.log"), dir.file("out.log")}, out.fds[1],
                           err.fds[1]);
    closeDescriptor(out.fds[1]);
    closeDescriptor(err.fds[1]);
    HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, static_cast<DWORD>(pid));
    ASSERT_NE(process, nullptr);
    // The output pass has begun once a file appears or the output changes.
    std::vector<std::string> seen;
    while (seen.empty() && fileExists(dir.file("out.log")) == existing &&
           (!existing || fileSize(dir.file("out.log")) == sizeof kPreviousOutput - 1) &&
           ::WaitForSingleObject(process, 0) == WAIT_TIMEOUT)
      seen = strayFiles(dir);
    ::TerminateProcess(process, 9);
    ::CloseHandle(process);
    EXPECT_EQ(waitForExit(pid), 9);

    ASSERT_EQ(seen.size(), 1u);
    EXPECT_TRUE(seen[0].starts_with(".out.log.streamtrim-")) << seen[0];
    EXPECT_EQ(seen[0].size(), std::string(".out.log.streamtrim-").size() + 6) << seen[0];
    EXPECT_EQ(seen[0].find_first_not_of("0123456789abcdefghijklmnopqrstuvwxyz", 20),
              std::string::npos)
        << seen[0];
    expectPreviousOutput(dir, existing);
  }
}
