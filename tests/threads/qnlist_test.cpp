// The pointer list: growth steps, moves, and the exact bounds messages.
#include "threads/qnlist.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vornix {
namespace {

void* Item(intptr_t n) { return reinterpret_cast<void*>(n); }

std::string ErrorOf(void (*action)(TQnList&), TQnList& list) {
  try {
    action(list);
  } catch (const EListError& e) {
    return e.Message();
  }
  return "no error";
}

TEST(QnList, GrowsInTheDocumentedSteps) {
  TQnList list;
  std::vector<int32_t> capacities;
  for (int i = 0; i < 118; ++i) {
    int32_t before = list.Capacity;
    EXPECT_EQ(list.Add(Item(i + 1)), i);
    if (list.Capacity != before) capacities.push_back(list.Capacity);
  }
  EXPECT_EQ(capacities, (std::vector<int32_t>{4, 8, 12, 28, 44, 60, 76, 95, 118}));
  for (int i = 0; i < 118; ++i) EXPECT_EQ(list.Items[i], Item(i + 1));
}

TEST(QnList, DeleteMovesTheItemsBehindForward) {
  TQnList list;
  for (int i = 1; i <= 5; ++i) list.Add(Item(i));
  list.Delete(1);
  ASSERT_EQ(list.Count, 4);
  EXPECT_EQ(list.Items[0], Item(1));
  EXPECT_EQ(list.Items[1], Item(3));
  EXPECT_EQ(list.Items[3], Item(5));
  list.Delete(3);  // the last item: nothing moves
  EXPECT_EQ(list.Count, 3);
  EXPECT_EQ(list.Items[2], Item(4));
  EXPECT_EQ(list.Capacity, 8);
}

TEST(QnList, RemoveTakesOnlyTheFirstOccurrence) {
  TQnList list;
  list.Add(Item(7));
  list.Add(Item(8));
  list.Add(Item(7));
  EXPECT_EQ(list.Remove(Item(7)), 0);
  ASSERT_EQ(list.Count, 2);
  EXPECT_EQ(list.Items[0], Item(8));
  EXPECT_EQ(list.Items[1], Item(7));
  EXPECT_EQ(list.Remove(Item(9)), -1);
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.IndexOf(Item(7)), 1);
  EXPECT_EQ(list.IndexOf(nullptr), -1);
}

TEST(QnList, SetCountFillsWithNullAndKeepsCapacityWhenLowered) {
  TQnList list;
  list.Add(Item(1));
  list.SetCount(6);
  EXPECT_EQ(list.Count, 6);
  EXPECT_EQ(list.Capacity, 6);
  EXPECT_EQ(list.Items[0], Item(1));
  for (int i = 1; i < 6; ++i) EXPECT_EQ(list.Items[i], nullptr);
  list.SetCount(2);
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.Capacity, 6);
  list.Clear();
  EXPECT_EQ(list.Count, 0);
  EXPECT_EQ(list.Capacity, 0);
  EXPECT_EQ(list.Items, nullptr);
}

TEST(QnList, BoundsErrorsCarryTheNumberAndChangeNothing) {
  TQnList list;
  list.Add(Item(1));
  list.Add(Item(2));
  EXPECT_EQ(ErrorOf([](TQnList& l) { l.Delete(2); }, list), "List index out of bounds (2)");
  EXPECT_EQ(ErrorOf([](TQnList& l) { l.Delete(-1); }, list), "List index out of bounds (-1)");
  EXPECT_EQ(ErrorOf([](TQnList& l) { l.SetCapacity(1); }, list), "List capacity out of bounds (1)");
  EXPECT_EQ(ErrorOf([](TQnList& l) { l.SetCapacity(134217728); }, list), "List capacity out of bounds (134217728)");
  EXPECT_EQ(ErrorOf([](TQnList& l) { l.SetCount(-5); }, list), "List count out of bounds (-5)");
  EXPECT_EQ(ErrorOf([](TQnList& l) { l.SetCount(134217728); }, list), "List count out of bounds (134217728)");
  EXPECT_EQ(list.Count, 2);
  EXPECT_EQ(list.Capacity, 4);
  EXPECT_EQ(list.Items[1], Item(2));
  EXPECT_EQ(ErrorOf([](TQnList& l) { l.Delete(0); }, list), "no error");
}

}  // namespace
}  // namespace vornix
