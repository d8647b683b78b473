#include "output_file.h"

void OutputFile::writeLine(std::string_view line) {
  writeLine(line, "\n");
}

void OutputFile::writeLine(std::string_view text, std::string_view ending) {
  write(text, ending);
  bytesWritten_ += text.size() + ending.size();
}
