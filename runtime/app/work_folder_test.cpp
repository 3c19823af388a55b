#include "app/work_folder.h"

#include <gtest/gtest.h>

namespace nxr {
namespace {

TEST(WorkFolderName, CombinesTimeProcessAndThread) {
  // High half from time ^ process, low half from thread ^ process; no leading zeros.
  EXPECT_EQ(workFolderName(0x12345678, 0x0000ABCD, 0x00001111), u"wrd1234badc.~lk");
  EXPECT_EQ(workFolderName(0, 0, 0), u"wrd0.~lk");
  EXPECT_EQ(workFolderName(0x0000FFFF, 0x00010000, 0x00010005), u"wrd10005.~lk");
  // Two processes starting in the same millisecond on threads with the same id differ.
  EXPECT_NE(workFolderName(1000, 0x1A4, 0x1A8), workFolderName(1000, 0x1B0, 0x1A8));
}

}  // namespace
}  // namespace nxr
