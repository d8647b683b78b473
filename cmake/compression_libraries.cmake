# zlib and libzstd, with which both programs read gzip and zstd logs
# directly: the target streamtrim_compression_libraries carries their headers
# and libraries to whatever links it.
find_path(STREAMTRIM_ZSTD_INCLUDE_DIR zstd.h REQUIRED)
find_library(STREAMTRIM_ZSTD_LIBRARY zstd REQUIRED)
find_path(STREAMTRIM_ZLIB_INCLUDE_DIR zlib.h REQUIRED)
find_library(STREAMTRIM_ZLIB_LIBRARY z REQUIRED)

add_library(streamtrim_compression_libraries INTERFACE)
target_include_directories(streamtrim_compression_libraries SYSTEM INTERFACE
  ${STREAMTRIM_ZSTD_INCLUDE_DIR} ${STREAMTRIM_ZLIB_INCLUDE_DIR})
target_link_libraries(streamtrim_compression_libraries INTERFACE
  ${STREAMTRIM_ZSTD_LIBRARY} ${STREAMTRIM_ZLIB_LIBRARY})
