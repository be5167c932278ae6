// Statistics of an engine-vs-engine match played in pairs of games (one opening, both colours):
// pentanomial counts, the Elo difference with its 95% interval, and the sequential probability
// ratio test that decides between two Elo hypotheses. Elo is logistic throughout.
#pragma once

#include <cstdint>
#include <string>

namespace kesta::tool {

// Results from the first engine's view.
struct MatchScore {
  int64_t pairs[5] = {};  // pairs in which it scored 0, 1/2, 1, 3/2 and 2 points
  int64_t wins = 0, draws = 0, losses = 0;  // games, paired or not

  int64_t games() const { return wins + draws + losses; }
  int64_t pairCount() const { return pairs[0] + pairs[1] + pairs[2] + pairs[3] + pairs[4]; }
  // Adds one pair from its two game scores (0, 0.5 or 1 each).
  void addPair(double first, double second);
  // Adds one game that has no partner (it counts in W-D-L only).
  void addGame(double score);
};

// Expected score of an Elo difference, and the Elo difference of an expected score in (0, 1).
double scoreOfElo(double elo);
double eloOfScore(double score);

struct EloEstimate {
  double elo = 0;
  double halfWidth = 0;  // of the 95% interval
};

// Elo from the mean pair score, its interval from the pentanomial variance. Mean scores of 0 or 1
// are pulled in by a quarter of a game per pair, so all wins or all losses give a finite Elo. The
// variance counts one more pair, spread evenly over the five results (0.2 pairs each), so that a
// short match never claims certainty.
EloEstimate estimateElo(const MatchScore& score);

// Log-likelihood ratio of H1 (elo1) against H0 (elo0) under the normal approximation to the
// pentanomial distribution, with the same extra pair in every class's count (mean and variance).
double sprtLlr(const MatchScore& score, double elo0, double elo1);

enum class SprtDecision { None, H0, H1 };

// The decision at alpha = beta = 0.05: H1 at llr >= ln(19), H0 at llr <= -ln(19).
SprtDecision sprtDecision(double llr);
const char* decisionName(SprtDecision d);

// "elo E +- C games N wdl W-D-L llr L decision D".
std::string summaryLine(const MatchScore& score, double elo0, double elo1);

}  // namespace kesta::tool
