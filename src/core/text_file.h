// Reading the brain's optional text files (AIEval.txt, AIConfig.txt): whole, without a leading
// UTF-8 byte-order mark, telling a missing file from one that exists but cannot be read.
// Entry point: readTextFile.
#pragma once

#include <cstdint>
#include <string>

namespace kesta {

// How reading one of the text files went.
enum class FileRead : uint8_t {
  Missing,  // there is no such file: the built-in values apply
  Read,     // read and understood
  Failed,   // the file exists, but it could not be read or did not have the expected form
};

// Reads the whole file at path into text, dropping a UTF-8 byte-order mark at its start. Missing
// when nothing exists at path; Failed when something does but cannot be read as a file.
FileRead readTextFile(const std::string& path, std::string& text);

}  // namespace kesta
