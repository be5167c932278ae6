// The evaluation tuner and its training data: the data file format (round trip, a cut or corrupt
// tail), feature counts that reproduce evalSum exactly under any weights and rule, the analytic
// gradient against a numeric one, the fit, and gen-data stopped in the middle of a run.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "board/line_state.h"
#include "eval/eval_tables.h"
#include "rules/rule_tables.h"
#include "support/processes.h"
#include "support/temp_dir.h"
#include "tools/lib/train_data.h"
#include "tools/lib/tuner.h"

namespace kesta {
namespace {

using tool::DataFile;
using tool::GameData;
using tool::TuneSet;
using tool::TuneWeightCount;

GameData sampleGame() {
  GameData g;
  g.rule = RenjuRule;
  g.size = 20;
  g.result = tool::WhiteWon;
  g.openingLength = 3;
  for (int i = 0; i < 40; ++i) g.moves.push_back(uint16_t((i * 37 + 11) % 400));
  g.samples = {
      {4, -250, tool::OpponentOpenThree}, {17, tool::NoSearchScore, 0}, {39, 18999, tool::OwnFourCell}};
  return g;
}

void expectSameGame(const GameData& a, const GameData& b) {
  EXPECT_EQ(a.rule, b.rule);
  EXPECT_EQ(a.size, b.size);
  EXPECT_EQ(a.result, b.result);
  EXPECT_EQ(a.openingLength, b.openingLength);
  EXPECT_EQ(a.moves, b.moves);
  ASSERT_EQ(a.samples.size(), b.samples.size());
  for (size_t i = 0; i < a.samples.size(); ++i) {
    EXPECT_EQ(a.samples[i].ply, b.samples[i].ply);
    EXPECT_EQ(a.samples[i].score, b.samples[i].score);
    EXPECT_EQ(a.samples[i].flags, b.samples[i].flags);
  }
}

std::string fileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

TEST(TrainData, BlocksRoundTripAndABadTailIsDropped) {
  kesta_test::TempDir dir;
  const std::string path = (dir.path() / "games.dat").string();
  size_t there = 1;
  std::string error;
  int fd = tool::openDataFile(path, false, there, error);
  ASSERT_GE(fd, 0) << error;
  EXPECT_EQ(there, 0u);
  GameData second = sampleGame();
  second.rule = Freestyle;
  second.size = 15;
  second.result = tool::Drawn;
  second.moves.resize(30);
  for (uint16_t& m : second.moves) m = uint16_t(m % 225);
  second.samples.pop_back();
  const std::string blocks[2] = {tool::encodeGame(sampleGame()), tool::encodeGame(second)};
  for (const std::string& block : blocks) ASSERT_TRUE(tool::appendBlock(fd, block));
  tool::closeDataFile(fd);

  DataFile data;
  ASSERT_TRUE(tool::readDataFile(path, data, error)) << error;
  ASSERT_EQ(data.games.size(), 2u);
  expectSameGame(data.games[0], sampleGame());
  expectSameGame(data.games[1], second);
  EXPECT_EQ(data.droppedBytes, 0u);

  // A run stopped in the middle of a block: the reader keeps the whole games, an append cuts the
  // tail before the next block.
  std::ofstream(path, std::ios::binary | std::ios::app) << blocks[0].substr(0, 9);
  ASSERT_TRUE(tool::readDataFile(path, data, error));
  EXPECT_EQ(data.games.size(), 2u);
  EXPECT_EQ(data.droppedBytes, 9u);
  EXPECT_LT(tool::openDataFile(path, false, there, error), 0) << "an existing file needs --append";
  fd = tool::openDataFile(path, true, there, error);
  ASSERT_GE(fd, 0) << error;
  EXPECT_EQ(there, 2u);
  ASSERT_TRUE(tool::appendBlock(fd, blocks[1]));
  tool::closeDataFile(fd);
  ASSERT_TRUE(tool::readDataFile(path, data, error));
  ASSERT_EQ(data.games.size(), 3u);
  expectSameGame(data.games[2], second);
  EXPECT_EQ(data.droppedBytes, 0u);

  // One flipped byte fails the block's checksum; the games before it stay.
  std::string bytes = fileBytes(path);
  bytes[bytes.size() - 8] ^= 0x20;
  std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  ASSERT_TRUE(tool::readDataFile(path, data, error));
  EXPECT_EQ(data.games.size(), 2u);
  EXPECT_EQ(data.droppedBytes, blocks[1].size());

  std::ofstream(path, std::ios::binary | std::ios::trunc) << "KESTADAT";
  EXPECT_FALSE(tool::readDataFile(path, data, error)) << "a short header";
}

// Random small weights for every EvalSingle and EvalPair, and a ForbiddenEval.
EvalParameters randomWeights(std::mt19937_64& rng) {
  EvalParameters p = defaultEvalParameters();
  p.ForbiddenEval = -321;
  for (int16_t& w : p.EvalSingle) w = int16_t(int(rng() % 101) - 50);
  for (int16_t& w : p.EvalPair) w = int16_t(int(rng() % 61) - 30);
  return p;
}

// Under random weights and every rule, the counts of a position times the weights give its evalSum
// difference for the side to move exactly, through random games near the centre; renju games
// meet Black's forbidden cells on the way.
TEST(Tuner, FeatureCountsReproduceEvalSum) {
  std::mt19937_64 rng(15);
  int forbiddenSeen = 0;
  for (Rule rule : {Freestyle, ExactFiveRule, RenjuRule}) {
    const EvalParameters p = randomWeights(rng);
    const auto tables = buildPatternTables(rule, p);
    double w[TuneWeightCount];
    tool::evalWeightsOf(p, w);
    for (int game = 0; game < 6; ++game) {
      Board board(15);
      auto pos = std::make_unique<Position>();
      pos->board = &board;
      pos->tables = tables.get();
      resetGame(*pos);
      for (int ply = 0; ply < 60; ++ply) {
        int x, y;
        do {
          x = 3 + int(rng() % 9);
          y = 3 + int(rng() % 9);
        } while (board.cells[cellOf(x, y)] != Empty);
        makeMove(*pos, cellOf(x, y));
        const int side = board.sideToMove;
        int32_t counts[TuneWeightCount] = {}, forbidden = 0;
        tool::addFeatureCounts(*pos, side, 1, counts, forbidden);
        double sum = p.ForbiddenEval * double(forbidden);
        for (int i = 0; i < TuneWeightCount; ++i) sum += w[i] * counts[i];
        ASSERT_EQ(sum, double(pos->evalSum[side] - pos->evalSum[side ^ 1]))
            << "rule " << int(rule) << " ply " << ply;
        forbiddenSeen += forbidden != 0;
      }
    }
  }
  EXPECT_GT(forbiddenSeen, 0);
}

// Samples become positions of the parent's and the position's counts together, labelled with the
// result for their side to move; the value is the engine's static value before its rounding.
TEST(Tuner, ExtractedPositionsCarryTheStaticValue) {
  GameData g;
  g.rule = Freestyle;
  g.size = 15;
  g.result = tool::BlackWon;
  const int moves[][2] = {{7, 7}, {8, 8}, {8, 7}, {6, 7}, {9, 6}, {10, 5}, {7, 9}, {9, 7}};
  for (const auto& m : moves) g.moves.push_back(uint16_t(m[1] * 15 + m[0]));
  g.samples = {{3, 40, 0}, {6, 0, tool::OwnFourCell}, {7, 0, 0}};
  TuneSet set;
  tool::extractGame(g, false, tool::OwnFourCell, set);
  ASSERT_EQ(set.positions.size(), 2u) << "the flagged sample is skipped";
  EXPECT_EQ(set.positions[0].result, 0.0f) << "White to move at ply 3 lost";
  EXPECT_EQ(set.positions[1].result, 0.0f);
  EXPECT_EQ(set.positions[0].score, 40);
  double w[tool::TuneParamCount] = {};
  tool::evalWeightsOf(defaultEvalParameters(), w);
  Board board(15);
  auto pos = std::make_unique<Position>();
  pos->board = &board;
  pos->tables = defaultPatternTables(Freestyle).get();
  resetGame(*pos);
  int32_t before = 0;
  for (int ply = 0; ply < 3; ++ply) {
    before = pos->evalSum[White] - pos->evalSum[Black];
    makeMove(*pos, cellOf(moves[ply][0], moves[ply][1]));
  }
  const double value = 0.5 * (before + pos->evalSum[White] - pos->evalSum[Black]);
  EXPECT_EQ(tool::tunedValue(set, set.positions[0], w, 0), value);
}

TuneSet tinySet() {
  TuneSet set;
  auto add = [&](std::vector<tool::FeatureEntry> entries, int forbidden, float result, int16_t score,
                 bool held) {
    tool::TunePosition p;
    p.first = uint32_t(set.entries.size());
    p.size = uint16_t(entries.size());
    set.entries.insert(set.entries.end(), entries.begin(), entries.end());
    p.forbidden = int16_t(forbidden);
    p.result = result;
    p.score = score;
    p.heldOut = held;
    p.colour = int8_t(set.positions.size() % 2 == 0 ? 1 : -1);
    set.positions.push_back(p);
  };
  add({{10, 3}, {16 + 40, -2}, {29, 1}}, 0, 1.0f, 120, false);
  add({{10, -1}, {16 + 40, 4}, {16 + 135, 1}}, 1, 0.0f, -80, false);
  add({{3, 2}, {29, -3}}, -1, 0.5f, tool::NoSearchScore, false);
  add({{10, 5}}, 0, 1.0f, 0, true);
  return set;
}

TEST(Tuner, GradientMatchesNumericDifferences) {
  const TuneSet set = tinySet();
  std::mt19937_64 rng(3);
  double w[tool::TuneParamCount];
  for (double& x : w) x = double(int(rng() % 41) - 20);
  for (double blend : {0.0, 0.4}) {
    tool::LossSetup setup;
    setup.scale = 0.01;
    setup.forbiddenEval = -200;
    setup.blend = blend;
    double gradient[tool::TuneParamCount] = {};
    tool::lossAndGradient(set, w, setup, false, gradient);
    for (int i : {3, 10, 29, 16 + 40, 16 + 135, 7, tool::TempoParam, tool::ColourParam}) {
      const double h = 1e-3, keep = w[i];
      w[i] = keep + h;
      const double up = tool::lossAndGradient(set, w, setup, false, nullptr);
      w[i] = keep - h;
      const double down = tool::lossAndGradient(set, w, setup, false, nullptr);
      w[i] = keep;
      EXPECT_NEAR(gradient[i], (up - down) / (2 * h), 1e-9) << "weight " << i << " blend " << blend;
    }
  }
}

// The scale minimises the loss of the start weights; the fit lowers the training loss and moves
// only the free weights.
TEST(Tuner, FitLowersTheLossAndKeepsFixedWeights) {
  const TuneSet set = tinySet();
  double w[tool::TuneParamCount] = {};
  w[10] = 5;
  w[16 + 40] = -3;
  w[29] = 8;
  tool::LossSetup setup;
  setup.scale = tool::fitScale(set, w, setup);
  const double atScale = tool::lossAndGradient(set, w, setup, false, nullptr);
  for (double factor : {0.5, 2.0}) {
    tool::LossSetup other = setup;
    other.scale *= factor;
    EXPECT_LT(atScale, tool::lossAndGradient(set, w, other, false, nullptr));
  }
  tool::TuneConfig cfg;
  cfg.epochs = 200;
  cfg.rate = 0.5;
  tool::markFreeWeights({13, 15}, true, true, cfg.free);
  EXPECT_FALSE(cfg.free[13]);
  EXPECT_FALSE(cfg.free[16 + pairIndex(0, 13)]);
  EXPECT_TRUE(cfg.free[16 + pairIndex(0, 12)]);
  w[13] = 7;
  tool::tune(set, w, setup, cfg, nullptr);
  EXPECT_LT(tool::lossAndGradient(set, w, setup, false, nullptr), atScale - 0.01);
  EXPECT_EQ(w[13], 7);
  EXPECT_EQ(w[16 + 135], 0) << "fixed: class 15";
}

#ifndef _WIN32

using kesta_test::runTool;

// A run stopped by a signal keeps every whole game; an append after a cut tail continues the file;
// the tuner reads it and writes a complete AIEval.txt that leaves fours, fives and ordering alone.
TEST(GenData, StoppedRunKeepsWholeGamesAndFeedsTheTuner) {
  kesta_test::TempDir dir;
  const std::string data = (dir.path() / "games.dat").string();
  const std::string tool = std::string("'") + KESTA_TOOL_PATH + "'";
  const std::string stopped = runTool("gen-data --rule renju --size 11 --nodes 300 --games 1000000 --out '" +
                                      data + "' 2>/dev/null & pid=$!; sleep 3; kill -TERM $pid; wait $pid");
  EXPECT_NE(stopped.find("(stopped)"), std::string::npos) << stopped;
  DataFile file;
  std::string error;
  ASSERT_TRUE(tool::readDataFile(data, file, error)) << error;
  EXPECT_EQ(file.droppedBytes, 0u);
  const size_t games = file.games.size();
  ASSERT_GT(games, 0u);
  for (const GameData& g : file.games) {
    EXPECT_EQ(g.rule, RenjuRule);
    for (const tool::Sample& s : g.samples)
      EXPECT_TRUE(s.score == tool::NoSearchScore || std::abs(s.score) < DecidedScore) << s.score;
  }

  std::ofstream(data, std::ios::binary | std::ios::app) << std::string("\x20\x00\x02", 3);
  int status = 0;
  runTool("gen-data --rule renju --size 11 --nodes 300 --games 2 --out '" + data + "' 2>/dev/null", &status);
  EXPECT_NE(status, 0) << "an existing file needs --append";
  const std::string appended =
      runTool("gen-data --rule renju --size 11 --nodes 300 --games 2 --concurrency 1 --append --out '" +
                  data + "' 2>/dev/null",
              &status);
  EXPECT_EQ(status, 0) << appended;
  ASSERT_TRUE(tool::readDataFile(data, file, error));
  EXPECT_EQ(file.games.size(), games + 2);
  EXPECT_EQ(file.droppedBytes, 0u);

  const std::string out = (dir.path() / "AIEval.txt").string();
  const std::string tuned =
      runTool("tune --rule renju --data '" + data + "' --out '" + out + "' --epochs 3 --holdout 50", &status);
  ASSERT_EQ(status, 0) << tuned;
  EXPECT_NE(tuned.find("epoch 3 train "), std::string::npos) << tuned;
  EvalParameters read;
  ASSERT_EQ(loadEvalFile(out, read), FileRead::Read);
  const EvalParameters& d = defaultEvalParameters();
  EXPECT_EQ(read.ForbiddenEval, d.ForbiddenEval);
  EXPECT_TRUE(std::equal(std::begin(d.MoveSingle), std::end(d.MoveSingle), read.MoveSingle));
  EXPECT_TRUE(std::equal(std::begin(d.MovePair), std::end(d.MovePair), read.MovePair));
  for (int c = 13; c < 16; ++c) {
    EXPECT_EQ(read.EvalSingle[c], d.EvalSingle[c]) << c;
    for (int lo = 0; lo <= c; ++lo) EXPECT_EQ(read.EvalPair[pairIndex(lo, c)], d.EvalPair[pairIndex(lo, c)]);
  }
}

#endif

}  // namespace
}  // namespace kesta
