#include <gtest/gtest.h>

#include "player/PlayerEvents.h"

namespace {

TPlayerEvent Position(int64_t pts) {
  return {TPlayerEventKind::ekPosition, TPlayState::psPlay, pts};
}
TPlayerEvent State(TPlayState s) {
  return {TPlayerEventKind::ekState, s, 0};
}

std::vector<TPlayerEvent> Drain(TEventRing &ring) {
  std::vector<TPlayerEvent> out;
  TPlayerEvent e;
  while (ring.Take(e)) out.push_back(e);
  return out;
}

}  // namespace

TEST(EventRingTest, NewestEventOfTheSameKindReplacesTheWaitingOne) {
  TEventRing ring;
  ring.Post(Position(1));
  ring.Post(Position(2));
  ring.Post(State(TPlayState::psPause));
  ring.Post(Position(3));
  ring.Post(Position(4));
  const auto events = Drain(ring);
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].PTS, 2);
  EXPECT_EQ(events[1].State, TPlayState::psPause);
  EXPECT_EQ(events[2].PTS, 4);
}

TEST(EventRingTest, FullRingLosesTheOldestAndHoldsNine) {
  TEventRing ring;
  for (int i = 0; i < 12; ++i) ring.Post(i % 2 ? Position(i) : State(TPlayState::psPause));
  const auto events = Drain(ring);
  ASSERT_EQ(events.size(), 9u);
  EXPECT_EQ(events.back().PTS, 11);
  EXPECT_EQ(events.front().Kind, TPlayerEventKind::ekPosition);
  EXPECT_EQ(events.front().PTS, 3);
  EXPECT_FALSE(ring.WaitPending(std::chrono::milliseconds(0)));
}
