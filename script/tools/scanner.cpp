#include "scanner.h"

#include <limits>

#include "log/line_reader.h"
#include "log/log_format.h"
#include "result_cutter.h"
#include "row_scan/row_scan.h"
#include "sampler.h"
#include "system/failure.h"

std::vector<uint64_t> GatheredLog::cutRows() const {
  std::vector<uint64_t> rows;
  for (const CutTable& table : cut)
    rows.push_back(table.rows);
  return rows;
}

namespace {

struct Scan {
  Scan(LineReader& r, OutputFile* o, bool g, GatheredLog& info, const CutSizes& s)
      : reader(r), output(o), gatherInfoOnly(g), gathered(info), sizes(s), large(s.maxUncutRows) {}

  LineReader& reader;
  OutputFile* output;  // not used in the gathering pass
  bool gatherInfoOnly;
  GatheredLog& gathered;
  const CutSizes& sizes;
  int32_t state = HEADER;
  int32_t curQueryNr = 0;
  uint64_t total_rows = 0;
  uint64_t tablesBegun = 0;  // the current or last table is number tablesBegun - 1
  CutState cut;
  bool indexing = false;      // gathering: whether the current table may be cut
  uint64_t firstRow = 0;      // gathering: where the rows of the current table start
  uint64_t tableLine = 0;     // gathering: the line of the current table's first row
  bool listedCut = false;     // output: whether the gathering pass found the current table cut
  size_t cutTablesBegun = 0;  // output: the current cut table is number cutTablesBegun - 1
  RowCountDigest uncut;       // output: the tables not cut so far
  uint64_t lineNr = 0;        // of the line read last, rows jumped over included
  LargeResultWatch large;     // gathering: the results that look too large to stay whole
};

bool gathering(const Scan& scan) {
  return scan.gatherInfoOnly;
}

[[noreturn]] void failChanged(const Scan& scan) {
  throw Failure(scan.reader.inputPath(), "the log changed while streamtrim was reading it");
}

void write(Scan& scan, const Line& line) {
  if (!gathering(scan))
    scan.output->writeLine(line.text);
}

size_t currentCutTable(const Scan& scan) {
  return scan.cutTablesBegun - 1;
}

// Gathering: only a table that may be cut is indexed, for as long as it is
// not known whether it is cut.
void beginGatheredTable(Scan& scan) {
  scan.indexing = isCuttableQuery(scan.curQueryNr);
  if (scan.indexing)
    scan.gathered.index.beginTable();
  scan.firstRow = scan.reader.offset();
  scan.tableLine = scan.lineNr + 1;
  scan.large.tableBegins();
}

void endGatheredTable(Scan& scan, uint64_t table) {
  GatheredLog& gathered = scan.gathered;
  if (scan.total_rows > 0)
    gathered.evidence.rowsLeftOut();
  bool cut =
      scan.indexing && mayTruncateOutputOfQuery(scan.curQueryNr, scan.total_rows, scan.sizes);
  if (scan.indexing)
    gathered.index.endTable(cut);
  if (cut) {
    gathered.cut.push_back({table, scan.total_rows, scan.firstRow});
    scan.large.cutTable();
  } else {
    gathered.uncut.add(table, scan.total_rows);
    scan.large.wholeTable(scan.tableLine, scan.curQueryNr, scan.total_rows);
  }
  scan.indexing = false;
}

// Output: the cut tables come in the order the gathering pass listed them.
void beginWrittenTable(Scan& scan, uint64_t table) {
  const GatheredLog& gathered = scan.gathered;
  if (table >= gathered.tables)
    failChanged(scan);
  size_t next = scan.cutTablesBegun;
  scan.listedCut = next < gathered.cut.size() && gathered.cut[next].table == table;
  scan.cut.truncateThisResult = false;
  if (scan.listedCut) {
    // Another table taken for this one would lead the jumps to the rows of
    // this one, wherever they are now, and hide the change.
    if (scan.reader.offset() != gathered.cut[next].firstRow)
      failChanged(scan);
    ++scan.cutTablesBegun;
    decideCut(scan.cut, scan.curQueryNr, gathered.cut[next].rows, scan.sizes);
  }
}

void endWrittenTable(Scan& scan, uint64_t table) {
  if (!scan.listedCut)
    scan.uncut.add(table, scan.total_rows);
  else if (scan.gathered.cut[currentCutTable(scan)].rows != scan.total_rows)
    failChanged(scan);
  scan.listedCut = false;
}

void beginTable(Scan& scan) {
  scan.total_rows = 0;
  scan.state = TABLE;
  uint64_t table = scan.tablesBegun++;
  if (gathering(scan))
    beginGatheredTable(scan);
  else
    beginWrittenTable(scan, table);
}

void endTable(Scan& scan) {
  uint64_t table = scan.tablesBegun - 1;
  if (gathering(scan))
    endGatheredTable(scan, table);
  else
    endWrittenTable(scan, table);
}

// In a cut table, moves the reader over rows that would be deleted anyway,
// to the checkpoint just before the next kept row.
void jumpToNextKeptRow(Scan& scan) {
  auto next = scan.cut.outputLines.upper_bound(scan.total_rows);
  if (next == scan.cut.outputLines.end())
    return;
  RowIndex::Checkpoint checkpoint = scan.gathered.index.checkpointFor(currentCutTable(scan), *next);
  if (checkpoint.rowNr <= scan.total_rows + 1)
    return;
  scan.reader.seek(checkpoint.offset);
  scan.lineNr += checkpoint.rowNr - 1 - scan.total_rows;
  scan.total_rows = checkpoint.rowNr - 1;
}

// Gathering: a line outside the tables, other than a header or a separator
// that starts a table, may tell that the log is no log to cut, or belong to
// a result that is not in a table. The rows of the tables are left out of
// the evidence.
void noteOutsideLine(Scan& scan, const Line& line) {
  bool row = isRowLine(line.text);
  scan.gathered.evidence.noteOtherLine(line.text, line.offset, row);
  scan.large.otherLine(line.text, row);
}

void handleHeader(Scan& scan, const Line& line) {
  scan.curQueryNr = queryNumberOf(line.text);
  if (gathering(scan)) {
    scan.gathered.evidence.noteReadableHeader(line.text);
    scan.large.header(scan.lineNr, scan.curQueryNr);
  }
}

void handleHeaderState(Scan& scan, const Line& line) {
  if (isHeaderLine(line.text)) {
    handleHeader(scan, line);
    scan.state = QUERY;
  } else if (gathering(scan)) {
    noteOutsideLine(scan, line);
  }
  write(scan, line);
}

void handleQueryState(Scan& scan, const Line& line) {
  if (isSeparatorLine(line.text)) {
    if (gathering(scan))
      scan.gathered.evidence.noteLine(line.text, line.offset);  // which may hold "TPC-H Query"
    beginTable(scan);
  } else if (isHeaderLine(line.text)) {
    handleHeader(scan, line);  // the previous query printed no table
  } else if (gathering(scan)) {
    noteOutsideLine(scan, line);
  }
  write(scan, line);
}

void handleRow(Scan& scan, const Line& line) {
  ++scan.total_rows;
  if (gathering(scan)) {
    if (scan.indexing)
      scan.gathered.index.noteRow(scan.total_rows, line.offset);
  } else if (scan.cut.truncateThisResult) {
    writeCutRow(scan.cut, scan.total_rows, line.text, *scan.output);
    jumpToNextKeptRow(scan);
  } else {
    scan.output->writeLine(line.text);
  }
}

void handleTableState(Scan& scan, const Line& line) {
  if (isRowLine(line.text)) {
    handleRow(scan, line);
    return;
  }
  endTable(scan);
  scan.state = HEADER;
  handleHeaderState(scan, line);  // the closing line may be the next header
}

void handleLine(Scan& scan, const Line& line) {
  switch (scan.state) {
    case HEADER:
      handleHeaderState(scan, line);
      break;
    case QUERY:
      handleQueryState(scan, line);
      break;
    default:
      handleTableState(scan, line);
      break;
  }
}

// An output written in blocks (a replacement, a regular file) is watched by
// nobody line by line, so the rows of a table that is not cut go to it many
// lines with one write. A stream gets each line with a write of its own, so
// that a reader sees each line as it comes.
bool copiesRowsInBulk(const Scan& scan) {
  return scan.output->way().inBlocks;
}

// How many of the rows that follow may go uninspected, counted in bulk. The
// gathering pass counts all of them but stops at each row the index must note;
// the output pass skips the deleted rows of a cut table up to the next kept
// row, and copies the rows of any other table as they are where the output
// takes them in bulk.
uint64_t rowsToCountInBulk(Scan& scan) {
  if (gathering(scan)) {
    if (!scan.indexing)
      return std::numeric_limits<uint64_t>::max();
    // Should the next line not be a row, this notes where the table ends,
    // which no lookup of an existing row ever returns.
    scan.gathered.index.noteRow(scan.total_rows + 1, scan.reader.offset());
    return scan.gathered.index.rowsBeforeNextCheckpoint(scan.total_rows + 1) + 1;
  }
  if (!scan.cut.truncateThisResult)
    return copiesRowsInBulk(scan) ? std::numeric_limits<uint64_t>::max() : 0;
  auto next = scan.cut.outputLines.upper_bound(scan.total_rows);
  return next == scan.cut.outputLines.end() ? 0 : *next - 1 - scan.total_rows;
}

void countRowsInBulk(Scan& scan) {
  uint64_t limit = rowsToCountInBulk(scan);
  if (limit == 0)
    return;
  std::string_view buffered = scan.reader.buffered();
  RowRun run = countRowLines(buffered, limit);
  if (run.bytes > 0 && !gathering(scan) && !scan.cut.truncateThisResult)
    scan.output->writeLine(buffered.substr(0, run.bytes - 1));  // their last newline added
  scan.reader.skip(run.bytes);
  scan.total_rows += run.rows;
  scan.lineNr += run.rows;
}

void requireUnchanged(const Scan& scan, const FileStamp& now) {
  if (!now.sameContentAs(scan.gathered.input))
    failChanged(scan);
}

void finishPass(Scan& scan) {
  if (scan.state == TABLE)
    endTable(scan);  // a table still open at the end of the log
  if (gathering(scan)) {
    scan.gathered.tables = scan.tablesBegun;
    scan.large.end();
    scan.gathered.largeResults = scan.large.take();
  } else if (scan.tablesBegun != scan.gathered.tables || !(scan.uncut == scan.gathered.uncut)) {
    failChanged(scan);
  }
}

}  // namespace

void scanResultAndGenerateOutput(const InputFile& input, OutputFile* output, bool gatherInfoOnly,
                                 GatheredLog& gathered, ReadObserver* observer,
                                 const CutSizes& sizes) {
  if (gatherInfoOnly) {
    gathered = GatheredLog();
    gathered.input = input.stamp();
  }
  LineReader reader(input);
  reader.observeReads(observer);
  Scan scan(reader, output, gatherInfoOnly, gathered, sizes);
  requireUnchanged(scan, input.stamp());

  Line line;
  for (;;) {
    if (scan.state == TABLE)
      countRowsInBulk(scan);
    if (!reader.next(line))
      break;
    ++scan.lineNr;
    handleLine(scan, line);
  }
  finishPass(scan);
  requireUnchanged(scan, input.stamp());
}
