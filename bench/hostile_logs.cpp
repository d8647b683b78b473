#include "hostile_logs.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Collects text and writes it in large pieces; any failure ends the benchmark.
class Writer {
 public:
  explicit Writer(const std::string& path) : path_(path), file_(std::fopen(path.c_str(), "wb")) {
    if (file_ == nullptr)
      fail();
  }
  ~Writer() {
    flush();
    if (std::fclose(file_) != 0)
      fail();
  }
  void add(const std::string& text) {
    pending_ += text;
    if (pending_.size() >= (size_t{1} << 20))
      flush();
  }
  void repeat(char c, uint64_t count) {
    while (count > 0) {
      size_t now = count < (uint64_t{1} << 20) ? static_cast<size_t>(count) : size_t{1} << 20;
      pending_.append(now, c);
      flush();
      count -= now;
    }
  }

 private:
  void flush() {
    if (std::fwrite(pending_.data(), 1, pending_.size(), file_) != pending_.size())
      fail();
    pending_.clear();
  }
  [[noreturn]] void fail() {
    std::fprintf(stderr, "trim_benchmark: %s: %s\n", path_.c_str(), std::strerror(errno));
    std::exit(1);
  }
  std::string path_;
  std::FILE* file_;
  std::string pending_;
};

}  // namespace

void writeTinyTables(const std::string& path, uint64_t tables) {
  Writer out(path);
  for (uint64_t t = 0; t < tables; ++t)
    out.add(t % 2 == 0 ? "TPC-H Query 3\n===\n|\n" : "TPC-H Query 11\n===\n|\n");
}

void writeCutTables(const std::string& path, uint64_t tables, uint64_t rows) {
  Writer out(path);
  std::string table = "TPC-H Query 16\n===\n";
  for (uint64_t r = 0; r < rows; ++r)
    table += "|\n";
  for (uint64_t t = 0; t < tables; ++t)
    out.add(table);
}

void writeSingleLine(const std::string& path, uint64_t bytes) {
  Writer out(path);
  out.add("-- TPC-H Query 3 (stream 0, position 1/22)\nl_orderkey|revenue\n===\n|");
  out.repeat('y', bytes - 1);
  out.add("\n(1 row)\n");
}
