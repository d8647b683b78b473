// The helpers every system shares; test_support_posix.cpp and
// test_support_windows.cpp hold the rest.

#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <stdexcept>
#include <string_view>
#include <system_error>

std::filesystem::path fsPath(const std::string& path) {
  return std::filesystem::path(std::u8string(path.begin(), path.end()));
}

namespace {

void putFile(const std::string& path, const std::string& content, std::ios::openmode mode) {
  std::ofstream out(fsPath(path), std::ios::binary | mode);
  out << content;
  if (!out.flush())
    throw std::runtime_error("cannot write " + path);
}

}  // namespace

void writeFile(const std::string& path, const std::string& content) {
  putFile(path, content, std::ios::trunc);
}

void appendFile(const std::string& path, const std::string& content) {
  putFile(path, content, std::ios::app);
}

std::string readFile(const std::string& path) {
  std::ifstream in(fsPath(path), std::ios::binary);
  if (!in)
    throw std::runtime_error("cannot read " + path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string withoutNotes(const std::string& err) {
  std::string kept;
  for (size_t pos = 0, end; pos < err.size(); pos = end) {
    end = std::min(err.find('\n', pos), err.size() - 1) + 1;
    std::string_view line = std::string_view(err).substr(pos, end - pos);
    if (line.find(": note: ") == line.npos)
      kept += line;
  }
  return kept;
}

uint64_t fileSize(const std::string& path) {
  return std::filesystem::file_size(fsPath(path));
}

bool matchesWhole(const std::string& text, const std::string& pattern) {
  return std::regex_match(text, std::regex(pattern));
}

bool fileExists(const std::string& path) {
  std::error_code error;
  return std::filesystem::exists(std::filesystem::symlink_status(fsPath(path), error));
}

void createDirectory(const std::string& path) {
  if (!std::filesystem::create_directory(fsPath(path)))
    throw std::runtime_error(path + " exists already");
}

void createHardLink(const std::string& target, const std::string& link) {
  std::filesystem::create_hard_link(fsPath(target), fsPath(link));
}

bool createSymlink(const std::string& target, const std::string& link) {
  std::error_code error;
  std::filesystem::create_symlink(fsPath(target), fsPath(link), error);
  if (error && symlinkRefused(error))
    return false;
  if (error)
    throw std::system_error(error, "cannot link " + link + " to " + target);
  return true;
}

namespace {

void appendWords(std::vector<std::string>& argv, const char* text) {
  std::istringstream words(text);
  for (std::string word; words >> word;)
    argv.push_back(word);
}

// The command that runs a binary built here. STREAMTRIM_TEST_WRAPPER, when set
// and wrapped is true, names a program (with options separated by blanks) that
// runs the binary, e.g. "valgrind -q --error-exitcode=99". A cross build whose
// binaries this machine cannot start by itself defines STREAMTRIM_TEST_EMULATOR
// (e.g. "/usr/bin/qemu-aarch64 -L /usr/aarch64-linux-gnu"), which comes next.
// The path of the program to run comes first (programPath).
std::vector<std::string> builtCommand(const char* binary, const std::vector<std::string>& args,
                                      bool wrapped = true) {
  std::vector<std::string> argv;
  const char* wrapper = wrapped ? std::getenv("STREAMTRIM_TEST_WRAPPER") : nullptr;
  if (wrapper != nullptr)
    appendWords(argv, wrapper);
#ifdef STREAMTRIM_TEST_EMULATOR
  appendWords(argv, STREAMTRIM_TEST_EMULATOR);
#endif
  argv.push_back(binary);
  argv.insert(argv.end(), args.begin(), args.end());
  argv.insert(argv.begin(), programPath(argv.front()));
  return argv;
}

RunResult runBuilt(const std::vector<std::string>& command, const RunOptions& options) {
  return runProgram(command.front(), {command.begin() + 1, command.end()}, options);
}

}  // namespace

RunResult runStreamtrim(const std::vector<std::string>& args, const RunOptions& options) {
  return runBuilt(builtCommand(STREAMTRIM_BINARY, args), options);
}

RunResult runVerify(const std::vector<std::string>& args, const RunOptions& options) {
  return runBuilt(builtCommand(STREAMTRIM_VERIFY_BINARY, args), options);
}

std::string emulatorPrefix() {
#ifdef STREAMTRIM_TEST_EMULATOR
  return STREAMTRIM_TEST_EMULATOR " ";
#else
  return "";
#endif
}

RunResult runSamplerProbe(const std::vector<std::string>& args) {
  return runBuilt(builtCommand(SAMPLER_PROBE_BINARY, args, false), {});
}

RunResult runMakeStreamLog(const std::vector<std::string>& args) {
  return runBuilt(builtCommand(MAKE_STREAM_LOG_BINARY, args, false), {});
}

int startStreamtrim(const std::vector<std::string>& args, int outFd, int errFd) {
  std::vector<std::string> command = builtCommand(STREAMTRIM_BINARY, args);
  return startProgram(command.front(), {command.begin() + 1, command.end()}, outFd, errFd);
}
