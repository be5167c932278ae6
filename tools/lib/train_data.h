// Training data for the evaluation tuner: self-play games with their results and the positions
// sampled from them. Entry points: encodeGame and decodeGame for one game's block, readDataFile
// for a whole file (which drops an incomplete last block), openDataFile for appending.
//
// A data file is a header and one block per game, every number little-endian:
//
//   header  "KESTADAT" (8 bytes), u8 version (1), 7 zero bytes
//   block   u16 bodyLength, body (bodyLength bytes), u32 FNV-1a checksum of the body
//   body    u8 rule (0 freestyle, 1 exact five, 2 renju), u8 board size,
//           u8 result (0 Black won, 1 White won, 2 draw), u8 opening length (stones the engines
//           did not choose), u16 move count, u16 per move (y * size + x, Black first),
//           u8 sample count, 5 bytes per sample:
//             u16 ply (stones on the board; the sampled position is the one before move ply),
//             i16 score of the engine's search there for the side to move (-32768: none),
//             u8 flags (SampleFlags)
//
// A block is appended with one write, so a stopped run leaves whole blocks only; a reader that
// meets a short or corrupt last block keeps everything before it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kesta::tool {

constexpr char DataMagic[8] = {'K', 'E', 'S', 'T', 'A', 'D', 'A', 'T'};
constexpr int DataVersion = 1;
constexpr int DataHeaderSize = 16;
constexpr int16_t NoSearchScore = -32768;

// What a sampled position holds besides its stones, for the side to move S and its opponent O.
enum SampleFlags : uint8_t {
  OpponentOpenThree = 1,  // O can make an open four: S has to answer a three
  OwnFourCell = 2,        // S can make a four
  OpponentFourCell = 4,   // O can make a four
};

struct Sample {
  int ply = 0;
  int16_t score = NoSearchScore;
  uint8_t flags = 0;
};

enum GameResult : uint8_t { BlackWon = 0, WhiteWon = 1, Drawn = 2 };

struct GameData {
  int rule = 0;
  int size = 15;
  int result = Drawn;
  int openingLength = 0;
  std::vector<uint16_t> moves;  // y * size + x
  std::vector<Sample> samples;
};

// The block of one game, checksum included; empty when the game does not fit a block.
std::string encodeGame(const GameData& game);

// Decodes the block at bytes[0..length). Returns the block's size, or 0 when it is incomplete,
// fails its checksum or holds impossible values.
size_t decodeGame(const unsigned char* bytes, size_t length, GameData& game);

std::string dataHeader();

struct DataFile {
  std::vector<GameData> games;
  size_t validBytes = 0;    // header and whole blocks
  size_t droppedBytes = 0;  // an incomplete or corrupt tail
};

// Reads a data file. False, with the reason, when it cannot be read or its header is wrong.
bool readDataFile(const std::string& path, DataFile& data, std::string& error);

// Opens path for appending whole blocks: a new file gets its header through a temporary file
// and a rename, an existing one (when append is set) loses any incomplete tail first. Returns
// a descriptor open for appending, or -1 with the reason.
int openDataFile(const std::string& path, bool append, size_t& gamesThere, std::string& error);

// Appends one block with a single write. False when the write fails or falls short.
bool appendBlock(int fd, const std::string& block);

void closeDataFile(int fd);

}  // namespace kesta::tool
