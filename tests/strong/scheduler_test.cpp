// The scheduler's guarantees, on threads that poll their budgets: turns go round in
// order, never more holders than tokens, a pause lets others run, and an ended budget
// wakes a waiting runner at once even while the holder does not poll.
#include "strong/scheduler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>
#include <vector>

namespace velkin::strong {
namespace {

using std::chrono::milliseconds;

double SecondsSince(Clock::time_point t) {
  return std::chrono::duration<double>(Clock::now() - t).count();
}

TEST(StrongScheduler, TurnsGoRoundInOrderAndNeverExceedTheTokens) {
  for (const int tokens : {1, 2}) {
    SCOPED_TRACE(tokens);
    const auto scheduler = std::make_shared<Scheduler>(tokens, milliseconds(5));
    const auto stop = std::make_shared<std::atomic<bool>>(false);
    const Budget budget = Budget(Clock::now() + milliseconds(400), stop).Sharing(scheduler);
    constexpr int kRunners = 4;
    std::vector<int> ids;
    for (int k = 0; k < kRunners; ++k) ids.push_back(scheduler->Add());
    std::mutex logMutex;
    std::vector<int> log;  // who ran, each time a different runner than before
    std::atomic<int> active{0}, most{0};
    {
      std::vector<std::jthread> threads;
      for (int k = 0; k < kRunners; ++k)
        threads.emplace_back([&, k] {
          const Scheduler::Seat seat(*scheduler, ids[k], budget);
          while (!budget.Expired()) {
            const int now = ++active;
            int m = most.load();
            while (m < now && !most.compare_exchange_weak(m, now)) {
            }
            {
              const std::lock_guard<std::mutex> lock(logMutex);
              if (log.empty() || log.back() != k) log.push_back(k);
            }
            std::this_thread::sleep_for(milliseconds(1));
            --active;
          }
        });
    }
    EXPECT_LE(most.load(), tokens);
    EXPECT_LE(scheduler->MostHolders(), tokens);
    // Every runner had many turns.
    for (int k = 0; k < kRunners; ++k) EXPECT_GE(std::count(log.begin(), log.end(), k), 5) << k;
    if (tokens == 1) {
      // One token: strictly round robin, in the order of adding.
      ASSERT_GE(log.size(), 8u);
      for (std::size_t i = 0; i < log.size(); ++i) EXPECT_EQ(log[i], static_cast<int>(i % 4)) << i;
    }
  }
}

TEST(StrongScheduler, AWaitingRunnerEndsAtOnceWhenItsBudgetEndsThoughTheHolderDoesNotPoll) {
  const auto scheduler = std::make_shared<Scheduler>(1, milliseconds(1));
  const auto stop = std::make_shared<std::atomic<bool>>(false);
  const Budget budget = Budget(Clock::now() + std::chrono::seconds(30), stop).Sharing(scheduler);
  const int holder = scheduler->Add();
  const int waiter = scheduler->Add();
  std::atomic<bool> holding{false};
  const auto start = Clock::now();
  double waiterEnded = 0;
  {
    std::jthread h([&] {
      const Scheduler::Seat seat(*scheduler, holder, budget);
      holding = true;
      std::this_thread::sleep_for(milliseconds(400));  // never polls meanwhile
    });
    while (!holding) std::this_thread::yield();
    std::jthread w([&] {
      const Scheduler::Seat seat(*scheduler, waiter, budget);  // waits for the token
      EXPECT_TRUE(budget.Expired());
      waiterEnded = SecondsSince(start);
    });
    std::this_thread::sleep_for(milliseconds(50));
    stop->store(true);
  }
  EXPECT_LT(waiterEnded, 0.3);  // long before the holder let go
  EXPECT_GE(SecondsSince(start), 0.39);
}

TEST(StrongScheduler, APausedRunnerLetsOthersRunAndGetsItsTurnBack) {
  const auto scheduler = std::make_shared<Scheduler>(1, milliseconds(5));
  const Budget budget =
      Budget(Clock::now() + std::chrono::seconds(30), std::make_shared<std::atomic<bool>>(false))
          .Sharing(scheduler);
  const int first = scheduler->Add();
  const int second = scheduler->Add();
  std::atomic<bool> secondRan{false};
  std::jthread a([&] {
    const Scheduler::Seat seat(*scheduler, first, budget);
    std::jthread b([&] {
      const Scheduler::Seat s(*scheduler, second, budget);
      // Runs only once the first runner pauses, since the first never polls.
      for (int i = 0; i < 20; ++i) EXPECT_FALSE(budget.Expired());
      secondRan = true;
    });
    {
      const Scheduler::Pause pause(budget);
      b.join();  // would never end if the pause kept the token
    }
    EXPECT_TRUE(secondRan.load());
    EXPECT_FALSE(budget.Expired());  // the token is back
  });
  a.join();
  EXPECT_EQ(scheduler->MostHolders(), 1);
}

TEST(StrongScheduler, ARunnerAloneKeepsItsTokenAndOthersBudgetsDoNotYield) {
  const auto scheduler = std::make_shared<Scheduler>(1, milliseconds(1));
  const Budget shared =
      Budget(Clock::now() + std::chrono::seconds(30), std::make_shared<std::atomic<bool>>(false))
          .Sharing(scheduler);
  const int id = scheduler->Add();
  std::jthread t([&] {
    const Scheduler::Seat seat(*scheduler, id, shared);
    const auto start = Clock::now();
    for (int i = 0; i < 1000; ++i) EXPECT_FALSE(shared.Expired());
    EXPECT_LT(SecondsSince(start), 1.0);
  });
  t.join();
  // A thread that is no runner polls the shared budget without taking turns.
  EXPECT_FALSE(shared.Expired());
  EXPECT_FALSE(shared.Within(std::chrono::seconds(1)).Expired());
}

TEST(StrongScheduler, ClausesWaitForTheirRoomWithoutHoldingUpTheHolderAndAStopRefusesThem) {
  const auto scheduler = std::make_shared<Scheduler>(1, milliseconds(2));
  const auto pool = std::make_shared<ClausePool>(10);
  const auto stop = std::make_shared<std::atomic<bool>>(false);
  const Budget budget =
      Budget(Clock::now() + std::chrono::seconds(30), stop).Sharing(scheduler, pool);
  const int holder = scheduler->Add();
  const int waiter = scheduler->Add();
  std::atomic<bool> leased{false}, waiterGranted{false}, holderDone{false};
  {
    std::jthread h([&] {
      const Scheduler::Seat seat(*scheduler, holder, budget);
      {
        const ClauseLease lease = budget.LeaseClauses(8);
        EXPECT_TRUE(lease.granted());
        leased = true;
        // Keeps polling, so it would hand its token to the waiter were it waiting
        // for a turn rather than for clauses.
        for (int i = 0; i < 100; ++i) {
          EXPECT_FALSE(budget.Expired());
          std::this_thread::sleep_for(milliseconds(1));
        }
        holderDone = true;
      }
    });
    while (!leased) std::this_thread::yield();
    std::jthread w([&] {
      const Scheduler::Seat seat(*scheduler, waiter, budget);
      const ClauseLease lease = budget.LeaseClauses(5);  // more than the 2 left
      EXPECT_TRUE(lease.granted());
      EXPECT_TRUE(holderDone.load());
      waiterGranted = true;
    });
  }
  EXPECT_TRUE(waiterGranted.load());
  EXPECT_EQ(pool->free(), 10);
  EXPECT_EQ(scheduler->MostHolders(), 1);

  // Without room, a stop ends the wait with a refused lease.
  const ClauseLease big = budget.LeaseClauses(9);
  std::jthread stopper([&] {
    std::this_thread::sleep_for(milliseconds(50));
    stop->store(true);
  });
  const ClauseLease refused = budget.LeaseClauses(5);
  EXPECT_FALSE(refused.granted());
  EXPECT_EQ(pool->free(), 1);
}

}  // namespace
}  // namespace velkin::strong
