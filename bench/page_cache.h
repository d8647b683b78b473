// The benchmark's cold runs: taking a file out of the system's page cache
// without root, and checking that it is really out.

#ifndef STREAMTRIM_BENCH_PAGE_CACHE_H
#define STREAMTRIM_BENCH_PAGE_CACHE_H

#include <string>

// Writes back any dirty pages of the file at path and asks the system to drop
// all of its cached pages (posix_fadvise DONTNEED). Ends the benchmark when
// the file cannot be opened.
void evictFromPageCache(const std::string& path);

// The fraction of the file's pages that are in the page cache now (mincore).
double cachedFraction(const std::string& path);

#endif  // STREAMTRIM_BENCH_PAGE_CACHE_H
