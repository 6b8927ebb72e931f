#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "resources/StringIds.h"
#include "threads/StatusList.h"

namespace {

std::string Dump(const CStatusList& list) {
  std::string out;
  for (size_t i = 0; i < list.GetCount(); ++i) {
    out += std::to_string(list.GetAt(i).kind) + "=" + list.GetAt(i).text + ";";
  }
  return out;
}

TEST(StatusListTest, SetLastRewritesTheLastLineOrStartsTheList) {
  CStatusList list;
  list.SetLast(STATUS_INFO, "searching");
  EXPECT_EQ(Dump(list), "1=searching;");
  list.Append(STATUS_BUSY, "connecting");
  list.SetLast(STATUS_DONE, "done");
  EXPECT_EQ(Dump(list), "1=searching;6=done;");
  list.RemoveLast();
  list.RemoveLast();
  list.RemoveLast();  // nothing left: no effect
  EXPECT_TRUE(list.IsEmpty());
  EXPECT_FALSE(list.GetLast().has_value());
}

TEST(StatusListTest, AKeptLineCanBeRewrittenWhileOthersAreAdded) {
  CStatusList list;
  CStatusList::StatusLine* kept = list.Append(STATUS_BUSY, "Sending 1 of 3");
  for (int i = 0; i < 100; ++i) list.Append(STATUS_INFO, "more");
  kept->Set(STATUS_DONE, "Sent 3");
  EXPECT_EQ(kept->Get(), (CStatusList::Entry{STATUS_DONE, "Sent 3"}));
  EXPECT_EQ(list.GetAt(0).kind, STATUS_DONE);
  EXPECT_EQ(list.GetAt(0).text, "Sent 3");
}

TEST(StatusListTest, TextsFromTheStringTable) {
  CStatusList list;
  list.Append(STATUS_WARNING, IDS_STATUS_SEARCHING_ON);
  EXPECT_EQ(list.GetLast()->text, "Searching for supported device on %s");
  list.SetLast(STATUS_ERROR, 0x7FFFFFFFu);
  EXPECT_EQ(list.GetCount(), 1u);
  EXPECT_EQ(list.GetLast()->text, "") << "an unknown id gives an empty text";
  EXPECT_EQ(list.GetLast()->kind, STATUS_ERROR);
}

TEST(StatusListTest, TakeAllReplacesAndEmptiesTheOther) {
  CStatusList mine;
  CStatusList other;
  mine.Append(STATUS_INFO, "old");
  other.Append(STATUS_BUSY, "a");
  other.Append(STATUS_DONE, "b");
  mine.TakeAll(other);
  EXPECT_EQ(Dump(mine), "5=a;6=b;");
  EXPECT_TRUE(other.IsEmpty());
  mine.TakeAll(mine);
  EXPECT_EQ(Dump(mine), "5=a;6=b;") << "taking from itself keeps the lines";
  mine.Clear();
  EXPECT_TRUE(mine.IsEmpty());
}

TEST(StatusListTest, TheDialogMayReadWhileTheWorkerWrites) {
  // A posted update does not stop the worker: it appends and rewrites
  // while the dialog still draws the lines it was told about.
  CStatusList list;
  CStatusList taken;
  std::atomic<bool> done{false};
  std::thread worker([&] {
    CStatusList::StatusLine* kept = list.Append(STATUS_BUSY, "Sending");
    for (int i = 0; i < 2000; ++i) {
      list.Append(STATUS_INFO, "line " + std::to_string(i));
      kept->Set(STATUS_BUSY, "Sending " + std::to_string(i));
      if (i % 100 == 0) list.SetLast(STATUS_DONE, "step");
      if (i % 500 == 0) list.RemoveLast();
    }
    done = true;
  });
  size_t maxSeen = 0;
  while (!done.load()) {
    for (const CStatusList::Entry& entry : list.GetAll()) EXPECT_FALSE(entry.text.empty());
    maxSeen = std::max(maxSeen, list.GetCount());
    list.GetLast();
  }
  worker.join();
  EXPECT_EQ(list.GetCount(), 1997u);
  EXPECT_EQ(list.GetAt(0), (CStatusList::Entry{STATUS_BUSY, "Sending 1999"}));
  taken.TakeAll(list);
  EXPECT_EQ(taken.GetCount(), 1997u);
  EXPECT_EQ(list.GetAt(0), CStatusList::Entry{}) << "out of range gives an empty entry";
}

TEST(StatusListTest, ImagePerKind) {
  const int expected[][2] = {{STATUS_INFO, 159},
                             {STATUS_WARNING, 155},
                             {STATUS_ERROR, 157},
                             {STATUS_UNSUPPORTED, 156},
                             {STATUS_BUSY, 159},
                             {STATUS_DONE, 158},
                             {0, 159},
                             {7, 159},
                             {-1, 159}};
  for (const auto& row : expected) {
    SCOPED_TRACE(row[0]);
    EXPECT_EQ(CStatusList::GetImageId(row[0]), row[1]);
  }
}

}  // namespace
