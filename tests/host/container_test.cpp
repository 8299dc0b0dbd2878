// Typed values and parameter containers.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "c4d.h"
#include "host_control.h"

namespace {

class ContainerTest : public ::testing::Test {
 protected:
  void SetUp() override { host::ResetAll(); }
  void TearDown() override { host::ResetAll(); }
};

std::vector<LONG> Ids(const BaseContainer& bc) {
  std::vector<LONG> ids;
  for (LONG i = 0; i < bc.GetCount(); ++i) ids.push_back(bc.GetIndexId(i));
  return ids;
}

TEST_F(ContainerTest, DefaultAppliesOnlyWhenTheIdIsAbsent) {
  BaseContainer bc;
  bc.SetLong(1, 0);
  bc.SetString(2, String("text"));
  bc.SetReal(3, 0.0);
  bc.SetBool(4, false);

  EXPECT_EQ(bc.GetLong(1, 5), 0);  // stored zero wins over the default
  EXPECT_EQ(bc.GetLong(2, 7), 0);  // present with another type: zero, not the default
  EXPECT_EQ(bc.GetReal(3, 9.5), 0.0);
  EXPECT_FALSE(bc.GetBool(4, true));
  EXPECT_EQ(bc.GetVector(2, LVector(1, 2, 3)), LVector());
  EXPECT_EQ(bc.GetString(1, String("def")), String());
  EXPECT_EQ(bc.GetTime(1, BaseTime(4.0)).Get(), 0.0);

  EXPECT_EQ(bc.GetLong(99, 5), 5);
  EXPECT_EQ(bc.GetReal(99, 9.5), 9.5);
  EXPECT_TRUE(bc.GetBool(99, true));
  EXPECT_EQ(bc.GetString(99, String("def")), String("def"));
  EXPECT_EQ(bc.GetFilename(99, Filename("f.txt")), Filename("f.txt"));
  EXPECT_EQ(bc.GetData(99).GetType(), DA_NIL);
}

TEST_F(ContainerTest, IntegerAndRealReadsConvert) {
  const Real nan = std::numeric_limits<Real>::quiet_NaN();
  const Real inf = std::numeric_limits<Real>::infinity();
  const struct {
    Real stored;
    LONG asLong;
  } reals[] = {
      {2.9, 2},         {-2.9, -2},        {0.5, 0}, {3e10, INT32_MAX},         {-3e10, INT32_MIN},
      {inf, INT32_MAX}, {-inf, INT32_MIN}, {nan, 0}, {2147483647.5, INT32_MAX}, {-2147483648.5, INT32_MIN},
  };
  for (const auto& r : reals) {
    BaseContainer bc;
    bc.SetReal(1, r.stored);
    EXPECT_EQ(bc.GetLong(1), r.asLong) << r.stored;
    EXPECT_EQ(bc.GetData(1).GetType(), DA_REAL);
  }

  BaseContainer bc;
  bc.SetLong(1, -7);
  bc.SetLong(2, 2);
  bc.SetLong(3, 0);
  EXPECT_EQ(bc.GetReal(1), -7.0);
  EXPECT_TRUE(bc.GetBool(1));
  EXPECT_TRUE(bc.GetBool(2));
  EXPECT_FALSE(bc.GetBool(3, true));
  bc.SetBool(4, true);
  EXPECT_EQ(bc.GetData(4).GetType(), DA_LONG);
  EXPECT_EQ(bc.GetLong(4), 1);
}

TEST_F(ContainerTest, MismatchedTypesGiveZeroValues) {
  BaseContainer inner;
  inner.SetLong(1, 1);
  BaseContainer bc;
  bc.SetString(1, String("s"));
  bc.SetVector(2, LVector(1, 2, 3));
  bc.SetContainer(3, inner);
  bc.SetFilename(4, Filename("a/b.c"));

  EXPECT_EQ(bc.GetLong(1), 0);
  EXPECT_EQ(bc.GetReal(2), 0.0);
  EXPECT_EQ(bc.GetString(2), String());
  EXPECT_EQ(bc.GetMatrix(2), LMatrix());
  EXPECT_EQ(bc.GetVector(3), LVector());
  EXPECT_EQ(bc.GetContainerInstance(1), nullptr);
  EXPECT_EQ(bc.GetContainer(2).GetCount(), 0);
  EXPECT_EQ(bc.GetLink(3, nullptr), nullptr);
  // Strings and file names read as each other.
  EXPECT_EQ(bc.GetFilename(1), Filename("s"));
  EXPECT_EQ(bc.GetString(4), String("a/b.c"));
  EXPECT_EQ(bc.GetData(4).GetType(), DA_FILENAME);
}

TEST_F(ContainerTest, NestedContainersAreDeepCopies) {
  BaseContainer inner(77);
  inner.SetLong(1, 10);
  BaseContainer outer;
  outer.SetContainer(5, inner);
  inner.SetLong(1, 11);  // the stored copy does not follow
  EXPECT_EQ(outer.GetContainer(5).GetLong(1), 10);
  EXPECT_EQ(outer.GetContainer(5).GetId(), 77);

  BaseContainer copy = outer;
  copy.GetContainerInstance(5)->SetLong(1, 12);
  EXPECT_EQ(outer.GetContainerInstance(5)->GetLong(1), 10);
  EXPECT_EQ(copy.GetContainer(5).GetLong(1), 12);
  EXPECT_NE(copy, outer);

  GeData value(outer);
  GeData valueCopy = value;
  valueCopy.GetContainer()->GetContainerInstance(5)->SetLong(1, 13);
  EXPECT_EQ(value.GetContainer()->GetContainer(5).GetLong(1), 10);

  // The instance is the stored container itself.
  outer.GetContainerInstance(5)->SetString(2, String("x"));
  EXPECT_EQ(outer.GetContainer(5).GetString(2), String("x"));
}

TEST_F(ContainerTest, EntriesKeepTheirOrder) {
  BaseContainer bc;
  bc.SetLong(30, 1);
  bc.SetLong(10, 2);
  bc.SetLong(20, 3);
  bc.SetReal(10, 4.0);  // replacing keeps the place
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{30, 10, 20}));
  EXPECT_EQ(bc.GetReal(10), 4.0);
  EXPECT_EQ(bc.GetIndexId(3), NOTOK);
  EXPECT_EQ(bc.GetIndexId(-1), NOTOK);
  EXPECT_EQ(bc.GetIndexData(3), nullptr);
  EXPECT_EQ(bc.FindIndex(20), 2);
  EXPECT_EQ(bc.FindIndex(40), NOTOK);

  EXPECT_TRUE(bc.RemoveData(10));
  EXPECT_FALSE(bc.RemoveData(10));
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{30, 20}));
  EXPECT_FALSE(bc.RemoveIndex(2));
  EXPECT_TRUE(bc.RemoveIndex(0));
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{20}));
}

