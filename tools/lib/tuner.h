// The evaluation tuner: the static value as a linear function of the EvalSingle and EvalPair
// weights, its logistic loss against game results, and the analytic gradient. Entry points:
// extractGame (training positions with their feature counts), fitScale, lossAndGradient, tune.
//
// A table entry sums the EvalSingle weight of each of its four directions' class numbers and the
// EvalPair weight of each of its six pairs of directions, so evalSum[s] is a sum of weights times
// counts, and the static value, (D + D') / 2 with D the evalSum difference of the position and D'
// that of its parent (both for the side to move), is exact in the weights once those counts are
// known. Black's forbidden cells hold ForbiddenEval instead, which stays out of the fit.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "board/position.h"
#include "eval/eval_tables.h"
#include "tools/lib/train_data.h"

namespace kesta::tool {

// Weight w[i]: EvalSingle[i] for i < 16, EvalPair[i - 16] after.
constexpr int TuneWeightCount = 16 + 136;
// The fit carries two more terms that the engine does not have: a constant for the side to move
// and one for the side to move being Black. They take up the advantages of the move and of the
// first stone, which the weights would otherwise learn through whatever correlates with them.
constexpr int TempoParam = TuneWeightCount, ColourParam = TuneWeightCount + 1;
constexpr int TuneParamCount = TuneWeightCount + 2;

void evalWeightsOf(const EvalParameters& p, double w[TuneWeightCount]);
// Rounds the weights into p's EvalSingle and EvalPair, clamped to 16 bits.
void setEvalWeights(EvalParameters& p, const double w[TuneWeightCount]);

struct FeatureEntry {
  uint8_t index;
  int16_t count;
};

// One training position. Its features are entries[first .. first + size).
struct TunePosition {
  uint32_t first = 0;
  uint16_t size = 0;
  int16_t forbidden = 0;  // forbidden cells counted like the features (ForbiddenEval's weight)
  float result = 0.5f;    // 1 the side to move won, 0 it lost
  int8_t colour = 1;      // 1 Black to move, -1 White
  int16_t score = NoSearchScore;
  uint8_t flags = 0;
  bool heldOut = false;
};

struct TuneSet {
  std::vector<FeatureEntry> entries;
  std::vector<TunePosition> positions;
};

// Adds sign times the weights' counts of the position's evalSum difference for side (side's
// cells count +1, the opponent's -1) into counts, and the forbidden cells' into forbidden.
// Reads the rule of the position.
void addFeatureCounts(const Position& p, int side, int sign, int32_t counts[TuneWeightCount],
                      int32_t& forbidden);

// Replays the game and appends its samples to the set. The tables must be those of the game's
// rule. Samples whose flags share a bit with skipFlags are left out.
void extractGame(const GameData& game, bool heldOut, uint8_t skipFlags, TuneSet& set);

// The static value of a position under the weights, before the engine's rounding, plus the
// tempo and colour terms.
double tunedValue(const TuneSet& set, const TunePosition& pos, const double w[TuneParamCount],
                  double forbiddenEval);

// What the fit looks at.
struct LossSetup {
  double scale = 0;  // K in sigmoid(K * value)
  double forbiddenEval = 0;
  double blend = 0;  // the target: (1 - blend) * result + blend * sigmoid(K * search score)
};

// Mean logistic loss over the training (heldOut false) or held-out positions. With gradient set,
// adds the loss's gradient by every weight into it (training positions only).
double lossAndGradient(const TuneSet& set, const double w[TuneParamCount], const LossSetup& setup,
                       bool heldOut, double* gradient);

// The scale K minimising the training loss of the given weights.
double fitScale(const TuneSet& set, const double w[TuneParamCount], const LossSetup& setup);

struct TuneConfig {
  int epochs = 300;
  double rate = 0.5;          // Adam's step in weight units at the start; it falls tenfold by the end
  double regularisation = 0;  // times the squared distance to the start weights, per weight
  bool free[TuneParamCount] = {};
};

// Fits the free weights (Adam over the whole training set each epoch), calling report after each
// epoch with the training and held-out loss. w holds the start weights and receives the fit.
void tune(const TuneSet& set, double w[TuneParamCount], const LossSetup& setup, const TuneConfig& cfg,
          void (*report)(int epoch, double train, double heldOut));

// Rounds the free weights to whole numbers, then moves each by whole steps while the regularised
// training loss falls (rounding alone costs much of the gain when weights are a few units).
// start holds the weights the regularisation pulls toward.
void roundWeights(const TuneSet& set, double w[TuneParamCount], const double start[TuneParamCount],
                  const LossSetup& setup, const TuneConfig& cfg);

// The weights that the fit leaves alone by default: every single and pair weight that involves a
// four (class numbers 13 and 14, scoring classes 15 and 16) or a five (class number 15), which
// are rules rather than style.
void markFreeWeights(const std::vector<int>& fixedClasses, bool singles, bool pairs,
                     bool free[TuneWeightCount]);

// Largest absolute table entry that the parameters combine to, for the 16-bit check.
int largestComboMagnitude(const EvalParameters& p);

}  // namespace kesta::tool
