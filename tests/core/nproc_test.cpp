// Named procedures and key events: registration with de-duplication,
// rounds and results, names without regard to case, the trace lines, and
// dispatch order, including lists changed from inside a call.
#include "core/nproc.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <tuple>
#include <vector>

#include "core/log.h"
#include "support/testutil.h"

namespace {

std::vector<std::string> gCalls;

int procA(NamedProc* r) {
  gCalls.push_back(std::string("A:") + r->name);
  return 11;
}
int procB(NamedProc* r) {
  gCalls.push_back(std::string("B:") + r->name);
  return 22;
}

std::string registeredLine(const char* name, NamedProcFn proc) {
  char line[160];
  std::snprintf(line, sizeof line, "registerNamedProc(): registered name '%s' proc %p\n", name,
                reinterpret_cast<void*>(proc));
  return line;
}

class NprocTest : public ::testing::Test {
 protected:
  void SetUp() override {
    logReset();
    namedProcClear();
    eventClear();
    gCalls.clear();
  }
  void TearDown() override {
    namedProcClear();
    eventClear();
    logReset();
  }
};

TEST_F(NprocTest, SameNameAndProcedureIsRegisteredOnce) {
  StderrCapture err;
  registerNamedProc("gate", procA);
  registerNamedProc("gate", procA);
  registerNamedProc("GATE", procA);  // the same name without regard to case
  EXPECT_EQ(err.finish(), registeredLine("gate", procA));
  EXPECT_EQ(namedProcCount(), 1);
  EXPECT_EQ(invokeNamedProcs("gate"), 11);
  EXPECT_EQ(gCalls, std::vector<std::string>{"A:gate"});
}

TEST_F(NprocTest, TwoProceduresUnderOneNameBothRunAndTheLastResultCounts) {
  registerNamedProc("ost_in", procA);
  registerNamedProc("other", procA);
  registerNamedProc("Ost_In", procB);
  ASSERT_EQ(namedProcCount(), 3);
  StderrCapture err;
  EXPECT_EQ(invokeNamedProcs("OST_IN"), 22);
  EXPECT_EQ(err.finish(),
            "invokeNamedProcs(): calling named proc 'OST_IN' round 1\n"
            "invokeNamedProcs(): calling named proc 'OST_IN' round 2\n");
  // Each procedure receives its own record, in registration order.
  EXPECT_EQ(gCalls, (std::vector<std::string>{"A:ost_in", "B:Ost_In"}));
}

TEST_F(NprocTest, UnknownNameReturnsMinusOneWithItsLine) {
  {
    StderrCapture err;
    EXPECT_EQ(invokeNamedProcs("zona_gate"), -1) << "empty list";
    EXPECT_EQ(err.finish(), "invokeNamedProcs(): no procedure by name 'zona_gate' found\n");
  }
  registerNamedProc("zona_gate_x", procA);
  registerNamedProc("zona", procA);
  StderrCapture err;
  EXPECT_EQ(invokeNamedProcs("zona_gate"), -1) << "neither a longer nor a shorter name matches";
  EXPECT_EQ(err.finish(), "invokeNamedProcs(): no procedure by name 'zona_gate' found\n");
  EXPECT_TRUE(gCalls.empty());
}

TEST_F(NprocTest, LongNamesAreCutTo63Characters) {
  const std::string longName(70, 'n');
  registerNamedProc(longName.c_str(), procA);
  EXPECT_EQ(invokeNamedProcs(longName.c_str()), 11);
  EXPECT_EQ(invokeNamedProcs(std::string(63, 'N').c_str()), 11);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"A:" + std::string(63, 'n'), "A:" + std::string(63, 'n')}));
}

TEST_F(NprocTest, ClearEmptiesTheListEvenFromInsideAProcedure) {
  registerNamedProc("x", procA);
  namedProcClear();
  EXPECT_EQ(namedProcCount(), 0);
  EXPECT_EQ(invokeNamedProcs("x"), -1);

  // A procedure that clears the list ends the round: nothing after it runs,
  // and the list is empty afterwards.
  registerNamedProc("x", [](NamedProc*) {
    gCalls.push_back("clear");
    namedProcClear();
    return 5;
  });
  registerNamedProc("x", procB);
  EXPECT_EQ(invokeNamedProcs("x"), 5);
  EXPECT_EQ(gCalls, std::vector<std::string>{"clear"});
  EXPECT_EQ(namedProcCount(), 0);
}

TEST_F(NprocTest, ProcedureRegisteredDuringACallRunsFromTheNextCall) {
  registerNamedProc("x", [](NamedProc*) {
    gCalls.push_back("first");
    registerNamedProc("x", procB);
    return 1;
  });
  EXPECT_EQ(invokeNamedProcs("x"), 1);
  EXPECT_EQ(gCalls, std::vector<std::string>{"first"});
  gCalls.clear();
  EXPECT_EQ(invokeNamedProcs("x"), 22);
  EXPECT_EQ(gCalls, (std::vector<std::string>{"first", "B:x"}));
}

// ---------------------------------------------------------------------------
// Key events
// ---------------------------------------------------------------------------

std::vector<std::tuple<char, int, int, int>> gKeys;

void keyA(int key, int a, int b) { gKeys.emplace_back('A', key, a, b); }
void keyB(int key, int a, int b) { gKeys.emplace_back('B', key, a, b); }
void keyC(int key, int a, int b) { gKeys.emplace_back('C', key, a, b); }

class KeyEventTest : public NprocTest {
 protected:
  void SetUp() override {
    NprocTest::SetUp();
    gKeys.clear();
  }
};

TEST_F(KeyEventTest, DispatchCallsTheKeysCallbacksInRegistrationOrderOnce) {
  eventRegister(0, keyB);
  eventRegister(1, keyC);
  eventRegister(0, keyA);
  eventRegister(0, keyB);  // already there
  eventRegister(1, keyB);  // the same callback under another key is another record
  EXPECT_EQ(eventCount(), 4);

  eventDispatch(0, 1, 0);
  using K = std::tuple<char, int, int, int>;
  EXPECT_EQ(gKeys, (std::vector<K>{{'B', 0, 1, 0}, {'A', 0, 1, 0}}));
  gKeys.clear();
  eventDispatch(1, 0, 7);
  EXPECT_EQ(gKeys, (std::vector<K>{{'C', 1, 0, 7}, {'B', 1, 0, 7}}));
  gKeys.clear();
  eventDispatch(2, 0, 0);
  EXPECT_TRUE(gKeys.empty());

  eventClear();
  EXPECT_EQ(eventCount(), 0);
  eventDispatch(0, 0, 0);
  EXPECT_TRUE(gKeys.empty());
}

TEST_F(KeyEventTest, ListChangedFromACallbackIsSafe) {
  // A callback that registers another: the new one is called from the next
  // dispatch on.
  eventRegister(0, [](int key, int a, int b) {
    keyA(key, a, b);
    eventRegister(0, keyB);
  });
  eventDispatch(0, 0, 0);
  EXPECT_EQ(gKeys.size(), 1u);
  eventDispatch(0, 1, 0);
  EXPECT_EQ(gKeys.size(), 3u);
  EXPECT_EQ(std::get<0>(gKeys[2]), 'B');

  // A callback that clears the list ends the dispatch.
  eventClear();
  gKeys.clear();
  eventRegister(0, [](int key, int a, int b) {
    keyC(key, a, b);
    eventClear();
  });
  eventRegister(0, keyA);
  eventDispatch(0, 0, 0);
  EXPECT_EQ(gKeys.size(), 1u);
  EXPECT_EQ(eventCount(), 0);
}

}  // namespace
