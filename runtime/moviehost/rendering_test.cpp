// Windowless rendering of host windows against the player control loaded from memory.
#include <gtest/gtest.h>

#include <vector>

#include "moviehost/control_loader.h"
#include "moviehost/host_messages.h"
#include "moviehost/movie_host.h"
#include "moviehost/test_support.h"
#include "player/player_test_interface.h"
#include "support/win.h"

namespace nxr {
namespace {

struct FrameLog {
  std::vector<uint32_t*> frames;  // MHN_FRAME_BITS pointers in order
};

void WINAPI frameListener(HWND, void* user, NMHDR* header) {
  if (header->code == MHN_FRAME_BITS) {
    struct Block {
      NMHDR header;
      uint32_t* pixels;
    };
    static_cast<FrameLog*>(user)->frames.push_back(reinterpret_cast<Block*>(header)->pixels);
  }
}

class Rendering : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto image = test::readFile(test::programFolder() + "nxrplayer.dll");
    ASSERT_FALSE(image.empty());
    loader_ = createLoader(image.data(), image.size());
    ASSERT_NE(loader_, nullptr);
    // A transparent host: layered, owned pop-up, windowless control.
    host_ = createHostWindow(WS_EX_LAYERED, loader_, L"layered", WS_POPUP | 0x1, 50, 50, 320, 240,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(host_, nullptr);
    ShowWindow(host_, SW_SHOWNA);
    EventListenerBlock block{frameListener, &log_};
    SendMessageW(host_, RegisterWindowMessageA(kSetEventListenerMessage), 0,
                 reinterpret_cast<LPARAM>(&block));
  }
  void TearDown() override {
    if (host_) DestroyWindow(host_);
    destroyLoader(loader_);
  }

  // The current frame as 0xAARRGGBB pixels, top row first.
  std::vector<uint32_t> frame(int* width, int* height) {
    HBITMAP bitmap = nullptr;
    EXPECT_EQ(SendMessageW(host_, MHM_GET_FRAME_BITMAP, 0, reinterpret_cast<LPARAM>(&bitmap)), 1);
    DIBSECTION section{};
    if (!bitmap || GetObjectW(bitmap, sizeof section, &section) != sizeof section) return {};
    *width = section.dsBm.bmWidth;
    *height = section.dsBm.bmHeight;
    const auto* bits = static_cast<const uint32_t*>(section.dsBm.bmBits);
    std::vector<uint32_t> pixels(static_cast<size_t>(*width) * *height);
    for (int y = 0; y < *height; ++y) {
      std::copy_n(bits + static_cast<size_t>(*height - 1 - y) * *width, *width,
                  pixels.begin() + static_cast<size_t>(y) * *width);
    }
    DeleteObject(bitmap);
    return pixels;
  }

