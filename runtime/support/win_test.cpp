#include "support/win.h"

#include <gtest/gtest.h>

namespace nxr {
namespace {

TEST(WideView, PassesRuntimeTextsToWindows) {
  const std::u16string text = u"h\u00E9llo";
  EXPECT_EQ(lstrlenW(asWcstr(text)), 5);
  EXPECT_EQ(fromWide(L"abc"), u"abc");
}

TEST(ScopedHandle, ClosesOnce) {
  HANDLE raw = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(raw, nullptr);
  {
    ScopedHandle owner(raw);
    ScopedHandle moved(std::move(owner));
    EXPECT_FALSE(owner.valid());
    EXPECT_EQ(moved.get(), raw);
  }
  // The handle was closed by its single owner: a second close must fail.
  EXPECT_FALSE(CloseHandle(raw));
}

}  // namespace
}  // namespace nxr
