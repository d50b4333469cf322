#include "ui/core/batch.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "chain/text_file.h"
#include "ui/core/tests/test_support.h"

namespace zepa::ui {
namespace {

using testing::crlf;
using testing::RecordingPrompts;

class BatchFile : public testing::ScratchDir {};

TEST_F(BatchFile, LoadPutsLineKIntoRowK) {
  std::string text;
  for (int k = 1; k <= 23; ++k) text += k == 2 ? "\r\n" : "step" + std::to_string(k) + ".jcd\r\n";
  const std::string file = write("run.jbf", text);
  BatchTable table;
  table.row(5).result = "pass";
  ASSERT_TRUE(load_batch(table, file));
  EXPECT_EQ(table.path, file);
  EXPECT_EQ(table.row(1).jcd, "step1.jcd");
  EXPECT_EQ(table.row(2).jcd, "") << "an empty line leaves its row empty";
  EXPECT_EQ(table.row(20).jcd, "step20.jcd");
  EXPECT_EQ(table.row(5).result, "") << "results are emptied";
  EXPECT_EQ(table.hidden_lines, (std::vector<std::string>{"step21.jcd", "step22.jcd", "step23.jcd"}));
  EXPECT_THROW(table.row(21), std::out_of_range);
  EXPECT_THROW(table.row(0), std::out_of_range);
}

TEST_F(BatchFile, LoadOfAMissingFileLeavesTheTable) {
  BatchTable table;
  table.row(1).jcd = "kept.jcd";
  EXPECT_FALSE(load_batch(table, path("missing.jbf")));
  EXPECT_EQ(table.row(1).jcd, "kept.jcd");
  EXPECT_EQ(table.path, "");
}

TEST_F(BatchFile, SaveClosesGapsAndLeavesHiddenLinesOut) {
  BatchTable table;
  table.row(2).jcd = "b.jcd";
  table.row(5).jcd = "c:\\boards\\e.jcd";
  table.row(20).jcd = "t.jcd";
  table.hidden_lines = {"hidden.jcd"};
  save_batch(table, path("out.jbf"));
  EXPECT_EQ(read("out.jbf"), crlf({"b.jcd", "c:\\boards\\e.jcd", "t.jcd"}));
  EXPECT_EQ(table.path, path("out.jbf"));
  EXPECT_EQ(files(), std::vector<std::string>{"out.jbf"});

  BatchTable again;
  ASSERT_TRUE(load_batch(again, path("out.jbf")));
  EXPECT_EQ(again.row(1).jcd, "b.jcd");
  EXPECT_EQ(again.row(2).jcd, "c:\\boards\\e.jcd");
  EXPECT_EQ(again.row(3).jcd, "t.jcd");
  EXPECT_EQ(again.row(4).jcd, "");

  EXPECT_THROW(save_batch(table, path("no/such/folder.jbf")), std::runtime_error);
}

TEST_F(BatchFile, ChoosingAChainFileForARow) {
  const std::string good = write("good.jcd", "#Corvane PLD device JTAG chain description\r\n");
  const std::string bad = write("bad.jcd", "#device JTAG chain description\r\n");
  struct Case {
    std::string path;
    bool taken;
    std::vector<std::string> boxes;
  };
  const Case cases[] = {
      {good, true, {}},
      {bad, false, {"error: Not a valid Corvane' JCD file"}},
      {path("new.jcd"), true, {}},  // only an existing file can lack the marker
  };
  for (const auto& c : cases) {
    BatchTable table;
    table.row(3).jcd = "before.jcd";
    RecordingPrompts prompts;
    EXPECT_EQ(choose_batch_jcd(table, 3, c.path, prompts), c.taken) << c.path;
    EXPECT_EQ(table.row(3).jcd, c.taken ? c.path : "before.jcd");
    EXPECT_EQ(prompts.boxes, c.boxes);
  }
}

TEST(BatchGrid, WhatAGestureOnACellDoes) {
  BatchTable table;
  table.row(2).jcd = "step.jcd";
  struct Case {
    int row, column;
    BatchGesture gesture;
    BatchCellAction action;
  };
  using enum BatchGesture;
  using enum BatchCellAction;
  const Case cases[] = {
      {2, kBatchColSequence, kRelease, kViewChain},
      {3, kBatchColSequence, kRelease, kNone},  // an empty row has no chain to show
      {2, kBatchColSequence, kDoubleClick, kNone},
      {2, kBatchColJcd, kRelease, kNone},
      {3, kBatchColJcd, kDoubleClick, kChooseChain},
      {3, kBatchColJcd, kRightPress, kDeleteMenu},
      {2, kBatchColResult, kDoubleClick, kNone},
      {2, kBatchColResult, kRightPress, kNone},
      {0, kBatchColJcd, kDoubleClick, kNone},  // the header
      {0, kBatchColJcd, kRightPress, kNone},
      {kBatchRows + 1, kBatchColJcd, kDoubleClick, kNone},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(batch_cell_action(table, c.row, c.column, c.gesture), c.action)
        << "row " << c.row << " column " << c.column << " gesture " << static_cast<int>(c.gesture);
  }
  delete_batch_jcd(table, 2);
  EXPECT_EQ(table.row(2).jcd, "");
}

TEST(BatchGrid, ShownBatchFileAndStepPaths) {
  struct Case {
    std::string batch_path, jcd;
    std::string caption, step;
  };
  const Case cases[] = {
      {"/Boards/Night.JBF", "Step1.jcd", "/boards/night.jbf", "/Boards/Step1.jcd"},
      {"/Boards/Night.JBF", "/Other/Step.jcd", "/boards/night.jbf", "/Other/Step.jcd"},
      {"/Boards/Night.JBF", "", "/boards/night.jbf", ""},
      {"Night.jbf", "Step1.jcd", "night.jbf", "Step1.jcd"},  // both in the current folder
      {"", "Step1.jcd", "", "Step1.jcd"},                    // rows chosen, never saved
  };
  for (const Case& c : cases) {
    BatchTable table;
    table.path = c.batch_path;
    table.row(4).jcd = c.jcd;
    EXPECT_EQ(batch_file_caption(table), c.caption) << c.batch_path;
    EXPECT_EQ(batch_step_path(table, 4), c.step) << c.batch_path << " " << c.jcd;
    EXPECT_EQ(table.path, c.batch_path) << "the table keeps the name with its case";
  }
}

// Files are looked up by name only; every call is recorded.
class FakeHost : public BatchHost {
 public:
  std::set<std::string> existing;
  std::set<std::string> load_fails;
  std::set<std::string> run_fails;
  std::vector<std::string> calls;
  std::vector<std::string> log;
  std::string loaded;

