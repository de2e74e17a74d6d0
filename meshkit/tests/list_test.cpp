#include <meshkit/list.h>

#include <gtest/gtest.h>

namespace {

struct Triple {
  double x, y, z;
};

TEST(ListTest, GrowsInlineThenTwelveThenDoubling) {
  Meshkit::List<int> list;
  EXPECT_EQ(list.Count(), 0);
  EXPECT_TRUE(list.IsInline());
  for (int i = 0; i < 6; ++i) list.Append(i);
  EXPECT_TRUE(list.IsInline());
  EXPECT_EQ(list.Capacity(), 6);
  list.Append(6);
  EXPECT_FALSE(list.IsInline());
  EXPECT_EQ(list.Capacity(), 12);
  for (int i = 7; i < 13; ++i) list.Append(i);
  EXPECT_EQ(list.Capacity(), 24);
  for (int i = 13; i < 49; ++i) list.Append(i);
  EXPECT_EQ(list.Capacity(), 96);
  ASSERT_EQ(list.Count(), 49);
  for (int i = 0; i < 49; ++i) EXPECT_EQ(list[i], i);
}

TEST(ListTest, NegativeIndicesCountFromTheEnd) {
  Meshkit::List<int> list;
  for (int i = 0; i < 9; ++i) list.Append(10 * i);
  EXPECT_EQ(list[-1], 80);
  EXPECT_EQ(list[-9], 0);
  list[-2] = 5;
  EXPECT_EQ(list[7], 5);
}

TEST(ListTest, ClearKeepsStorageAndRestartsCount) {
  Meshkit::List<double> list;
  for (int i = 0; i < 20; ++i) list.Append(i * 0.5);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
  EXPECT_EQ(list.Capacity(), 24);
  list.Append(2.5);
  EXPECT_EQ(list.Count(), 1);
  EXPECT_EQ(list[0], 2.5);
}

TEST(ListTest, RecordElementsSurviveGrowthAndSpareRoomIsZero) {
  Meshkit::List<Triple> list;
  for (int i = 0; i < 7; ++i) list.Append(Triple{1.0 * i, 2.0 * i, 3.0 * i});
  for (int i = 0; i < 7; ++i) {
    EXPECT_EQ(list[i].x, 1.0 * i);
    EXPECT_EQ(list[i].z, 3.0 * i);
  }
  // The unused part of the heap array starts zero-filled.
  const Triple* spare = list.Data() + 7;
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(spare[i].x, 0.0);
    EXPECT_EQ(spare[i].y, 0.0);
    EXPECT_EQ(spare[i].z, 0.0);
  }
}

}  // namespace
