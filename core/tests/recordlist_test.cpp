#include <gtest/gtest.h>

#include "records_test_util.h"

namespace {

using records_test::LogObserver;
using records_test::MakeRecord;
using records_test::Texts;
using Lines = std::vector<std::string>;

// W, X, Y, Z front to back, watched by one logging observer.
class RecordListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* t : {"Z", "Y", "X", "W"}) list.AddRecord(MakeRecord(t));
    list.AddObserver(&obs);
  }
  pq::RecordList list;
  LogObserver obs{list};
};

TEST_F(RecordListTest, FullListDropsOldestBeforeAddingAndKeepsCount) {
  list.maxRecords = 4;
  list.AddRecord(MakeRecord("V"));
  EXPECT_EQ(obs.log, (Lines{"removing Z at 3", "added V at 0"}));
  EXPECT_EQ(Texts(list), (Lines{"V", "W", "X", "Y"}));
}

TEST_F(RecordListTest, FullListWithoutDropOldestGrowsPastItsLimit) {
  list.maxRecords = 4;
  list.dropOldest = false;
  list.AddRecord(MakeRecord("V"));
  list.InsertRecord(MakeRecord("U"), 2);
  EXPECT_EQ(obs.log, (Lines{"added V at 0", "added U at 2"}));
  EXPECT_EQ(list.GetCount(), 6u);
}

TEST_F(RecordListTest, InsertOnAFullListAtTheEndAppendsAfterTheDrop) {
  list.maxRecords = 4;
  list.InsertRecord(MakeRecord("V"), 4);
  EXPECT_EQ(obs.log, (Lines{"removing Z at 3", "added V at 3"}));
  EXPECT_EQ(Texts(list), (Lines{"W", "X", "Y", "V"}));
}

TEST_F(RecordListTest, InsertAtCountAppendsAndPastCountDoesNothing) {
  list.InsertRecord(MakeRecord("V"), 4);
  list.InsertRecord(MakeRecord("U"), 6);
  EXPECT_EQ(obs.log, (Lines{"added V at 4"}));
  EXPECT_EQ(Texts(list), (Lines{"W", "X", "Y", "Z", "V"}));
}

TEST_F(RecordListTest, LimitIsCappedAtAThousandAndNeverZero) {
  list.maxRecords = 5000;
  EXPECT_EQ(list.GetMaxRecords(), 1000u);
  EXPECT_EQ(list.maxRecords, 5000u);
  // A stored 0 behaves as 1: the list keeps the newest record, nothing breaks.
  list.maxRecords = 0;
  EXPECT_EQ(list.GetMaxRecords(), 1u);
  pq::RecordList empty;
  empty.maxRecords = 0;
  empty.AddRecord(MakeRecord("A"));
  empty.AddRecord(MakeRecord("B"));
  EXPECT_EQ(Texts(empty), (Lines{"B"}));
}

struct MoveCase {
  unsigned from, to;
  Lines result;
  Lines log;
};

TEST_F(RecordListTest, MoveRecordLandsBeforeTheRowThatWasAtTo) {
  const MoveCase cases[] = {
      {0, 3, {"X", "Y", "W", "Z"}, {"removing W at 0", "added W at 2"}},
      {3, 0, {"Z", "W", "X", "Y"}, {"removing Z at 3", "added Z at 0"}},
      {0, 4, {"X", "Y", "Z", "W"}, {"removing W at 0", "added W at 3"}},
      {1, 2, {"W", "X", "Y", "Z"}, {"removing X at 1", "added X at 1"}},
      {2, 2, {"W", "X", "Y", "Z"}, {}},
      {4, 0, {"W", "X", "Y", "Z"}, {}},
      {0, 5, {"W", "X", "Y", "Z"}, {}},
  };
  for (const auto& c : cases) {
    pq::RecordList l;
    for (const char* t : {"Z", "Y", "X", "W"}) l.AddRecord(MakeRecord(t));
    LogObserver o(l);
    l.AddObserver(&o);
    l.MoveRecord(c.from, c.to);
    EXPECT_EQ(Texts(l), c.result) << c.from << " -> " << c.to;
    EXPECT_EQ(o.log, c.log) << c.from << " -> " << c.to;
  }
}