  bool file_exists(const std::string& path) override { return existing.count(path) > 0; }
  void clear_failures() override { calls.push_back("clear"); }
  bool load_step(const std::string& path) override {
    calls.push_back("load " + path);
    loaded = path;
    return load_fails.count(path) == 0;
  }
  bool run_step() override {
    calls.push_back("run " + loaded);
    return run_fails.count(loaded) == 0;
  }
  void show_result(int row, std::string_view result) override {
    calls.push_back("show " + std::to_string(row) + " " + std::string(result));
  }
  void log_result(std::string_view result) override { log.emplace_back(result); }
};

TEST(BatchRun, Steps) {
  struct Case {
    const char* name;
    std::map<int, std::string> rows;  // row -> chain file; missing.jcd does not exist
    std::set<std::string> load_fails;
    std::set<std::string> run_fails;
    std::map<int, std::string> results;  // rows not listed stay empty
    std::vector<std::string> log;
    BatchSummary summary;
  };
  const Case cases[] = {
      {"all pass",
       {{1, "a"}, {2, "b"}, {3, "c"}},
       {},
       {},
       {{1, "pass"}, {2, "pass"}, {3, "pass"}},
       {"pass", "pass", "pass"},
       {3, 0, 0}},
      {"third step fails and stops the batch",
       {{1, "a"}, {2, "b"}, {3, "c"}, {4, "d"}},
       {},
       {"c"},
       {{1, "pass"}, {2, "pass"}, {3, "fail"}},
       {"pass", "pass", "fail"},
       {2, 0, 3}},
      {"missing file is skipped and the batch goes on",
       {{1, "missing.jcd"}, {2, "b"}},
       {},
       {},
       {{1, "skip"}, {2, "pass"}},
       {"pass"},
       {1, 1, 0}},
      {"empty rows are passed over",
       {{4, "a"}, {20, "b"}},
       {},
       {},
       {{4, "pass"}, {20, "pass"}},
       {"pass", "pass"},
       {2, 0, 0}},
      {"failed load fails the step", {{1, "a"}, {2, "b"}}, {"a"}, {}, {{1, "fail"}}, {"fail"}, {0, 0, 1}},
      {"nothing to run", {}, {}, {}, {}, {}, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    BatchTable table;
    for (int i = 1; i <= kBatchRows; ++i) table.row(i).result = "stale";
    FakeHost host;
    for (const auto& [row, jcd] : c.rows) {
      table.row(row).jcd = jcd;
      if (jcd != "missing.jcd") host.existing.insert(jcd);
    }
    host.load_fails = c.load_fails;
    host.run_fails = c.run_fails;

    const BatchSummary summary = run_batch(table, host);

    for (int i = 1; i <= kBatchRows; ++i) {
      const auto it = c.results.find(i);
      EXPECT_EQ(table.row(i).result, it == c.results.end() ? "" : it->second) << "row " << i;
    }
    EXPECT_EQ(host.log, c.log);
    EXPECT_EQ(summary.passed, c.summary.passed);
    EXPECT_EQ(summary.skipped, c.summary.skipped);
    EXPECT_EQ(summary.failed_row, c.summary.failed_row);
    for (const auto& f : c.load_fails) {
      EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "run " + f), 0)
          << "a chain that did not load is not run";
    }
  }
}

TEST(BatchRun, OrderOfOneStep) {
  BatchTable table;
  table.row(2).jcd = "a";
  FakeHost host;
  host.existing = {"a"};
  run_batch(table, host);
  EXPECT_EQ(host.calls,
            (std::vector<std::string>{"clear", "show 2 running", "load a", "run a", "show 2 pass", "clear"}));
}

TEST_F(BatchFile, RunLogLinesAreAppendedToAFileCreatedWhenMissing) {
  const std::string log = path("zepaisp.log");
  chain::append_line(log, "Executing chain.jcd ...");
  chain::append_line(log, "pass");
  EXPECT_EQ(read("zepaisp.log"), crlf({"Executing chain.jcd ...", "pass"}));
  EXPECT_THROW(chain::append_line(path("no/such/zepaisp.log"), "fail"), std::runtime_error);
}

class StartupBatchTest : public testing::ScratchDir {};

TEST_F(StartupBatchTest, FirstArgumentNamesAnExistingBatchFile) {
  const std::string jbf = write("night.jbf", "");
  const std::string upper = write("NIGHT.JBF", "");
  const std::string other = write("night.txt", "");
  std::filesystem::create_directory(path("folder.jbf"));
  struct Case {
    std::vector<std::string> args;
    bool found;
    bool close_after;
  };
  const Case cases[] = {
      {{}, false, false},
      {{jbf}, true, true},
      {{jbf, "more"}, true, false},
      {{"more", jbf}, false, false},
      {{upper}, false, false},
      {{other}, false, false},
      {{path("missing.jbf")}, false, false},
      {{path("folder.jbf")}, false, false},
  };
  for (const auto& c : cases) {
    const auto got = startup_batch(c.args);
    ASSERT_EQ(got.has_value(), c.found) << (c.args.empty() ? "" : c.args[0]);
    if (got) {
      EXPECT_EQ(got->path, c.args[0]);
      EXPECT_EQ(got->close_after_run, c.close_after);
    }
  }
}

}  // namespace
}  // namespace zepa::ui
