// AIConfig.txt: the search parameters an Engine reads at construction from the executable's
// directory. Each case writes the file into a fresh directory and builds an Engine over it.
#include <gtest/gtest.h>

#include <cctype>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>

#include "board/board.h"
#include "protocol/command_loop.h"
#include "search/engine.h"
#include "support/temp_dir.h"

namespace kesta {
namespace {

const float DefaultCoefficient = 1.0f / std::log(20.0f);

class ConfigFile : public ::testing::Test {
 protected:
  void TearDown() override {
    engine_.reset();
  }

  // Writes text as AIConfig.txt, byte for byte, and builds a fresh Engine that reads it.
  const Engine& load(const std::string& text) {
    dir_.writeConfigFile(text);
    return build();
  }
  const Engine& build() {
    engine_.reset();
    engine_ = std::make_unique<Engine>(board_, 1u << 16);
    return *engine_;
  }

  kesta_test::TempExeDir dir_;  // without AIEval.txt; the tests write AIConfig.txt
  Board board_{15};
  std::unique_ptr<Engine> engine_;
};

void expectFutility(const Engine& e, int count, int m0, int m1, int m2, int m3) {
  EXPECT_EQ(count, e.FutilityPurningMarginCount);
  EXPECT_EQ(m0, e.FutilityPurningMargin[0]);
  EXPECT_EQ(m1, e.FutilityPurningMargin[1]);
  EXPECT_EQ(m2, e.FutilityPurningMargin[2]);
  EXPECT_EQ(m3, e.FutilityPurningMargin[3]);
}

void expectRazoring(const Engine& e, int count, int m0, int m1, int m2, int m3) {
  EXPECT_EQ(count, e.RazoringMarginCount);
  EXPECT_EQ(m0, e.RazoringMargin[0]);
  EXPECT_EQ(m1, e.RazoringMargin[1]);
  EXPECT_EQ(m2, e.RazoringMargin[2]);
  EXPECT_EQ(m3, e.RazoringMargin[3]);
}

void expectDefaults(const Engine& e) {
  EXPECT_EQ(DefaultCoefficient, e.ExtensionCoefficient);
  EXPECT_EQ(8, e.IIDMinDepth);
  expectFutility(e, 4, 80, 130, 170, 200);
  expectRazoring(e, 4, 150, 250, 300, 300);
  EXPECT_EQ(10, e.ThreatSearchPlies);
  EXPECT_EQ(1, e.UseOpeningBook);
  EXPECT_EQ(0, e.ReloadConfigOnEachMove);
  EXPECT_EQ(DefaultTimeReserve, e.TimeReserve);
  EXPECT_EQ(1, e.SearchInfo);
  EXPECT_EQ(64, e.MaxDepth);
  EXPECT_EQ(0, e.ProofEveryMove);
  EXPECT_EQ(DefaultProofMinTime, e.ProofMinTime);
  EXPECT_EQ(1, e.LargePages);
  EXPECT_EQ(DefaultMovesToGoPlies, e.MovesToGoPlies);
  EXPECT_EQ(DefaultMinMovesToGo, e.MinMovesToGo);
}

TEST_F(ConfigFile, NoFileGivesTheDefaults) {
  const Engine& e = build();
  expectDefaults(e);
  EXPECT_EQ(5000, e.Settings.TimeoutTurn);
  EXPECT_EQ(1000000000, e.Settings.TimeoutMatch);
  EXPECT_EQ(1000000000, e.Settings.TimeLeft);
  EXPECT_EQ(2147483647, e.Settings.MaxMemory);
  EXPECT_EQ(Freestyle, e.Settings.GameRule);
}

TEST_F(ConfigFile, TheDocumentedExampleRestatesTheDefaults) {
  expectDefaults(
      load("Override:1\nExtensionCoefficient:20\nUseOpeningBook:1\nFutilityPurningMargin:80 130 170 200\n"
           "RazoringMargin:150 250 300 300\nIIDMinDepth:8\nReloadConfigOnEachMove:0\n"));
}

TEST_F(ConfigFile, OnlyAFirstLineYieldingOneEnablesTheKeys) {
  for (const char* first :
       {"Override:0", "Override:2", "override:1", "Override 1", " Override:1", "", "Override:"}) {
    SCOPED_TRACE(first);
    EXPECT_EQ(8, load(std::string(first) + "\nIIDMinDepth:3\n").IIDMinDepth);
  }
  EXPECT_EQ(8, load("\nOverride:1\nIIDMinDepth:3\n").IIDMinDepth);
  expectDefaults(load(""));
  // The first line is scanned like "Override:%d": blanks before the number, anything after it.
  EXPECT_EQ(3, load("Override: 1\nIIDMinDepth:3\n").IIDMinDepth);
  EXPECT_EQ(3, load("Override:+1 enable\nIIDMinDepth:3\n").IIDMinDepth);
  EXPECT_EQ(3, load("Override:1\nIIDMinDepth:3").IIDMinDepth);  // no line feed at the end
}

TEST_F(ConfigFile, ExtensionCoefficient) {
  EXPECT_EQ(1000000.0f, load("Override:1\nExtensionCoefficient:1\n").ExtensionCoefficient);
  EXPECT_EQ(1000000.0f, load("Override:1\nExtensionCoefficient:0\n").ExtensionCoefficient);
  EXPECT_EQ(1000000.0f, load("Override:1\nExtensionCoefficient:-7\n").ExtensionCoefficient);
  EXPECT_EQ(1.0f / std::log(10.0f), load("Override:1\nExtensionCoefficient:10\n").ExtensionCoefficient);
  EXPECT_EQ(1.0f / std::log(2.0f), load("Override:1\nExtensionCoefficient:2.9\n").ExtensionCoefficient);
  EXPECT_EQ(DefaultCoefficient, load("Override:1\nExtensionCoefficient:ten\n").ExtensionCoefficient);
  EXPECT_EQ(DefaultCoefficient, load("Override:1\nExtensionCoefficient:\n").ExtensionCoefficient);
}

TEST_F(ConfigFile, MarginsKeepWhatTheScanDoesNotReach) {
  const Engine& a = load("Override:1\nFutilityPurningMargin:100 150\nRazoringMargin:100\n");
  expectFutility(a, 2, 100, 150, 170, 200);
  expectRazoring(a, 1, 100, 250, 300, 300);

  expectFutility(load("Override:1\nFutilityPurningMargin:1 2 3 4 5\n"), 4, 1, 2, 3, 4);
  expectFutility(load("Override:1\nFutilityPurningMargin:7,8\n"), 1, 7, 130, 170, 200);
  expectRazoring(load("Override:1\nRazoringMargin:\t-5   6 x 7\n"), 2, -5, 6, 300, 300);
  // Nothing after the colon: the scan ends before its first number and reports -1.
  expectFutility(load("Override:1\nFutilityPurningMargin:\n"), -1, 80, 130, 170, 200);
  expectRazoring(load("Override:1\nRazoringMargin:   \n"), -1, 150, 250, 300, 300);
  // Something that is not a number: nothing converted.
  expectFutility(load("Override:1\nFutilityPurningMargin:abc\n"), 0, 80, 130, 170, 200);
}

TEST_F(ConfigFile, LinesMustBeginWithTheKey) {
  EXPECT_EQ(8, load("Override:1\n IIDMinDepth:3\n").IIDMinDepth);
  EXPECT_EQ(8, load("Override:1\n\tIIDMinDepth:3\n").IIDMinDepth);
  EXPECT_EQ(8, load("Override:1\niidmindepth:3\n").IIDMinDepth);
  EXPECT_EQ(8, load("Override:1\nIIDMinDepth 3\n").IIDMinDepth);
  EXPECT_EQ(3, load("Override:1\nIIDMinDepth: 3\n").IIDMinDepth);
  EXPECT_EQ(-2, load("Override:1\nIIDMinDepth:-2 plies\n").IIDMinDepth);
  // Comments, blank lines and unknown keys are skipped; the keys around them still count.
  const Engine& e = load("Override:1\n# tuned\n\nThreatSearchPlies:4\nIIDMinDepth:6\nMaxDepth:3\n");
  EXPECT_EQ(6, e.IIDMinDepth);
  EXPECT_EQ(10, e.ThreatSearchPlies);
  EXPECT_EQ(64, e.MaxDepth);
  EXPECT_EQ(0, e.ProofEveryMove);
  EXPECT_EQ(DefaultProofMinTime, e.ProofMinTime);
}

TEST_F(ConfigFile, FlagsAreSetOnlyByOne) {
  EXPECT_EQ(0, load("Override:1\nUseOpeningBook:2\n").UseOpeningBook);
  EXPECT_EQ(0, load("Override:1\nUseOpeningBook:0\n").UseOpeningBook);
  EXPECT_EQ(1, load("Override:1\nUseOpeningBook:1\n").UseOpeningBook);
  EXPECT_EQ(1, load("Override:1\nUseOpeningBook:on\n").UseOpeningBook);
  EXPECT_EQ(1, load("Override:1\nReloadConfigOnEachMove:1\n").ReloadConfigOnEachMove);
  EXPECT_EQ(0, load("Override:1\nReloadConfigOnEachMove:5\n").ReloadConfigOnEachMove);
}

TEST_F(ConfigFile, ALaterLineWins) {
  EXPECT_EQ(5, load("Override:1\nIIDMinDepth:3\nIIDMinDepth:5\n").IIDMinDepth);
  EXPECT_EQ(0, load("Override:1\nUseOpeningBook:1\nUseOpeningBook:0\n").UseOpeningBook);
  // A second margins line only replaces the margins it reaches.
  expectFutility(load("Override:1\nFutilityPurningMargin:1 2 3 4\nFutilityPurningMargin:9\n"), 1, 9, 2, 3, 4);
}

TEST_F(ConfigFile, CarriageReturnLineEnds) {
  const Engine& e = load(
      "Override:1\r\nExtensionCoefficient:10\r\nUseOpeningBook:0\r\nFutilityPurningMargin:100 150\r\n"
      "RazoringMargin:100\r\nIIDMinDepth:3\r\nReloadConfigOnEachMove:1\r\n");
  EXPECT_EQ(1.0f / std::log(10.0f), e.ExtensionCoefficient);
  EXPECT_EQ(0, e.UseOpeningBook);
  expectFutility(e, 2, 100, 150, 170, 200);
  expectRazoring(e, 1, 100, 250, 300, 300);
  EXPECT_EQ(3, e.IIDMinDepth);
  EXPECT_EQ(1, e.ReloadConfigOnEachMove);
  expectFutility(load("Override:1\r\nFutilityPurningMargin:\r\n"), -1, 80, 130, 170, 200);
}

#ifndef _WIN32
// The commented AIConfig.txt of the release folders sets exactly the built-in values.
TEST_F(ConfigFile, TheReleasedFileRestatesTheDefaults) {
  std::ifstream in(std::string(KESTA_SOURCE_DIR) + "/packaging/AIConfig.txt", std::ios::binary);
  ASSERT_TRUE(in) << "no packaging/AIConfig.txt";
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  expectDefaults(load(text));
  EXPECT_EQ(FileRead::Read, engine_->ConfigFileRead);
  for (const char* key : {"ExtensionCoefficient:", "UseOpeningBook:", "FutilityPurningMargin:",
                          "RazoringMargin:", "IIDMinDepth:", "ReloadConfigOnEachMove:", "TimeReserve:",
                          "SearchInfo:", "ThreatProofMinTime:", "LargePages:", "MovesToGo:"})
    EXPECT_NE(text.find(std::string("\n") + key), std::string::npos) << key << " is not in the file";
}
#endif

TEST_F(ConfigFile, TimeReserveSearchInfoAndProofTime) {
  EXPECT_EQ(150, load("Override:1\nTimeReserve:150\n").TimeReserve);
  EXPECT_EQ(0, load("Override:1\nTimeReserve:0\n").TimeReserve);
  EXPECT_EQ(MaxTimeReserve, load("Override:1\nTimeReserve:60000\n").TimeReserve);
  // A reserve below 0 or above a minute is no reserve a turn could keep: the setting stays.
  for (const char* bad : {"TimeReserve:-1\n", "TimeReserve:60001\n", "TimeReserve:soon\n"})
    EXPECT_EQ(DefaultTimeReserve, load(std::string("Override:1\n") + bad).TimeReserve) << bad;
  EXPECT_EQ(2500, load("Override:1\nThreatProofMinTime:2500\n").ProofMinTime);
  EXPECT_EQ(DefaultProofMinTime, load("Override:1\nThreatProofMinTime:-5\n").ProofMinTime);
  EXPECT_EQ(0, load("Override:1\nSearchInfo:0\n").SearchInfo);
  EXPECT_EQ(1, load("Override:1\nSearchInfo:1\n").SearchInfo);
  EXPECT_EQ(1, load("Override:1\nSearchInfo:off\n").SearchInfo);
  EXPECT_EQ(0, load("Override:1\nLargePages:0\n").LargePages);
  const Engine& plan = load("Override:1\nMovesToGo:30 8\n");
  EXPECT_EQ(30, plan.MovesToGoPlies);
  EXPECT_EQ(8, plan.MinMovesToGo);
  const Engine& longer = load("Override:1\nMovesToGo:50\n");
  EXPECT_EQ(50, longer.MovesToGoPlies);
  EXPECT_EQ(DefaultMinMovesToGo, longer.MinMovesToGo);
  // A plan of no own moves, or of a negative length, is no plan: the setting stays.
  for (const char* bad : {"MovesToGo:40 0\n", "MovesToGo:-1 10\n", "MovesToGo:later\n"})
    EXPECT_EQ(DefaultMinMovesToGo, load(std::string("Override:1\n") + bad).MinMovesToGo) << bad;
}

TEST_F(ConfigFile, ByteOrderMarkAndHowTheReadWent) {
  EXPECT_EQ(3, load("\xEF\xBB\xBFOverride:1\r\nIIDMinDepth:3\r\n").IIDMinDepth);
  EXPECT_EQ(FileRead::Read, engine_->ConfigFileRead);
  EXPECT_EQ(FileRead::Read, load("Override:0\nIIDMinDepth:3\n").ConfigFileRead);  // switched off
  for (const char* broken : {"", "IIDMinDepth:3\n", "\xEF\xBBOverride:1\n", "Override:on\n"}) {
    SCOPED_TRACE(broken);
    EXPECT_EQ(FileRead::Failed, load(broken).ConfigFileRead);
    expectDefaults(*engine_);
  }
  std::filesystem::remove(dir_.path() / "AIConfig.txt");
  EXPECT_EQ(FileRead::Missing, build().ConfigFileRead);
  std::filesystem::create_directory(dir_.path() / "AIConfig.txt");
  EXPECT_EQ(FileRead::Failed, build().ConfigFileRead);
}

// The brain's first read of a file that exists and fails says so once, on a MESSAGE line before
// its first reply (never ERROR, which managers take for a broken brain); a later read that fails,
// as a START on another size makes, keeps the parameters in force and says nothing.
TEST_F(ConfigFile, TheBrainSaysOnceThatAFileFailedAndKeepsWhatIsInForce) {
  load("Override:1\nIIDMinDepth:5\n");
  {
    std::stringstream in("START 15\n"), out;
    CommandLoop loop(in, out, 1u << 16);
    load("IIDMinDepth:3\n");  // broken from now on
    in.clear();
    in.str("START 15\nSTART 20\nABOUT\n");
    while (loop.step()) {
    }
    EXPECT_EQ(out.str(), "OK\nOK\n" + aboutLine() + "\n");
    EXPECT_EQ(5, loop.engine().IIDMinDepth);
  }
  std::stringstream in("INFO timeout_turn 100\nSTART 15\nABOUT\nSTART 20\n"), out;
  CommandLoop loop(in, out, 1u << 16);
  while (loop.step()) {
  }
  EXPECT_EQ(out.str(),
            "MESSAGE AIConfig.txt could not be read (its first line must be Override:1): the built-in "
            "search parameters apply.\nOK\n" +
                aboutLine() + "\nOK\n");
  expectDefaults(loop.engine());
}

// Only the first 999 characters of a line are scanned; the rest of that physical line is skipped
// and does not count as a line of its own.
TEST_F(ConfigFile, OverlongLines) {
  for (size_t junk : {995u, 998u, 999u, 1000u, 1998u}) {
    SCOPED_TRACE(junk);
    const Engine& e = load("Override:1\n" + std::string(junk, 'x') + "IIDMinDepth:3\nRazoringMargin:1\n");
    EXPECT_EQ(8, e.IIDMinDepth);
    expectRazoring(e, 1, 1, 250, 300, 300);  // the next line is read as usual
  }
  std::string line = "IIDMinDepth:5";
  line.resize(1500, ' ');
  EXPECT_EQ(5, load("Override:1\n" + line + "\nUseOpeningBook:0\n").IIDMinDepth);
  EXPECT_EQ(0, engine_->UseOpeningBook);

  // A margins line cut between its numbers.
  std::string margins = "FutilityPurningMargin:11 22";
  margins.resize(999, ' ');
  expectFutility(load("Override:1\n" + margins + " 33 44\n"), 2, 11, 22, 170, 200);

  // A long first line still enables the keys.
  std::string first = "Override:1";
  first.resize(1200, ' ');
  EXPECT_EQ(3, load(first + "\nIIDMinDepth:3\n").IIDMinDepth);
}

}  // namespace
}  // namespace kesta