  ScopedComInitializer com_;
  ControlLoader* loader_ = nullptr;
  HWND host_ = nullptr;
  FrameLog log_;
};

TEST_F(Rendering, AlphaComesFromTheWhiteAndBlackPasses) {
  int width = 0, height = 0;
  const auto pixels = frame(&width, &height);
  ASSERT_EQ(width, 320);
  ASSERT_EQ(height, 240);
  const RECT marker = player::markerRect(RECT{0, 0, 320, 240});
  auto alphaAt = [&](int x, int y) { return pixels[static_cast<size_t>(y) * width + x] >> 24; };
  const int middle = (marker.top + marker.bottom) / 2 - 10;
  EXPECT_EQ(alphaAt(5, 5), 0u) << "the stage outside the marker is left untouched";
  EXPECT_EQ(alphaAt(marker.left + 5, middle), 255u) << "the marker's left half is opaque";
  const uint32_t partial = alphaAt(marker.right - 5, middle);
  EXPECT_GT(partial, 100u);
  EXPECT_LT(partial, 160u) << "the right half is drawn with alpha " << int(player::kMarkerAlpha);
  // Premultiplied: no colour channel exceeds the alpha.
  const uint32_t pixel = pixels[static_cast<size_t>(middle) * width + marker.right - 5];
  for (int shift : {0, 8, 16}) EXPECT_LE((pixel >> shift) & 0xFF, partial);
}

// What each paint handed to the layered window.
struct LayeredUpdate {
  BYTE constantAlpha;
  BYTE alphaFormat;
  DWORD flags;
  SIZE size;
};
std::vector<LayeredUpdate> layeredUpdates;

BOOL WINAPI recordLayeredUpdate(HWND window, HDC screen, POINT* position, SIZE* size, HDC source,
                                POINT* origin, COLORREF key, BLENDFUNCTION* blend, DWORD flags) {
  layeredUpdates.push_back({blend->SourceConstantAlpha, blend->AlphaFormat, flags, *size});
  return UpdateLayeredWindow(window, screen, position, size, source, origin, key, blend, flags);
}

TEST_F(Rendering, OpacityReachesTheLayeredWindow) {
  MovieHost* host = nullptr;
  SendMessageW(host_, RegisterWindowMessageA(kGetObjectPointerMessage), 0,
               reinterpret_cast<LPARAM>(&host));
  ASSERT_NE(host, nullptr);
  host->replaceUpdateLayeredWindow(recordLayeredUpdate);
  for (int opacity : {128, 0, 255}) {
    SCOPED_TRACE(opacity);
    BYTE value = static_cast<BYTE>(opacity);
    EXPECT_EQ(SendMessageW(host_, MHM_SET_OPACITY, 0, reinterpret_cast<LPARAM>(&value)), 1);
    int32_t read = -1;
    EXPECT_EQ(SendMessageW(host_, MHM_GET_OPACITY, 0, reinterpret_cast<LPARAM>(&read)), 1);
    EXPECT_EQ(read, opacity);
    // Setting the opacity invalidated the host: its next paint hands the frame over with it,
    // on top of the per-pixel alpha.
    layeredUpdates.clear();
    UpdateWindow(host_);
    ASSERT_EQ(layeredUpdates.size(), 1u);
    EXPECT_EQ(layeredUpdates[0].constantAlpha, opacity);
    EXPECT_EQ(layeredUpdates[0].alphaFormat, AC_SRC_ALPHA);
    EXPECT_EQ(layeredUpdates[0].flags, DWORD{ULW_ALPHA});
    EXPECT_EQ(layeredUpdates[0].size.cx, 320);
    EXPECT_EQ(layeredUpdates[0].size.cy, 240);
  }
}

TEST_F(Rendering, SizeChangeRecreatesTheFrames) {
  auto paint = [&] {
    InvalidateRect(host_, nullptr, FALSE);
    UpdateWindow(host_);
    return log_.frames.empty() ? nullptr : log_.frames.back();
  };
  uint32_t* first = paint();
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(paint(), first) << "same size: the frames are kept";
  SetWindowPos(host_, nullptr, 0, 0, 200, 150, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  uint32_t* resized = paint();
  int width = 0, height = 0;
  frame(&width, &height);
  EXPECT_EQ(width, 200);
  EXPECT_EQ(height, 150);
  EXPECT_NE(resized, nullptr);
}

TEST_F(Rendering, OnlyOneWindowlessDcAtATime) {
  MovieHost* host = nullptr;
  EXPECT_EQ(SendMessageW(host_, RegisterWindowMessageA(kGetObjectPointerMessage), 0,
                         reinterpret_cast<LPARAM>(&host)),
            1);
  ASSERT_NE(host, nullptr);
  HDC first = nullptr, second = nullptr;
  ASSERT_EQ(host->GetDC(nullptr, OLEDC_OFFSCREEN, &first), S_OK);
  EXPECT_EQ(host->GetDC(nullptr, 0, &second), E_FAIL);
  EXPECT_EQ(host->ReleaseDC(first), S_OK);
  ASSERT_EQ(host->GetDC(nullptr, 0, &second), S_OK);
  EXPECT_EQ(host->ReleaseDC(second), S_OK);
  EXPECT_EQ(host->GetDC(nullptr, 0, nullptr), E_POINTER);
  // The control draws through the site the same way.
  struct {
    IID iid;
    void* object;
    HRESULT hr;
  } query{player::kIidPlayerTest, nullptr, E_FAIL};
  SendMessageW(host_, MHM_QUERY_INTERFACE, 0, reinterpret_cast<LPARAM>(&query));
  ASSERT_EQ(query.hr, S_OK);
  auto test = ComPtr<player::IPlayerTest>::attach(static_cast<player::IPlayerTest*>(query.object));
  EXPECT_EQ(test->PaintThroughSite(OLEDC_OFFSCREEN), S_OK);
  EXPECT_EQ(test->PaintThroughSite(0), S_OK);
}

TEST(LayeredRendering, SupportedOnATrueColourDisplay) {
  EXPECT_TRUE(isLayeredRenderingSupported());
}

}  // namespace
}  // namespace nxr