TEST_F(ContainerTest, InsDataKeepsDuplicateIds) {
  BaseContainer bc;
  bc.InsData(1, GeData(LONG(10)));
  bc.InsData(1, GeData(LONG(20)));
  bc.InsData(2, GeData(LONG(30)));
  EXPECT_EQ(bc.GetCount(), 3);
  EXPECT_EQ(bc.GetLong(1), 10);  // readers see the first
  bc.SetLong(1, 11);             // the setter replaces the first only
  EXPECT_EQ(bc.GetIndexData(0)->GetLong(), 11);
  EXPECT_EQ(bc.GetIndexData(1)->GetLong(), 20);
  EXPECT_TRUE(bc.RemoveData(1));
  EXPECT_EQ(bc.GetLong(1), 20);
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{1, 2}));
}

TEST_F(ContainerTest, InsDataAfter) {
  BaseContainer bc;
  bc.SetLong(1, 1);
  bc.SetLong(2, 2);
  bc.SetLong(3, 3);

  GeData* inserted = bc.InsDataAfter(9, GeData(LONG(9)), bc.GetDataPointer(2));
  ASSERT_NE(inserted, nullptr);
  EXPECT_EQ(inserted->GetLong(), 9);
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{1, 2, 9, 3}));

  bc.InsDataAfter(8, GeData(LONG(8)), bc.GetDataPointer(3));  // after the last
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{1, 2, 9, 3, 8}));

  bc.InsDataAfter(7, GeData(LONG(7)), nullptr);
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{7, 1, 2, 9, 3, 8}));

  BaseContainer other;
  other.SetLong(2, 2);
  GeData loose(LONG(2));
  bc.InsDataAfter(6, GeData(LONG(6)), other.GetDataPointer(2));  // foreign: goes first
  bc.InsDataAfter(5, GeData(LONG(5)), &loose);
  EXPECT_EQ(Ids(bc), (std::vector<LONG>{5, 6, 7, 1, 2, 9, 3, 8}));
  EXPECT_EQ(bc.GetLong(5), 5);
}

