#include "protocol/command_input.h"

#include <algorithm>
#include <cstring>

namespace kesta {

namespace {

bool isBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

// The first word of bytes, in capitals, equals word.
bool firstWordIs(const char* bytes, size_t size, const char* word) {
  size_t i = 0;
  while (i < size && isBlank(bytes[i])) ++i;
  const size_t length = std::strlen(word);
  for (size_t k = 0; k < length; ++k, ++i) {
    if (i >= size) return false;
    const char c = bytes[i] >= 'a' && bytes[i] <= 'z' ? char(bytes[i] - 32) : bytes[i];
    if (c != word[k]) return false;
  }
  return i == size || isBlank(bytes[i]);
}

}  // namespace

CommandInput::CommandInput(std::istream& source)
    : source_(source), ring_(new char[Capacity]), buffer_(*this), stream_(&buffer_) {}

CommandInput::~CommandInput() {
  {
    std::lock_guard<std::mutex> lock(mutex_);
    quit_ = true;
  }
  changed_.notify_all();
  if (reader_.joinable()) reader_.join();
}

void CommandInput::startReader() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (threaded_) return;
  threaded_ = true;
  reader_ = std::thread([this] { readLoop(); });
}

void CommandInput::awaitReader() {
  std::unique_lock<std::mutex> lock(mutex_);
  changed_.wait(lock, [this] { return !threaded_ || sourceEnded_ || readerWaiting_; });
}

CommandInput::Kind CommandInput::classify(const char* bytes, size_t size) {
  if (firstWordIs(bytes, size, "YXSTOP") || firstWordIs(bytes, size, "STOP")) return Kind::Stop;
  if (firstWordIs(bytes, size, "END")) return Kind::End;
  if (firstWordIs(bytes, size, "BEGIN") || firstWordIs(bytes, size, "TURN") ||
      firstWordIs(bytes, size, "BOARD") || firstWordIs(bytes, size, "SWAP2BOARD") ||
      firstWordIs(bytes, size, "YXNBEST") || firstWordIs(bytes, size, "YXBALANCEONE") ||
      firstWordIs(bytes, size, "YXBALANCETWO"))
    return Kind::Think;
  return Kind::Other;
}

bool CommandInput::readPiece(Piece& piece) {
  std::streambuf* in = source_.rdbuf();
  piece.size = 0;
  piece.lineStart = lineStart_;
  piece.complete = false;
  while (piece.size < PieceSize) {
    const int c = in == nullptr ? EOF : in->sbumpc();
    if (c == EOF) {
      // The end of the source ends the line too, as far as anyone can tell.
      piece.complete = true;
      if (piece.size > 0) lineStart_ = false;
      return piece.size > 0;
    }
    piece.bytes[piece.size++] = char(c);
    if (c == '\n') {
      piece.complete = true;
      lineStart_ = true;
      return true;
    }
  }
  lineStart_ = false;
  return true;
}

void CommandInput::append(const char* bytes, size_t size, bool blank) {
  for (size_t i = 0; i < size; ++i) {
    char& slot = ring_[size_t((written_ + i) % Capacity)];
    slot = blank && bytes[i] != '\n' ? ' ' : bytes[i];
  }
  written_ += size;
}

void CommandInput::push(const Piece& piece, std::unique_lock<std::mutex>& lock) {
  while (!quit_ && room() < piece.size) {
    readerWaiting_ = true;
    changed_.notify_all();
    changed_.wait(lock);
  }
  readerWaiting_ = false;
  if (quit_) return;
  const Kind kind = piece.lineStart && piece.complete ? classify(piece.bytes, piece.size) : Kind::Other;
  bool blank = false;
  // A line that arrives while a think runs, with nothing that starts another think before it.
  if (threaded_ && thinking_ && !thinkAhead_) {
    if (kind == Kind::Stop) {
      stop_ = true;
      blank = true;
    } else if (kind == Kind::End) {
      endRequested_ = true;
      stop_ = true;
      blank = true;
    } else if (kind == Kind::Think) {
      thinkAhead_ = true;
    }
  }
  // Blanks keep the byte count, so offsets stay those of the source.
  append(piece.bytes, piece.size, blank);
  changed_.notify_all();
}

void CommandInput::readAhead(std::unique_lock<std::mutex>& lock) {
  // Only without a reader: the source never blocks, so reading on is safe.
  Piece piece;
  while (room() >= PieceSize) {
    if (!readPiece(piece)) {
      sourceEnded_ = true;
      break;
    }
    sourceEnded_ = false;
    push(piece, lock);
    if (piece.lineStart && piece.complete && classify(piece.bytes, piece.size) == Kind::Think) break;
  }
}

void CommandInput::scanWaitingLines() {
  // The rest of the parser's current line belongs to the command that starts the think.
  uint64_t pos = offset();
  auto at = [this](uint64_t i) { return ring_[size_t(i % Capacity)]; };
  while (pos < written_ && at(pos) != '\n') ++pos;
  if (pos < written_) ++pos;
  while (pos < written_) {
    uint64_t end = pos;
    while (end < written_ && at(end) != '\n') ++end;
    if (end == written_ && !sourceEnded_) break;  // the line is still arriving
    const uint64_t next = end < written_ ? end + 1 : end;
    Kind kind = Kind::Other;
    if (next - pos <= PieceSize) {
      char line[PieceSize];
      for (uint64_t i = pos; i < next; ++i) line[i - pos] = at(i);
      kind = classify(line, size_t(next - pos));
    }
    if (kind == Kind::Think) {
      thinkAhead_ = true;
      break;
    }
    if (kind == Kind::Stop) {
      stop_ = true;
      for (uint64_t i = pos; i < end; ++i) ring_[size_t(i % Capacity)] = ' ';
    }
    pos = next;
  }
}

void CommandInput::beginThink() {
  std::unique_lock<std::mutex> lock(mutex_);
  thinking_ = true;
  thinkAhead_ = false;
  endRequested_ = false;
  stop_ = false;
  if (!threaded_) readAhead(lock);
  scanWaitingLines();
}

bool CommandInput::endThink() {
  std::lock_guard<std::mutex> lock(mutex_);
  thinking_ = false;
  thinkAhead_ = false;
  stop_ = false;
  return endRequested_;
}

CommandInput::Buffer::int_type CommandInput::refill() {
  std::unique_lock<std::mutex> lock(mutex_);
  // The parser has read everything it was handed: that room is free again.
  taken_ = handed_;
  changed_.notify_all();
  if (threaded_) {
    changed_.wait(lock, [this] { return written_ != taken_ || sourceEnded_; });
  } else if (written_ == taken_) {
    Piece piece;
    sourceEnded_ = !readPiece(piece);
    if (!sourceEnded_) push(piece, lock);
  }
  if (written_ == taken_) {
    buffer_.show(nullptr, nullptr);
    return Buffer::traits_type::eof();
  }
  const size_t start = size_t(taken_ % Capacity);
  const size_t count = size_t(std::min<uint64_t>(written_ - taken_, Capacity - start));
  handed_ = taken_ + count;
  buffer_.show(ring_.get() + start, ring_.get() + start + count);
  return Buffer::traits_type::to_int_type(ring_[start]);
}

void CommandInput::readLoop() {
  Piece piece;
  for (;;) {
    const bool got = readPiece(piece);
    std::unique_lock<std::mutex> lock(mutex_);
    if (quit_) return;
    if (!got) {
      sourceEnded_ = true;
      changed_.notify_all();
      return;
    }
    push(piece, lock);
  }
}

}  // namespace kesta
