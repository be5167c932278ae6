#include "core/text_file.h"

#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace kesta {

FileRead readTextFile(const std::string& path, std::string& text) {
  text.clear();
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(path, error);
  if (status.type() == std::filesystem::file_type::not_found) return FileRead::Missing;
  // A folder of that name, or a path the system will not even look at, is a file that fails.
  if (error || !std::filesystem::is_regular_file(status)) return FileRead::Failed;
  std::ifstream file(path);
  if (!file) return FileRead::Failed;
  std::ostringstream contents;
  contents << file.rdbuf();
  if (file.bad()) return FileRead::Failed;
  text = contents.str();
  // Editors on Windows like to start a UTF-8 file with a byte-order mark.
  if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
  return FileRead::Read;
}

}  // namespace kesta
