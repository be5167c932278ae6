#include "protocol/command_loop.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <optional>

#include "board/line_state.h"
#include "core/clock.h"
#include "core/number_scan.h"
#include "diag/dump.h"
#include "protocol/restart.h"
#include "protocol/version.h"
#include "search/proof_search.h"
#include "search/swap2.h"
#include "search/think.h"
#include "search/threat_search.h"

namespace kesta {

namespace {

bool isSpace(int c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// Parses a BOARD line "x,y,who": integer, any character, integer, any character, integer.
bool parseBoardLine(const std::string& text, int32_t& x, int32_t& y, int32_t& who) {
  const char* p = text.c_str();
  long long v[3];
  for (int i = 0; i < 3; ++i) {
    if (!scanDecimal(p, v[i])) return false;
    if (i < 2) {
      while (isSpace(*p)) ++p;
      if (*p == '\0') return false;
      ++p;
    }
  }
  x = clampToInt32(v[0]);
  y = clampToInt32(v[1]);
  who = clampToInt32(v[2]);
  return true;
}

// The longest part of an INFO line that is looked at; the rest of a longer line is read and dropped.
constexpr size_t MaxInfoLine = 4096;

// The most of an unknown command word that UNKNOWN repeats.
constexpr size_t MaxEchoedWord = 64;

// The bits of INFO rule.
constexpr int32_t RuleBitExactFive = 1;
constexpr int32_t RuleBitRenjuAlias = 2;  // alone: the analysis GUI's renju (Piskvork's continuous game)
constexpr int32_t RuleBitRenju = 4;
constexpr int32_t RuleBitCaro = 8;

// The rule of an INFO rule value: renju when bit 4 is set (or the value is 2 alone); else caro when
// bit 8 is set, standard (exactly five) with bit 1 and with overlines without it; else exact five
// when bit 1 is set; else freestyle.
Rule ruleOfInfo(int32_t v) {
  if ((v & RuleBitRenju) != 0 || v == RuleBitRenjuAlias) return RenjuRule;
  if ((v & RuleBitCaro) != 0) return (v & RuleBitExactFive) != 0 ? CaroRule : CaroOverlineRule;
  if ((v & RuleBitExactFive) != 0) return ExactFiveRule;
  return Freestyle;
}

}  // namespace

void capitalise(std::string& token) {
  for (char& c : token)
    if (c >= 'a' && c <= 'z') c = char(c - 32);
}

std::string aboutLine() {
  return std::string("name=\"Kesta\", version=\"") + Version +
         "\", author=\"The Kesta authors\", country=\"-\"";
}

CommandLoop::CommandLoop(std::istream& in, std::ostream& out, uint32_t tableBuckets)
    : input_(in), in_(input_.stream()), out_(out), tableCap_(tableBuckets), info_(out), realtime_(out) {
  // Diagnostic lines share the protocol channel; a four without a five cell shows the dump there.
  setDiagnosticStream(&out_);
  setMissingFiveCellHook(printMessageDump);
  buildEngine(15);
  // The first reads of the text files are the ones that must not fail unnoticed. A MESSAGE line,
  // not an ERROR: managers take an ERROR for a broken brain.
  if (engine_->EvalFileRead == FileRead::Failed)
    notices_ +=
        "MESSAGE AIEval.txt could not be read (it must hold 305 whole numbers): the built-in "
        "evaluation weights apply.\n";
  if (engine_->ConfigFileRead == FileRead::Failed)
    notices_ +=
        "MESSAGE AIConfig.txt could not be read (its first line must be Override:1): the built-in "
        "search parameters apply.\n";
}

CommandLoop::~CommandLoop() { setDiagnosticStream(nullptr); }

int CommandLoop::run() {
  input_.startReader();
  while (step()) {
  }
  return 0;
}

uint32_t CommandLoop::tableBuckets() const {
  const uint32_t byMemory = std::min(tableCap_, tableBucketsFor(settings_.MaxMemory, settings_.ThreadCount));
  return hashBuckets_ > 0 ? std::min(hashBuckets_, byMemory) : byMemory;
}

void CommandLoop::buildEngine(int size) {
  // A later read of AIConfig.txt that fails keeps the parameters in force, as AIEval.txt does.
  std::optional<SearchParameters> inForce;
  if (engine_) inForce = *engine_;
  // The old Engine and its table go first, so that two tables never need memory at once.
  engine_.reset();
  board_.reset();
  board_ = std::make_unique<Board>(size);
  // The smallest table for now: the one the memory limit allows comes before the first think,
  // once the manager has had its chance to send the limit.
  tableMadeFor_ = MinTableBuckets;
  engine_ = std::make_unique<Engine>(*board_, tableMadeFor_);
  if (inForce && engine_->ConfigFileRead == FileRead::Failed)
    static_cast<SearchParameters&>(*engine_) = *inForce;
  engine_->StopRequest = &input_.stopRequest();
  engine_->InfoHook = [this](Worker& w, const SearchReport& r) {
    if (!w.shared.SearchInfo) return;
    info_.report(w, r);
    if (!analysisGui_) return;
    if (r.final)
      realtime_.finishThink(r.move);
    else
      realtime_.iterationDone(r.move);
  };
  engine_->RootHook = [this](RootEvent event, CellIndex cell) {
    if (analysisGui_ && engine_->SearchInfo) realtime_.event(event, cell);
  };
}

bool CommandLoop::readToken(std::string& token) {
  if (!pushedBack_.empty()) {
    token = std::move(pushedBack_);
    pushedBack_.clear();
    return true;
  }
  token.clear();
  int c = in_.get();
  while (c != EOF && isSpace(c)) c = in_.get();
  if (c == EOF) return false;
  while (c != EOF && !isSpace(c)) {
    token.push_back(char(c));
    c = in_.peek();
    if (c == EOF || isSpace(c)) break;
    c = in_.get();
  }
  in_.clear(in_.rdstate() & ~std::ios::failbit);
  return true;
}

CommandLoop::Read CommandLoop::readNumber(int32_t& value) {
  int c = in_.peek();
  while (c != EOF && isSpace(c)) {
    in_.get();
    c = in_.peek();
  }
  if (c == EOF) return Read::EndOfInput;
  std::string digits;
  if (c == '+' || c == '-') {
    digits.push_back(char(in_.get()));
    c = in_.peek();
  }
  while (c != EOF && std::isdigit(c)) {
    digits.push_back(char(in_.get()));
    c = in_.peek();
  }
  const char* p = digits.c_str();
  long long v = 0;
  if (!scanDecimal(p, v)) return Read::Failed;
  value = clampToInt32(v);
  return Read::Ok;
}

CommandLoop::Read CommandLoop::readSeparator() {
  int c = in_.get();
  while (c != EOF && isSpace(c)) c = in_.get();
  return c == EOF ? Read::EndOfInput : Read::Ok;
}

void CommandLoop::dropToken() {
  int c = in_.peek();
  while (c != EOF && !isSpace(c)) {
    in_.get();
    c = in_.peek();
  }
}

void CommandLoop::reply(const std::string& line) {
  if (!notices_.empty()) {
    out_ << notices_;
    notices_.clear();
  }
  out_ << line << '\n';
  out_.flush();
}

void CommandLoop::replyMove(CellIndex cell) {
  reply(std::to_string((cell & 31) - 5) + "," + std::to_string((cell >> 5) - 5));
}

bool CommandLoop::step() {
  // Without a reader thread the input may grow after its end was seen (see CommandInput).
  in_.clear();
  std::string token;
  if (!readToken(token)) return false;
  const std::string word = token;
  capitalise(token);
  if (token == "START") return onStart();
  if (token == "RECTSTART") return onRectStart();
  if (token == "SWAP2BOARD") return onSwap2Board();
  if (token == "RESTART") {
    newGame();
    reply(ReplyOk);
    return true;
  }
  if (token == "TAKEBACK") return onTakeback();
  if (token == "BEGIN") return thinkAndReply();
  if (token == "TURN") return onTurn();
  if (token == "BOARD") return onBoard();
  if (token == "INFO") return onInfo();
  if (token == "ABOUT") {
    // Managers read the identification first: notices wait for the next reply.
    out_ << aboutLine() << '\n';
    out_.flush();
    return true;
  }
  if (token == "END") return false;
  // A stop line outside a think has nothing to stop (see CommandInput).
  if (token == "YXSTOP" || token == "STOP") return true;
  // The analysis GUI has spoken: its live lines go out from here on.
  if (token.rfind("YX", 0) == 0) analysisGui_ = true;
  if (token == "YXBOARD") return onYxBoard();
  if (token == "YXHASHCLEAR") {
    onHashClear();
    return true;
  }
  if (token == "YXSHOWFORBID") {
    onShowForbid();
    return true;
  }
  if (token == "YXSHOWINFO") {
    onShowInfo();
    return true;
  }
  if (token == "YXNBEST") return onNBest();
  if (token == "YXBALANCEONE") return onBalance(1);
  if (token == "YXBALANCETWO") return onBalance(2);
  return onUnknown(word);
}

CommandLoop::Read CommandLoop::readArgument(int32_t& value) {
  const Read r = readNumber(value);
  if (r == Read::Failed) {
    dropToken();
    reply(ReplyBadNumber);
  }
  return r;
}

bool CommandLoop::onStart() {
  int32_t n = 0;
  if (const Read r = readArgument(n); r != Read::Ok) return r == Read::Failed;
  startBoard(n);
  return true;
}

void CommandLoop::startBoard(int32_t n) {
  // Sizes above 22 do not fit the padded board.
  if (n < MinBoardSize || n > MaxBoardSize) {
    reply(ReplyError);
    return;
  }
  if (board_->size != n) buildEngine(n);
  newGame();
  reply(ReplyOk);
}

CommandLoop::Read CommandLoop::readPair(int32_t& a, int32_t& b) {
  Read r = readNumber(a);
  if (r == Read::Ok) r = readSeparator();
  if (r == Read::Ok) r = readNumber(b);
  if (r == Read::Failed) {
    dropToken();
    reply(ReplyBadNumber);
  }
  return r;
}

bool CommandLoop::onRectStart() {
  int32_t w = 0, h = 0;
  const Read r = readPair(w, h);
  if (r != Read::Ok) return r == Read::Failed;
  if (w != h) {
    reply(ReplyRectangular);
    return true;
  }
  startBoard(w);
  return true;
}

void CommandLoop::skipLine() {
  for (int c = in_.get(); c != EOF && c != '\n'; c = in_.get()) {
  }
}

bool CommandLoop::onUnknown(const std::string& word) {
  // The rest of the line belongs to the command nobody knows; the next line is a command again.
  skipLine();
  reply(std::string(ReplyUnknown) + " " + word.substr(0, MaxEchoedWord));
  return true;
}

void CommandLoop::chargeClock(int32_t startMs) {
  // The brain's own count of its match clock, which stands until the manager tells the time left.
  const int32_t took = std::max(0, elapsedMs(startMs));
  spentMs_ += took;
  MatchSettings& s = engine_->Settings;
  s.TimeLeft = int32_t(std::clamp<int64_t>(int64_t(s.TimeLeft) - took + s.TimeIncrement, 1, NoMatchClock));
}

bool CommandLoop::onSwap2Board() {
  // The stones, one x,y line each, up to DONE; a word that is not DONE is the next command.
  std::vector<CellIndex> stones;
  std::string error;
  std::string token;
  for (;;) {
    if (!readToken(token)) return false;
    std::string word = token;
    capitalise(word);
    if (word == "DONE") break;
    if (!token.empty() && std::isalpha(static_cast<unsigned char>(token[0]))) {
      pushedBack_ = token;
      if (error.empty()) error = "SWAP2BOARD ended without DONE";
      break;
    }
    int32_t x = 0, y = 0, who = 0;
    if (!parseBoardLine(token + ",0", x, y, who)) {
      if (error.empty()) error = "SWAP2BOARD expected a line x,y";
      continue;
    }
    // The bounds first: a coordinate far off the board does not make a cell.
    if (!insideBoard(*board_, x, y)) {
      if (error.empty()) error = "SWAP2BOARD stone " + token + " is off the board";
    } else if (std::find(stones.begin(), stones.end(), cellOf(x, y)) != stones.end()) {
      if (error.empty()) error = "SWAP2BOARD stone " + token + " is given twice";
    } else {
      stones.push_back(cellOf(x, y));
    }
  }
  if (error.empty() && stones.size() != 0 && stones.size() != 3 && stones.size() != 5)
    error = "SWAP2BOARD takes 0, 3 or 5 stones, not " + std::to_string(stones.size());
  if (!error.empty()) {
    reply("ERROR " + error);
    return true;
  }
  // The opening's stones on an empty board for the searches; the game before the command comes
  // back afterwards, and the manager goes on with BOARD.
  const std::vector<uint16_t> before(board_->moves.begin(), board_->moves.begin() + board_->moveCount);
  resetGame(*engine_);
  for (const CellIndex cell : stones) makeMove(*engine_, cell);
  input_.beginThink();
  const int32_t start = nowMs();
  const Swap2Answer answer = answerSwap2(*engine_);
  chargeClock(start);
  const bool end = input_.endThink();
  resetGame(*engine_);
  for (const uint16_t cell : before) makeMove(*engine_, cell);
  clearTable(*engine_->TransTable);
  if (end) return false;
  reply(answer.swap || answer.stones.empty() ? std::string(ReplySwap)
                                             : cellListText(answer.stones.data(), answer.stones.size()));
  return true;
}

bool CommandLoop::onTakeback() {
  // TAKEBACK x,y names the stone; the last one goes whatever it says.
  skipLine();
  if (board_->moveCount > 0 && engine_->Stopped) unmakeMove(*engine_);
  reply(ReplyOk);
  return true;
}

void CommandLoop::fitTableToLimits() {
  // A new size of table is a fresh, empty one, made between thinks.
  if (tableMadeFor_ != tableBuckets()) {
    tableMadeFor_ = tableBuckets();
    resizeTable(*engine_, tableMadeFor_);
  }
}

bool CommandLoop::thinkAndReply() {
  fitTableToLimits();
  input_.beginThink();
  realtime_.startThink();
  const int32_t start = nowMs();
  linesShown_ = false;
  const ThinkResult result = think(*engine_);
  const CellIndex cell = result.move;
  const bool end = input_.endThink();
  chargeClock(start);
  // END during the think: the session is over and nobody waits for the move.
  if (end) return false;
  // A think for several best lines that completed no depth (a forced move, the opening rules)
  // still shows its answer as the one line.
  if (engine_->BestLines > 1 && !linesShown_ && cell < BoardCells && board_->cells[cell] == Empty) {
    const BestLine line{cell, result.score};
    out_ << formatBestLines(*engine_, result.depth, &line, 1);
  }
  if (cell >= BoardCells || board_->cells[cell] != Empty) {
    reply(NoMoveReply);
    return true;
  }
  applyAndJudge(*engine_, cellX(cell), cellY(cell));
  replyMove(cell);
  return true;
}

bool CommandLoop::onTurn() {
  int32_t x = 0, y = 0;
  const Read r = readPair(x, y);
  if (r != Read::Ok) return r == Read::Failed;
  if (!insideBoard(*board_, x, y) || board_->cells[cellOf(x, y)] != Empty) {
    reply(ReplyNotEmpty);
    return true;
  }
  makeMove(*engine_, cellOf(x, y));
  return thinkAndReply();
}

bool CommandLoop::readBoardStones() {
  const int32_t played = board_->moveCount;
  previousMoves_.assign(board_->moves.begin(), board_->moves.begin() + played);
  resetGame(*engine_);
  std::string token;
  for (;;) {
    if (!readToken(token)) return false;
    std::string word = token;
    capitalise(word);
    if (word == "DONE") break;
    int32_t x = 0, y = 0, who = 0;
    if (!parseBoardLine(token, x, y, who)) {
      reply(ReplyBadBoardLine);
      continue;
    }
    lastWho_ = who;
    if (!insideBoard(*board_, x, y) || board_->cells[cellOf(x, y)] != Empty) {
      reply(ReplyNotEmpty);
      continue;
    }
    makeMove(*engine_, cellOf(x, y));
  }
  // A position that continues the game on the board (its moves first, in order) keeps the table,
  // as TURN would: a GUI that sends the whole position before every move then searches with what
  // the earlier thinks stored, and the table is not emptied and its pages faulted in again each
  // move. Any other position starts with an empty table.
  if (board_->moveCount < played ||
      !std::equal(previousMoves_.begin(), previousMoves_.end(), board_->moves.begin()))
    clearTable(*engine_->TransTable);
  return true;
}

bool CommandLoop::onBoard() {
  if (!readBoardStones()) return false;
  if (lastWho_ == 2) return thinkAndReply();
  return true;
}

bool CommandLoop::onInfo() {
  // The key and its value are the rest of this line: a value that is missing or unreadable
  // leaves the next line's command alone, and INFO never answers.
  std::string line;
  for (int c = in_.get(); c != EOF && c != '\n'; c = in_.get())
    if (line.size() < MaxInfoLine) line.push_back(char(c));
  applyInfo(line);
  return true;
}

void CommandLoop::applyInfo(const std::string& line) {
  const char* cursor = line.c_str();
  while (isSpace(*cursor)) ++cursor;
  const char* keyEnd = cursor;
  while (*keyEnd != '\0' && !isSpace(*keyEnd)) ++keyEnd;
  std::string key(cursor, keyEnd);
  capitalise(key);
  // FOLDER's value is a path; GAME_TYPE changes nothing; unknown keys are ignored.
  // The analysis GUI's other keys (pondering, caution_factor, vcthread, show_detail, start_depth,
  // usedatabase, database_readonly) change nothing either.
  static const char* const numericKeys[] = {"TIMEOUT_TURN", "TIMEOUT_MATCH", "TIME_LEFT",     "MAX_MEMORY",
                                            "RULE",         "MAX_NODE",      "MAX_DEPTH",     "SEED",
                                            "THREAD_NUM",   "HASH_SIZE",     "TIME_INCREMENT"};
  bool numeric = false;
  for (const char* k : numericKeys) numeric = numeric || key == k;
  if (!numeric) return;
  cursor = keyEnd;
  long long value = 0;
  if (!scanDecimal(cursor, value)) {
    // A thread_num without a number is one thread.
    if (key == "THREAD_NUM") settings_.ThreadCount = engine_->Settings.ThreadCount = 1;
    return;
  }
  const int32_t v = clampToInt32(value);
  Engine& e = *engine_;
  if (key == "TIMEOUT_TURN") {
    // 0: as fast as possible. The think's budget is then below zero, so the search stops at its
    // first clock check and plays the best move it has.
    if (v >= 0) settings_.TimeoutTurn = e.Settings.TimeoutTurn = v;
  } else if (key == "TIMEOUT_MATCH") {
    // 0 is no match clock. Until the manager tells the time left, the clock is the match time less
    // what this game's thinks took.
    if (v < 0) return;
    settings_.TimeoutMatch = e.Settings.TimeoutMatch = v == 0 ? NoMatchClock : v;
    if (!timeLeftTold_)
      e.Settings.TimeLeft = int32_t(std::max<int64_t>(1, int64_t(e.Settings.TimeoutMatch) - spentMs_));
  } else if (key == "TIME_LEFT") {
    if (v > 0) {
      e.Settings.TimeLeft = v;
      timeLeftTold_ = true;
    }
  } else if (key == "MAX_MEMORY") {
    // The limit holds for the rest of the session; the next think sizes the table to it.
    if (v >= 0) settings_.MaxMemory = e.Settings.MaxMemory = v == 0 ? 2147483647 : v;
  } else if (key == "MAX_NODE") {
    settings_.NodeLimit = e.Settings.NodeLimit = v > 0 ? v : 0;
  } else if (key == "MAX_DEPTH") {
    settings_.DepthLimit = e.Settings.DepthLimit = v > 0 ? v : 0;
    e.MaxDepth = maxDepthOf(e.Settings);
  } else if (key == "THREAD_NUM") {
    // From the next think on; the table is sized for the threads' memory before it.
    settings_.ThreadCount = e.Settings.ThreadCount = threadCountOf(value);
  } else if (key == "HASH_SIZE") {
    // KB; within max_memory, from the next think on. 0 or less: as large as the memory allows.
    hashBuckets_ = v > 0 ? tableBucketsForKb(v) : 0;
  } else if (key == "TIME_INCREMENT") {
    // ms the match clock gains with each move: the brain's own count adds it, and each think may
    // spend it besides its share of the clock.
    settings_.TimeIncrement = e.Settings.TimeIncrement = std::max(0, v);
  } else if (key == "SEED") {
    // Every random choice of the brain (keys, book, early replies) repeats from here on.
    seedAllGenerators(e, uint64_t(int64_t(v)));
    clearTable(*e.TransTable);
    clearProofCache(e);
  } else if (key == "RULE") {
    if (v < 0) return;
    settings_.GameRule = ruleOfInfo(v);
    newGame();
  }
}

void CommandLoop::newGame() {
  restart(*engine_, settings_);
  timeLeftTold_ = false;
  spentMs_ = 0;
}

}  // namespace kesta