TEST_F(ContainerTest, Equality) {
  BaseContainer a(3), b(3);
  for (BaseContainer* bc : {&a, &b}) {
    bc->SetLong(1, 1);
    bc->SetString(2, String("two"));
    bc->SetMatrix(3, LMatrix(LVector(1, 2, 3), LVector(0, 1, 0), LVector(-1, 0, 0), LVector(0, 0, 1)));
  }
  EXPECT_EQ(a, b);

  BaseContainer otherId = b;
  otherId.SetId(4);
  EXPECT_NE(a, otherId);

  BaseContainer reordered(3);
  reordered.SetString(2, String("two"));
  reordered.SetLong(1, 1);
  reordered.SetMatrix(3, a.GetMatrix(3));
  EXPECT_NE(a, reordered);

  BaseContainer otherType = b;
  otherType.SetReal(1, 1.0);  // same number, another type
  EXPECT_NE(a, otherType);

  BaseContainer nestedA = a, nestedB = b;
  nestedA.SetContainer(9, a);
  nestedB.SetContainer(9, b);
  EXPECT_EQ(nestedA, nestedB);
  nestedB.GetContainerInstance(9)->SetLong(1, 2);
  EXPECT_NE(nestedA, nestedB);

  BaseContainer merged(3);
  merged.SetLong(1, 0);
  merged.MergeContainer(a);
  EXPECT_EQ(merged, a);
}

}  // namespace

namespace {

// A large container (beyond the size from which it keeps an index) against a plain list.
TEST_F(ContainerTest, LargeContainersFindTheFirstEntryAfterEveryChange) {
  BaseContainer bc;
  std::vector<LONG> ids;
  for (LONG i = 0; i < 1000; ++i) {
    bc.SetLong(5000 - i, i);
    ids.push_back(5000 - i);
  }
  EXPECT_EQ(bc.GetCount(), 1000);
  EXPECT_EQ(bc.FindIndex(5000), 0);
  EXPECT_EQ(bc.FindIndex(4001), 999);
  EXPECT_EQ(bc.GetLong(4500), 500);
  bc.SetReal(4500, 2.5);  // replacing keeps the place
  EXPECT_EQ(bc.FindIndex(4500), 500);
  EXPECT_EQ(bc.GetReal(4500), 2.5);

  bc.InsData(4999, GeData(LONG(-1)));  // a second entry of one ID: readers see the first
  EXPECT_EQ(bc.GetLong(4999), 1);
  EXPECT_TRUE(bc.RemoveData(4999));
  EXPECT_EQ(bc.GetLong(4999), -1);
  EXPECT_EQ(bc.FindIndex(4999), 999);  // the second entry, now the only one, last

  bc.InsDataAfter(7, GeData(LONG(7)), nullptr);  // everything moves one place on
  EXPECT_EQ(bc.FindIndex(7), 0);
  EXPECT_EQ(bc.FindIndex(5000), 1);
  EXPECT_TRUE(bc.RemoveIndex(0));
  EXPECT_EQ(bc.FindIndex(7), NOTOK);
  EXPECT_EQ(bc.FindIndex(5000), 0);

  BaseContainer copy = bc;  // copies keep their own index
  copy.FlushAll();
  EXPECT_EQ(copy.FindIndex(5000), NOTOK);
  copy.SetLong(1, 1);
  EXPECT_EQ(copy.GetLong(1), 1);
  EXPECT_EQ(bc.GetLong(4002), 998);
  bc.MergeContainer(copy);
  EXPECT_EQ(bc.GetIndexId(bc.GetCount() - 1), 1);
}

}  // namespace
