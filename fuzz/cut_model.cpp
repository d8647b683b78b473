#include "cut_model.h"

#include <cstdint>
#include <cstdlib>

namespace {

struct Table {
  size_t firstRow;  // index of its row 1 among the lines
  uint64_t rows;
  bool cuttableQuery;
};

bool contains(std::string_view line, std::string_view what) {
  return line.find(what) != line.npos;
}

// Whether the header names query 11, 16 or 20: after "TPC-H Query" and one
// character, the number as atoi() reads it (blanks, then a sign, then digits).
bool namesCuttableQuery(std::string_view header) {
  std::string_view rest = header.substr(header.find("TPC-H Query") + 11);
  rest.remove_prefix(rest.empty() ? 0 : 1);
  while (!rest.empty() && (rest[0] == ' ' || (rest[0] >= '\t' && rest[0] <= '\r')))
    rest.remove_prefix(1);
  if (!rest.empty() && rest[0] == '+')
    rest.remove_prefix(1);
  while (rest.size() > 1 && rest[0] == '0')
    rest.remove_prefix(1);
  std::string_view digits = rest.substr(0, rest.find_first_not_of("0123456789"));
  return digits == "11" || digits == "16" || digits == "20";
}

std::vector<std::string_view> splitLines(std::string_view log) {
  std::vector<std::string_view> lines;
  while (!log.empty()) {
    size_t newline = log.find('\n');
    lines.push_back(log.substr(0, newline));
    log.remove_prefix(newline == log.npos ? log.size() : newline + 1);
  }
  return lines;
}

std::vector<Table> findTables(const std::vector<std::string_view>& lines) {
  enum { kOutside, kAfterHeader, kInTable } state = kOutside;
  std::vector<Table> tables;
  bool cuttableQuery = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (state == kInTable) {
      if (contains(lines[i], "|")) {
        ++tables.back().rows;
        continue;
      }
      state = kOutside;  // the line that ends a table may be the next header
    }
    if (state == kAfterHeader && contains(lines[i], "===")) {
      tables.push_back({i + 1, 0, cuttableQuery});
      state = kInTable;
    } else if (contains(lines[i], "TPC-H Query")) {
      cuttableQuery = namesCuttableQuery(lines[i]);
      state = kAfterHeader;
    }
  }
  return tables;
}

// random() as an unseeded process has it, with a state of its own.
class Random {
 public:
  Random() { initstate_r(1, state_, sizeof state_, &data_); }
  uint64_t next() {
    int32_t value = 0;
    random_r(&data_, &value);
    return static_cast<uint64_t>(value);
  }

 private:
  char state_[128] = {};
  random_data data_ = {};
};

// Which of rows 1..n a cut keeps: the blocks, then the drawn rows. A value
// r becomes the row r / 2^31 * (n - 2 * block) + block + 1, truncated, each
// step rounded on its own in double precision.
std::vector<bool> keptRows(uint64_t n, const CutSizes& sizes, Random& random) {
  std::vector<bool> kept(n + 2, false);
  for (uint64_t i = 1; i <= sizes.blockRows; ++i)
    kept[i] = kept[n + 1 - i] = true;
  for (uint64_t drawn = 0; drawn < sizes.randomRows;) {
    double fraction = static_cast<double>(random.next()) * 0x1p-31;
    double scaled = fraction * static_cast<double>(n - 2 * sizes.blockRows);
    auto row = static_cast<uint64_t>(scaled + static_cast<double>(sizes.blockRows + 1));
    if (!kept[row - 1] && !kept[row] && !kept[row + 1]) {
      kept[row] = true;
      ++drawn;
    }
  }
  return kept;
}

void writeCutTable(const std::vector<std::string_view>& lines, const Table& table,
                   const std::vector<bool>& kept, ModelCut& out) {
  uint64_t previous = 0;
  for (uint64_t row = 1; row <= table.rows; ++row) {
    if (!kept[row])
      continue;
    size_t start = out.bytes.size();
    if (row != previous + 1) {
      out.bytes +=
          "\n----------- deleted " + std::to_string(row - previous - 1) + " rows -----------\n\n";
      out.numbering.emplace_back(start, out.bytes.size());
    }
    out.bytes += lines[table.firstRow + row - 1];
    start = out.bytes.size();
    out.bytes += " [row: " + std::to_string(row) + "]\n";
    out.numbering.emplace_back(start, out.bytes.size());
    previous = row;
  }
}

}  // namespace

std::vector<ModelTable> tablesByModel(std::string_view log, const CutSizes& sizes) {
  std::vector<std::string_view> lines = splitLines(log);
  std::vector<ModelTable> tables;
  for (const Table& table : findTables(lines)) {
    auto offset = [&](size_t line) {
      return line < lines.size() ? static_cast<size_t>(lines[line].data() - log.data())
                                 : log.size();
    };
    tables.push_back({offset(table.firstRow), offset(table.firstRow + table.rows), table.rows,
                      table.cuttableQuery && table.rows > sizes.maxUncutRows});
  }
  return tables;
}

ModelCut cutByModel(std::string_view log, const CutSizes& sizes) {
  std::vector<std::string_view> lines = splitLines(log);
  std::vector<Table> tables = findTables(lines);
  ModelCut out;
  out.bytes.reserve(log.size() + 1);
  Random random;
  auto table = tables.begin();
  for (size_t i = 0; i < lines.size();) {
    while (table != tables.end() && table->firstRow < i)
      ++table;
    if (table != tables.end() && table->firstRow == i && table->cuttableQuery &&
        table->rows > sizes.maxUncutRows) {
      writeCutTable(lines, *table, keptRows(table->rows, sizes, random), out);
      i += table->rows;
      continue;
    }
    out.bytes.append(lines[i]).append("\n");
    ++i;
  }
  return out;
}
