// The program's own allocation functions (app/allocation.cpp), linked into this test as into
// setup.exe: the nothrow forms give null without memory, every form pairs with its delete.
#include <cstdint>
#include <new>

#include <gtest/gtest.h>

namespace {

TEST(ProgramAllocation, NothrowFormsGiveNullWithoutMemory) {
  volatile size_t huge = SIZE_MAX - 64;  // volatile: no compile-time size warning
  EXPECT_EQ(operator new(huge, std::nothrow), nullptr);
  EXPECT_EQ(operator new[](huge, std::nothrow), nullptr);
}

TEST(ProgramAllocation, EveryFormAllocatesAndFrees) {
  int* one = new (std::nothrow) int(7);
  ASSERT_NE(one, nullptr);
  EXPECT_EQ(*one, 7);
  delete one;
  char* none = new (std::nothrow) char[0];  // a unique pointer even for nothing
  EXPECT_NE(none, nullptr);
  delete[] none;
  int* many = new int[1000]();
  EXPECT_EQ(many[999], 0);
  delete[] many;
  operator delete(operator new(16, std::nothrow), std::nothrow);
}

}  // namespace
