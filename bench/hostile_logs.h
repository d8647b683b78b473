// Logs of the shapes that once cost streamtrim memory in proportion to
// something other than the longest line: very many result tables, very many
// cut tables, one enormous line. Their bytes are fixed by their parameters.

#ifndef STREAMTRIM_BENCH_HOSTILE_LOGS_H
#define STREAMTRIM_BENCH_HOSTILE_LOGS_H

#include <cstdint>
#include <string>

// tables results of one row each, of query 3 and 11 in turn (so that half of
// them are looked at as tables that may be cut): about 20 bytes a table.
void writeTinyTables(const std::string& path, uint64_t tables);

// tables results of query 16 with rows rows each, every row "|": each one is
// cut, and costs 2 bytes a row.
void writeCutTables(const std::string& path, uint64_t tables, uint64_t rows);

// One row of bytes bytes, without a newline inside it, in a result of query 3.
void writeSingleLine(const std::string& path, uint64_t bytes);

#endif  // STREAMTRIM_BENCH_HOSTILE_LOGS_H
