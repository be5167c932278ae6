#include "tools/lib/train_data.h"

#include <fcntl.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kesta::tool {

namespace {

#if defined(_WIN32)
int openAppend(const char* path) {
  return _open(path, _O_WRONLY | _O_APPEND | _O_BINARY);
}
long writeBytes(int fd, const char* data, size_t n) {
  return _write(fd, data, unsigned(n));
}
int closeFd(int fd) {
  return _close(fd);
}
#else
int openAppend(const char* path) {
  return open(path, O_WRONLY | O_APPEND);
}
long writeBytes(int fd, const char* data, size_t n) {
  return long(write(fd, data, n));
}
int closeFd(int fd) {
  return close(fd);
}
#endif

uint32_t fnv1a(const unsigned char* bytes, size_t n) {
  uint32_t h = 2166136261u;
  for (size_t i = 0; i < n; ++i) h = (h ^ bytes[i]) * 16777619u;
  return h;
}

void put8(std::string& out, unsigned v) {
  out.push_back(char(v & 0xFF));
}
void put16(std::string& out, unsigned v) {
  put8(out, v);
  put8(out, v >> 8);
}
void put32(std::string& out, uint32_t v) {
  put16(out, v & 0xFFFF);
  put16(out, v >> 16);
}
unsigned get16(const unsigned char* p) {
  return unsigned(p[0]) | unsigned(p[1]) << 8;
}
uint32_t get32(const unsigned char* p) {
  return uint32_t(get16(p)) | uint32_t(get16(p + 2)) << 16;
}

}  // namespace

std::string encodeGame(const GameData& game) {
  std::string body;
  put8(body, unsigned(game.rule));
  put8(body, unsigned(game.size));
  put8(body, unsigned(game.result));
  put8(body, unsigned(game.openingLength));
  put16(body, unsigned(game.moves.size()));
  for (uint16_t m : game.moves) put16(body, m);
  if (game.samples.size() > 255) return "";
  put8(body, unsigned(game.samples.size()));
  for (const Sample& s : game.samples) {
    put16(body, unsigned(s.ply));
    put16(body, uint16_t(s.score));
    put8(body, s.flags);
  }
  if (body.size() > 0xFFFF) return "";
  std::string block;
  put16(block, unsigned(body.size()));
  block += body;
  put32(block, fnv1a(reinterpret_cast<const unsigned char*>(body.data()), body.size()));
  return block;
}

size_t decodeGame(const unsigned char* bytes, size_t length, GameData& game) {
  if (length < 2) return 0;
  const size_t bodyLength = get16(bytes);
  const size_t total = 2 + bodyLength + 4;
  if (length < total || bodyLength < 7) return 0;
  const unsigned char* body = bytes + 2;
  if (fnv1a(body, bodyLength) != get32(body + bodyLength)) return 0;
  game = GameData{};
  game.rule = body[0];
  game.size = body[1];
  game.result = body[2];
  game.openingLength = body[3];
  const size_t moveCount = get16(body + 4);
  if (game.rule > 2 || game.size < 6 || game.size > 22 || game.result > 2) return 0;
  if (6 + 2 * moveCount + 1 > bodyLength || moveCount > size_t(game.size * game.size)) return 0;
  if (size_t(game.openingLength) > moveCount) return 0;
  const unsigned char* p = body + 6;
  for (size_t i = 0; i < moveCount; ++i, p += 2) {
    const unsigned m = get16(p);
    if (m >= unsigned(game.size * game.size)) return 0;
    game.moves.push_back(uint16_t(m));
  }
  const size_t sampleCount = *p++;
  if (6 + 2 * moveCount + 1 + 5 * sampleCount != bodyLength) return 0;
  for (size_t i = 0; i < sampleCount; ++i, p += 5) {
    Sample s;
    s.ply = int(get16(p));
    s.score = int16_t(uint16_t(get16(p + 2)));
    s.flags = p[4];
    if (size_t(s.ply) >= moveCount || s.ply < 1) return 0;
    game.samples.push_back(s);
  }
  return total;
}

std::string dataHeader() {
  std::string h(DataMagic, DataMagic + 8);
  put8(h, DataVersion);
  h.append(7, '\0');
  return h;
}

bool readDataFile(const std::string& path, DataFile& data, std::string& error) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    error = "cannot open " + path;
    return false;
  }
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (bytes.size() < DataHeaderSize || bytes.compare(0, DataHeaderSize, dataHeader()) != 0) {
    error = path + " is not a training data file of version " + std::to_string(DataVersion);
    return false;
  }
  data = DataFile{};
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t at = DataHeaderSize;
  for (;;) {
    GameData game;
    const size_t used = decodeGame(p + at, bytes.size() - at, game);
    if (used == 0) break;
    data.games.push_back(std::move(game));
    at += used;
  }
  data.validBytes = at;
  data.droppedBytes = bytes.size() - at;
  return true;
}

int openDataFile(const std::string& path, bool append, size_t& gamesThere, std::string& error) {
  gamesThere = 0;
  std::error_code ec;
  if (std::filesystem::exists(path, ec)) {
    if (!append) {
      error = path + " exists; give --append to add games to it";
      return -1;
    }
    DataFile old;
    if (!readDataFile(path, old, error)) return -1;
    gamesThere = old.games.size();
    // An earlier run stopped in the middle of a block: cut the tail so that blocks follow on.
    if (old.droppedBytes > 0) std::filesystem::resize_file(path, old.validBytes, ec);
    if (ec) {
      error = "cannot truncate " + path + ": " + ec.message();
      return -1;
    }
  } else {
    const std::string temporary = path + ".new";
    {
      std::ofstream out(temporary, std::ios::binary | std::ios::trunc);
      out << dataHeader();
      if (!out.flush()) {
        error = "cannot write " + temporary;
        return -1;
      }
    }
    std::filesystem::rename(temporary, path, ec);
    if (ec) {
      error = "cannot create " + path + ": " + ec.message();
      return -1;
    }
  }
  const int fd = openAppend(path.c_str());
  if (fd < 0) error = "cannot open " + path + " for appending";
  return fd;
}

bool appendBlock(int fd, const std::string& block) {
  return writeBytes(fd, block.data(), block.size()) == long(block.size());
}

void closeDataFile(int fd) {
  closeFd(fd);
}

}  // namespace kesta::tool