TEST_F(RecordListTest, MoveInAListOverItsLimitKeepsEveryRecord) {
  list.maxRecords = 2;  // lowered after the four records came in
  list.MoveRecord(3, 1);
  EXPECT_EQ(obs.log, (Lines{"removing Z at 3", "added Z at 1"}));
  EXPECT_EQ(Texts(list), (Lines{"W", "Z", "X", "Y"}));
}

TEST_F(RecordListTest, MoveToFrontAnnouncesBeforeAndSendsNothingElse) {
  list.maxRecords = 4;  // full: the move must not drop anything
  list.MoveRecordToFront(2);
  EXPECT_EQ(obs.log, (Lines{"front 2 holding Y"}));
  EXPECT_EQ(Texts(list), (Lines{"Y", "W", "X", "Z"}));
}

TEST_F(RecordListTest, OutOfRangeIndexesAndForeignRecordsDoNothing) {
  list.RemoveRecordAt(4);
  list.MoveRecordToFront(4);
  list.MoveRecordToFront(100);
  list.RemoveRecord(MakeRecord("W"));  // same text, another record
  EXPECT_TRUE(obs.log.empty());
  EXPECT_EQ(list.GetCount(), 4u);
  EXPECT_FALSE(list.GetRecord(4));
  EXPECT_EQ(list.IndexOf(nullptr), -1);
}

TEST_F(RecordListTest, RemoveFindsTheRecordByIdentityAndAnnouncesBefore) {
  const pq::RecordPtr x = list.GetRecord(1);
  list.RemoveRecord(x);
  list.RemoveRecordAt(0);
  EXPECT_EQ(obs.log, (Lines{"removing X at 1", "removing W at 0"}));
  EXPECT_EQ(Texts(list), (Lines{"Y", "Z"}));
}

TEST_F(RecordListTest, ClearAnnouncesAfter) {
  list.Clear();
  EXPECT_EQ(obs.log, (Lines{"cleared, count 0"}));
}

TEST_F(RecordListTest, ObserversAreCalledInRegistrationOrder) {
  LogObserver second(list, "second");
  list.AddObserver(&second);
  std::vector<std::string> order;
  obs.onCall = [&] { order.push_back("first"); };
  second.onCall = [&] { order.push_back("second"); };
  list.AddRecord(MakeRecord("V"));
  EXPECT_EQ(order, (Lines{"first", "second"}));
  list.RemoveObserver(&obs);
  list.RemoveObserver(&obs);  // absent: nothing
  list.AddRecord(MakeRecord("U"));
  EXPECT_EQ(order, (Lines{"first", "second", "second"}));
}

TEST_F(RecordListTest, ObserversMaySubscribeAndUnsubscribeDuringACall) {
  LogObserver second(list, "second");
  LogObserver third(list, "third");
  list.AddObserver(&second);
  // The first observer removes the second and adds the third mid-round.
  obs.onCall = [&] {
    list.RemoveObserver(&second);
    list.AddObserver(&third);
    obs.onCall = nullptr;
  };
  list.AddRecord(MakeRecord("V"));
  EXPECT_TRUE(second.log.empty());
  EXPECT_TRUE(third.log.empty());
  list.Clear();
  EXPECT_EQ(third.log, (Lines{"third: cleared, count 0"}));
}

TEST(RecordListShared, RemovingFromOneListLeavesTheRecordInTheOther) {
  pq::RecordList a, b;
  const auto r = MakeRecord("shared");
  a.AddRecord(r);
  b.AddRecord(r);
  a.RemoveRecord(r);
  EXPECT_EQ(b.GetRecord(0), r);
  EXPECT_EQ(r.use_count(), 2);  // b and this test
}

}  // namespace
