// Threads, locks, the clock and the console.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "c4d.h"
#include "host_clock.h"
#include "host_control.h"

namespace {

class ThreadTest : public ::testing::Test {
 protected:
  void SetUp() override { host::ResetAll(); }
  void TearDown() override { host::ResetAll(); }
};

// Runs until asked to break, counting its rounds.
class Spinner : public C4DThread {
 public:
  ~Spinner() override { End(); }
  void Main() override {
    started = true;
    while (!TestBreak()) std::this_thread::yield();
    ++runs;
  }
  Bool TestDBreak() override { return ownBreak.load(); }
  std::atomic<bool> started{false};
  std::atomic<bool> ownBreak{false};
  std::atomic<int> runs{0};
};

void WaitUntil(const std::atomic<bool>& flag) {
  while (!flag.load()) std::this_thread::yield();
}

TEST_F(ThreadTest, StartEndAndRestart) {
  Spinner t;
  EXPECT_FALSE(t.IsRunning());
  ASSERT_TRUE(t.Start());
  EXPECT_TRUE(t.IsRunning());  // running as soon as Start returns
  EXPECT_FALSE(t.Start());     // not twice at once
  WaitUntil(t.started);
  EXPECT_FALSE(t.TestBreak());
  t.End();
  EXPECT_FALSE(t.IsRunning());
  EXPECT_TRUE(t.TestBreak());
  EXPECT_EQ(t.runs.load(), 1);

  // A new start clears the break request.
  t.started = false;
  ASSERT_TRUE(t.Start());
  WaitUntil(t.started);
  EXPECT_FALSE(t.TestBreak());
  t.ownBreak = true;  // the plug-in's own break test ends it too
  t.Wait();
  EXPECT_FALSE(t.IsRunning());
  EXPECT_EQ(t.runs.load(), 2);

  // End without waiting only asks.
  t.ownBreak = false;
  ASSERT_TRUE(t.Start());
  t.End(false);
  t.Wait();
  EXPECT_EQ(t.runs.load(), 3);
}

TEST_F(ThreadTest, StartInTheForegroundRunsHere) {
  class Here : public C4DThread {
   public:
    void Main() override {
      id = std::this_thread::get_id();
      runningInside = IsRunning();
    }
    std::thread::id id;
    bool runningInside = false;
  } t;
  ASSERT_TRUE(t.Start(FALSE));
  EXPECT_EQ(t.id, std::this_thread::get_id());
  EXPECT_TRUE(t.runningInside);
  EXPECT_FALSE(t.IsRunning());
}

TEST_F(ThreadTest, SemaphoreLocksAndGivesUpOnBreak) {
  host::ManualClock clock;
  host::SetClock(&clock);
  Semaphore* sem = Semaphore::Alloc();
  ASSERT_TRUE(sem->AttemptLock());
  EXPECT_FALSE(sem->AttemptLock());

  Spinner breaker;  // never started: its break flag is set directly through End
  breaker.End();
  EXPECT_FALSE(sem->LockAndWait(&breaker));

  std::atomic<bool> got{false};
  std::thread other([&] {
    sem->Lock();
    got = true;
    sem->UnLock();
  });
  GeSleep(50);
  EXPECT_FALSE(got.load());
  sem->UnLock();
  other.join();
  EXPECT_TRUE(got.load());
  EXPECT_TRUE(sem->LockAndWait(nullptr));
  sem->UnLock();
  Semaphore::Free(sem);
  EXPECT_EQ(sem, nullptr);
}

TEST_F(ThreadTest, ConsoleKeepsEveryLineFromManyThreads) {
  std::vector<std::string> echoed;
  host::SetConsoleEcho([&](const std::string& line) { echoed.push_back(line); });
  constexpr int kThreads = 6;
  constexpr int kLines = 200;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < kLines; ++i) GePrint(String(std::to_string(t) + ":" + std::to_string(i)));
    });
  }
  for (auto& th : threads) th.join();

  const std::vector<std::string> lines = host::ConsoleLines();
  ASSERT_EQ(lines.size(), static_cast<size_t>(kThreads * kLines));
  EXPECT_EQ(echoed, lines);  // echoed in the same order as recorded
  std::map<int, int> next;   // each thread's lines appear in its own order
  for (const std::string& line : lines) {
    size_t colon = line.find(':');
    ASSERT_NE(colon, std::string::npos) << line;
    int t = std::stoi(line.substr(0, colon));
    EXPECT_EQ(std::stoi(line.substr(colon + 1)), next[t]++) << line;
  }
  for (int t = 0; t < kThreads; ++t) EXPECT_EQ(next[t], kLines);

  GePrint(String("caf\xC3\xA9"));
  EXPECT_EQ(host::ConsoleLines().back(), "caf\xC3\xA9");
  host::ClearConsole();
  EXPECT_TRUE(host::ConsoleLines().empty());
}

}  // namespace
