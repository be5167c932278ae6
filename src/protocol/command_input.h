// The manager's input, read by a thread of its own so that a stop request reaches a think while it
// runs. The command loop parses commands from stream(), which yields the input's bytes in order;
// beginThink and endThink bracket each think. Entry points: CommandInput, startReader, stream,
// beginThink, endThink, stopRequest.
//
// A stop line (first word YXSTOP or STOP, any case) stops the think it was sent for: the one
// running when it arrives, or the one that the commands before it start. Such a line is taken out
// of the input (turned into blanks), so the parser never sees it. END arriving while a think runs
// stops it and ends the session (endThink tells). Every other line, and every line that arrives
// between thinks, reaches the parser in order.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <istream>
#include <memory>
#include <mutex>
#include <streambuf>
#include <thread>

namespace kesta {

class CommandInput {
 public:
  // Input from source. Until startReader, bytes are taken from source when the parser needs them
  // (and, at the start of a think, up to the next command that starts one), in the calling
  // thread: for sources that never block, such as the strings of tests.
  explicit CommandInput(std::istream& source);
  // Tells the reader to finish and waits for it. A reader blocked on a source that may never
  // deliver (standard input) cannot be interrupted: the brain ends its process instead of
  // destroying its input.
  ~CommandInput();
  CommandInput(const CommandInput&) = delete;
  CommandInput& operator=(const CommandInput&) = delete;

  // Starts the thread that reads source to its end. It never allocates memory: the C library
  // would give it an arena of its own, which counts against a tight address-space limit.
  void startReader();

  // The input as the parser reads it.
  std::istream& stream() { return stream_; }

  // Waits until the reader has read the whole source, or has filled the queue. Tests and the
  // fuzzer use it, so that a stop line already written is found when the think begins.
  void awaitReader();

  // A think begins: stop lines already waiting after the command that starts it (before the next
  // command that starts a think) stop it at once.
  void beginThink();

  // The think is over; true when END arrived while it ran (the session must end, unanswered).
  bool endThink();

  // Set while a stop is requested for the running think; the search polls it.
  const std::atomic<bool>& stopRequest() const { return stop_; }

  // Bytes of the source that the parser has taken so far.
  uint64_t offset() const { return handed_ - buffer_.unread(); }

 private:
  static constexpr size_t Capacity = size_t(1) << 17;  // bytes waiting for the parser, at most
  static constexpr size_t PieceSize = 256;             // one line, or a part of a longer one

  // What a whole line asks for, by its first word; longer lines are Other.
  enum class Kind : uint8_t { Other, Stop, End, Think };

  struct Piece {
    char bytes[PieceSize];
    size_t size = 0;
    bool lineStart = false;  // the piece begins a line
    bool complete = false;   // the piece ends its line (a line feed, or the end of the source)
  };

  class Buffer : public std::streambuf {
   public:
    explicit Buffer(CommandInput& owner) : owner_(owner) {}
    size_t unread() const { return size_t(egptr() - gptr()); }
    void show(char* begin, char* end) { setg(begin, begin, end); }

   protected:
    int_type underflow() override { return owner_.refill(); }

   private:
    CommandInput& owner_;
  };

  static Kind classify(const char* bytes, size_t size);
  bool readPiece(Piece& piece);
  void push(const Piece& piece, std::unique_lock<std::mutex>& lock);
  void append(const char* bytes, size_t size, bool blank);
  size_t room() const { return Capacity - size_t(written_ - taken_); }
  void readAhead(std::unique_lock<std::mutex>& lock);
  void scanWaitingLines();
  Buffer::int_type refill();
  void readLoop();

  std::istream& source_;
  std::unique_ptr<char[]> ring_;  // byte i of the input at ring_[i % Capacity]
  Buffer buffer_;
  std::istream stream_;
  std::thread reader_;

  std::mutex mutex_;
  std::condition_variable changed_;
  uint64_t taken_ = 0;        // the parser's view starts here; earlier bytes may be overwritten
  uint64_t handed_ = 0;       // end of the bytes handed to the parser (written by the parser's thread)
  uint64_t written_ = 0;      // end of the bytes read from the source
  bool lineStart_ = true;     // the next byte of the source begins a line
  bool sourceEnded_ = false;  // the source has no more bytes
  bool threaded_ = false;
  bool quit_ = false;
  bool readerWaiting_ = false;  // the reader waits for room
  bool thinking_ = false;
  bool thinkAhead_ = false;  // a command that starts another think waits in the input
  bool endRequested_ = false;
  std::atomic<bool> stop_{false};
};

}  // namespace kesta
