// The private messages of a host window: the host's own operations and the control's properties
// and methods, each with its parameter block.
#include <algorithm>
#include <cstring>
#include <string>
#include <type_traits>

#include "moviehost/control_loader.h"
#include "moviehost/movie_host.h"
#include "moviehost/movie_registry.h"

namespace nxr {
namespace {

// A BSTR made from a message's text (ANSI through the system code page); NULL counts as empty.
class InText {
 public:
  explicit InText(const wchar_t* text) : bstr_(SysAllocString(text ? text : L"")) {}
  explicit InText(const char* text) {
    const char* source = text ? text : "";
    const int length = MultiByteToWideChar(CP_ACP, 0, source, -1, nullptr, 0);
    bstr_ = SysAllocStringLen(nullptr, length > 0 ? length - 1 : 0);
    if (bstr_ && length > 1) MultiByteToWideChar(CP_ACP, 0, source, -1, bstr_, length);
  }
  ~InText() { SysFreeString(bstr_); }
  InText(const InText&) = delete;
  InText& operator=(const InText&) = delete;
  operator BSTR() const { return bstr_; }

 private:
  BSTR bstr_ = nullptr;
};

// A BSTR result, freed when done.
struct OutText {
  BSTR bstr = nullptr;
  ~OutText() { SysFreeString(bstr); }
};

// Stores a text result: its length plus one into `length`, the text with its terminator into
// `buffer` when there is one.
void storeText(BSTR result, wchar_t* buffer, int32_t* length) {
  const UINT size = result ? SysStringLen(result) : 0;
  *length = static_cast<int32_t>(size + 1);
  if (buffer) {
    if (size) std::memcpy(buffer, result, size * sizeof(wchar_t));
    buffer[size] = 0;
  }
}
void storeText(BSTR result, char* buffer, int32_t* length) {
  const UINT size = result ? SysStringLen(result) : 0;
  const int bytes = size ? WideCharToMultiByte(CP_ACP, 0, result, static_cast<int>(size), nullptr,
                                               0, nullptr, nullptr)
                         : 0;
  *length = bytes + 1;
  if (buffer) {
    if (bytes) {
      WideCharToMultiByte(CP_ACP, 0, result, static_cast<int>(size), buffer, bytes, nullptr,
                          nullptr);
    }
    buffer[bytes] = 0;
  }
}

VARIANT_BOOL toVariantBool(int32_t value) { return value ? VARIANT_TRUE : VARIANT_FALSE; }
int32_t fromVariantBool(VARIANT_BOOL value) { return value != VARIANT_FALSE ? TRUE : FALSE; }

}  // namespace

bool MovieHost::handleControlMessage(UINT message, LPARAM lParam) {
  if (!lParam) return true;
  IShockwaveFlash* f = flash();
  const int major = controlMajorVersion();
  // Controls before version 8 have other interface layouts, which the host does not call.
  const bool callable = f && major >= 8;

  // Runs `call` on a block of type Block when the control can take it; hr is E_FAIL otherwise.
  auto run = [&]<typename Block>(Block*, auto call) {
    auto* block = reinterpret_cast<Block*>(lParam);
    block->hr = E_FAIL;
    if (callable) block->hr = call(block);
  };
  // The same for an A/W pair: the A variant has the first number.
  auto pair = [&]<template <typename> class Block>(UINT first, auto call) {
    if (message == first) {
      run(static_cast<Block<char>*>(nullptr), call);
    } else {
      run(static_cast<Block<wchar_t>*>(nullptr), call);
    }
  };
  auto textOut = [&](UINT first, HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*get)(BSTR*)) {
    pair.operator()<TextOutBlock>(first, [&](auto* b) {
      OutText out;
      const HRESULT hr = (f->*get)(&out.bstr);
      if (SUCCEEDED(hr)) storeText(out.bstr, b->buffer, &b->length);
      return hr;
    });
  };
  auto textIn = [&](UINT first, HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*put)(BSTR)) {
    pair.operator()<TextInBlock>(first, [&](auto* b) { return (f->*put)(InText(b->text)); });
  };
  auto boolPut = [&](HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*put)(VARIANT_BOOL)) {
    run(static_cast<ValueBlock*>(nullptr),
        [&](ValueBlock* b) { return (f->*put)(toVariantBool(b->value)); });
  };
  auto boolGet = [&](HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*get)(VARIANT_BOOL*)) {
    run(static_cast<ValueBlock*>(nullptr), [&](ValueBlock* b) {
      VARIANT_BOOL value = VARIANT_FALSE;
      const HRESULT hr = (f->*get)(&value);
      if (SUCCEEDED(hr)) b->value = fromVariantBool(value);
      return hr;
    });
  };
  auto intPut = [&]<typename T>(HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*put)(T)) {
    run(static_cast<ValueBlock*>(nullptr),
        [&](ValueBlock* b) { return (f->*put)(static_cast<T>(b->value)); });
  };
  auto intGet = [&]<typename T>(HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*get)(T*)) {
    run(static_cast<ValueBlock*>(nullptr), [&](ValueBlock* b) {
      T value{};
      const HRESULT hr = (f->*get)(&value);
      if (SUCCEEDED(hr)) b->value = static_cast<int32_t>(value);
      return hr;
    });
  };
  auto noArguments = [&](HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*call)()) {
    run(static_cast<HrBlock*>(nullptr), [&](HrBlock*) { return (f->*call)(); });
  };
  auto targetOnly = [&](UINT first, HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*call)(BSTR)) {
    textIn(first, call);
  };
  auto twoTexts = [&](UINT first, HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*call)(BSTR, BSTR)) {
    pair.operator()<TwoTextBlock>(
        first, [&](auto* b) { return (f->*call)(InText(b->first), InText(b->second)); });
  };
  auto textTextOut = [&](UINT first,
                         HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*call)(BSTR, BSTR*)) {
    pair.operator()<TextTextOutBlock>(first, [&](auto* b) {
      OutText out;
      const HRESULT hr = (f->*call)(InText(b->text), &out.bstr);
      if (SUCCEEDED(hr)) storeText(out.bstr, b->buffer, &b->length);
      return hr;
    });
  };
  auto propertyNumber =
      [&](UINT first, HRESULT (STDMETHODCALLTYPE IShockwaveFlash::*call)(BSTR, int, double*)) {
        pair.operator()<PropertyNumberBlock>(first, [&](auto* b) {
          double value = 0;
          const HRESULT hr = (f->*call)(InText(b->target), b->property, &value);
          if (SUCCEEDED(hr)) b->number = value;
          return hr;
        });
      };

  using I = IShockwaveFlash;
  switch (message) {
    case 0x1500:
      run(static_cast<ZoomRectBlock*>(nullptr),
          [&](ZoomRectBlock* b) { return f->SetZoomRect(b->left, b->top, b->right, b->bottom); });
      break;
    case 0x1501:
      run(static_cast<ValueBlock*>(nullptr), [&](ValueBlock* b) { return f->Zoom(b->value); });
      break;
    case 0x1502:
      run(static_cast<PanBlock*>(nullptr),
          [&](PanBlock* b) { return f->Pan(b->x, b->y, b->mode); });
      break;
    case 0x1503:
      noArguments(&I::Play);
      break;
    case 0x1504:
      noArguments(&I::Stop);
      break;
    case 0x1505:
      noArguments(&I::Back);
      break;
    case 0x1506:
      noArguments(&I::Forward);
      break;
    case 0x1507:
      noArguments(&I::Rewind);
      break;
    case 0x1508:
      noArguments(&I::StopPlay);
      break;
    case 0x1509:
      run(static_cast<ValueBlock*>(nullptr), [&](ValueBlock* b) { return f->GotoFrame(b->value); });
      break;
    case 0x150A:
      intGet.operator()<long>(&I::CurrentFrame);
      break;
    case 0x150B:
      boolGet(&I::IsPlaying);
      break;
    case 0x150C:
      intGet.operator()<long>(&I::PercentLoaded);
      break;
    case 0x150D:
      run(static_cast<FrameLoadedBlock*>(nullptr), [&](FrameLoadedBlock* b) {
        VARIANT_BOOL loaded = VARIANT_FALSE;
        const HRESULT hr = f->FrameLoaded(b->frame, &loaded);
        if (SUCCEEDED(hr)) b->loaded = fromVariantBool(loaded);
        return hr;
      });
      break;
    case 0x150E:
      intGet.operator()<long>(&I::FlashVersion);
      break;
    case 0x150F:
    case 0x1510:
      pair.operator()<LoadMovieBlock>(
          0x150F, [&](auto* b) { return f->LoadMovie(b->layer, InText(b->url)); });
      break;
    case 0x1511:
    case 0x1512:
      pair.operator()<TextValueBlock>(
          0x1511, [&](auto* b) { return f->TGotoFrame(InText(b->text), b->value); });
      break;
    case 0x1513:
    case 0x1514:
      twoTexts(0x1513, &I::TGotoLabel);
      break;
    case 0x1515:
    case 0x1516:
      pair.operator()<TextValueBlock>(0x1515, [&](auto* b) {
        long frame = 0;
        const HRESULT hr = f->TCurrentFrame(InText(b->text), &frame);
        if (SUCCEEDED(hr)) b->value = frame;
        return hr;
      });
      break;
    case 0x1517:
    case 0x1518:
      textTextOut(0x1517, &I::TCurrentLabel);
      break;
    case 0x1519:
    case 0x151A:
      targetOnly(0x1519, &I::TPlay);
      break;
    case 0x151B:
    case 0x151C:
      targetOnly(0x151B, &I::TStopPlay);
      break;
    case 0x151D:
    case 0x151E:
      twoTexts(0x151D, &I::SetVariable);
      break;
    case 0x151F:
    case 0x1520:
      textTextOut(0x151F, &I::GetVariable);
      break;
    case 0x1521:
    case 0x1522:
      pair.operator()<PropertyTextBlock>(0x1521, [&](auto* b) {
        return f->TSetProperty(InText(b->target), b->property, InText(b->value));
      });
      break;
    case 0x1523:
    case 0x1524:
      pair.operator()<PropertyTextOutBlock>(0x1523, [&](auto* b) {
        OutText out;
        const HRESULT hr = f->TGetProperty(InText(b->target), b->property, &out.bstr);
        if (SUCCEEDED(hr)) storeText(out.bstr, b->buffer, &b->length);
        return hr;
      });
      break;
    case 0x1525:
    case 0x1526:
      pair.operator()<TextValueBlock>(
          0x1525, [&](auto* b) { return f->TCallFrame(InText(b->text), b->value); });
      break;
    case 0x1527:
    case 0x1528:
      twoTexts(0x1527, &I::TCallLabel);
      break;
    case 0x1529:
    case 0x152A:
      pair.operator()<PropertyNumberBlock>(0x1529, [&](auto* b) {
        return f->TSetPropertyNum(InText(b->target), b->property, b->number);
      });
      break;
    case 0x152B:
    case 0x152C:
      propertyNumber(0x152B, &I::TGetPropertyNum);
      break;
    case 0x152D:
    case 0x152E:
      propertyNumber(0x152D, &I::TGetPropertyAsNumber);
      break;
    case 0x152F:
      intGet.operator()<long>(&I::get_ReadyState);
      break;
    case 0x1530:
      intGet.operator()<long>(&I::get_TotalFrames);
      break;
    case 0x1531:
      boolPut(&I::put_Playing);
      break;
    case 0x1532:
      boolGet(&I::get_Playing);
      break;
    case 0x1533:
      intPut.operator()<int>(&I::put_Quality);
      break;
    case 0x1534:
      intGet.operator()<int>(&I::get_Quality);
      break;
    case 0x1535:
      intPut.operator()<int>(&I::put_ScaleMode);
      break;
    case 0x1536:
      intGet.operator()<int>(&I::get_ScaleMode);
      break;
    case 0x1537:
      intPut.operator()<int>(&I::put_AlignMode);
      break;
    case 0x1538:
      intGet.operator()<int>(&I::get_AlignMode);
      break;
    case 0x1539:
      intPut.operator()<long>(&I::put_BackgroundColor);
      break;
    case 0x153A:
      intGet.operator()<long>(&I::get_BackgroundColor);
      break;
    case 0x153B:
      boolPut(&I::put_Loop);
      break;
    case 0x153C:
      boolGet(&I::get_Loop);
      break;
    case 0x153D:
    case 0x153E:
      textIn(0x153D, &I::put_Movie);
      break;
    case 0x153F:
    case 0x1540:
      textOut(0x153F, &I::get_Movie);
      break;
    case 0x1541:
      intPut.operator()<long>(&I::put_FrameNum);
      break;
    case 0x1542:
      intGet.operator()<long>(&I::get_FrameNum);
      break;
    case 0x1543:
    case 0x1544:
      textIn(0x1543, &I::put_WMode);
      break;
    case 0x1545:
    case 0x1546:
      textOut(0x1545, &I::get_WMode);
      break;
    case 0x1547:
    case 0x1548:
      textIn(0x1547, &I::put_SAlign);
      break;
    case 0x1549:
    case 0x154A:
      textOut(0x1549, &I::get_SAlign);
      break;
    case 0x154B:
      boolPut(&I::put_Menu);
      break;
    case 0x154C:
      boolGet(&I::get_Menu);
      break;
    case 0x154D:
    case 0x154E:
      textIn(0x154D, &I::put_Base);
      break;
    case 0x154F:
    case 0x1550:
      textOut(0x154F, &I::get_Base);
      break;
    case 0x1551:
    case 0x1552:
      textIn(0x1551, &I::put_Scale);
      break;
    case 0x1553:
    case 0x1554:
      textOut(0x1553, &I::get_Scale);
      break;
    case 0x1555:
      boolPut(&I::put_DeviceFont);
      break;
    case 0x1556:
      boolGet(&I::get_DeviceFont);
      break;
    case 0x1557:
      boolPut(&I::put_EmbedMovie);
      break;
    case 0x1558:
      boolGet(&I::get_EmbedMovie);
      break;
    case 0x1559:
    case 0x155A:
      textIn(0x1559, &I::put_BGColor);
      break;
    case 0x155B:
    case 0x155C:
      textOut(0x155B, &I::get_BGColor);
      break;
    case 0x155D:
    case 0x155E:
      textIn(0x155D, &I::put_Quality2);
      break;
    case 0x155F:
    case 0x1560:
      textOut(0x155F, &I::get_Quality2);
      break;
    case 0x1561:
    case 0x1562:
      textIn(0x1561, &I::put_SWRemote);
      break;
    case 0x1563:
    case 0x1564:
      textOut(0x1563, &I::get_SWRemote);
      break;
    case 0x1565:
    case 0x1566:
      // The FlashVars property of the version-5 layout: never called on a newer control.
      pair.operator()<TextInBlock>(0x1565, [](auto*) { return E_FAIL; });
      break;
    case 0x1567:
    case 0x1568:
      pair.operator()<TextOutBlock>(0x1567, [](auto*) { return E_FAIL; });
      break;
    case 0x1569:
    case 0x156A:
      textIn(0x1569, &I::put_FlashVars);
      break;
    case 0x156B:
    case 0x156C:
      textOut(0x156B, &I::get_FlashVars);
      break;
    case 0x156D:
    case 0x156E:
      textIn(0x156D, &I::put_AllowScriptAccess);
      break;
    case 0x156F:
    case 0x1570:
      textOut(0x156F, &I::get_AllowScriptAccess);
      break;
    case 0x1571:
    case 0x1572:
      textIn(0x1571, &I::put_MovieData);
      break;
    case 0x1573:
    case 0x1574:
      textOut(0x1573, &I::get_MovieData);
      break;
    default:
      return false;  // a number the interface does not use
  }
  return true;
}

bool MovieHost::handleHostMessage(UINT message, LPARAM lParam, LRESULT* result) {
  if (message >= MHM_FIRST_CONTROL_MESSAGE) {
    if (!handleControlMessage(message, lParam)) return false;
    *result = 1;
    return true;
  }
  switch (message) {
    case MHM_QUERY_INTERFACE: {
      struct Block {
        IID iid;
        void* object;
        HRESULT hr;
      }* block = reinterpret_cast<Block*>(lParam);
      *result = 0;
      if (!block) return true;
      block->object = nullptr;
      block->hr = control_ ? control_->QueryInterface(block->iid, &block->object) : E_POINTER;
      return true;
    }
    case MHM_PUT_MOVIE_FROM_MEMORY: {
      const auto* block = reinterpret_cast<const PutMovieFromMemoryBlock*>(lParam);
      *result =
          control_ && block &&
          loader_->movieRegistry().putMovieFromMemory(window_, block->data, block->size, false, 0);
      return true;
    }
    case MHM_LOAD_MOVIE_FROM_MEMORY: {
      const auto* block = reinterpret_cast<const LoadMovieFromMemoryBlock*>(lParam);
      *result = control_ && block &&
                loader_->movieRegistry().putMovieFromMemory(window_, block->data, block->size, true,
                                                            block->layer);
      return true;
    }
    case MHM_GET_FRAME_BITMAP: {
      // Without a place for the handle nobody could delete the bitmap: none is made.
      auto* bitmap = reinterpret_cast<HBITMAP*>(lParam);
      HBITMAP made = bitmap ? frameBitmap() : nullptr;
      if (bitmap) *bitmap = made;
      *result = made != nullptr;
      return true;
    }
    case MHM_SET_CONTEXT_MENU:
      if (lParam) {
        contextMenuEnabled_ = controlContextMenuEnabled_ =
            *reinterpret_cast<const uint16_t*>(lParam) != 0;
      }
      *result = 1;
      return true;
    case MHM_GET_CONTEXT_MENU:
      if (lParam) *reinterpret_cast<uint16_t*>(lParam) = contextMenuEnabled_ ? 1 : 0;
      *result = 1;
      return true;
    case MHM_SET_OPACITY:
      if (lParam) opacity_ = *reinterpret_cast<const BYTE*>(lParam);
      RedrawWindow(window_, nullptr, nullptr, RDW_INVALIDATE);
      *result = 1;
      return true;
    case MHM_GET_OPACITY:
      if (lParam) *reinterpret_cast<int32_t*>(lParam) = opacity_;
      *result = 1;
      return true;
    case MHM_PUT_MOVIE_USING_STREAM:
      *result = putMovieUsingStream(reinterpret_cast<IStream**>(lParam), false, 0);
      return true;
    case MHM_LOAD_MOVIE_USING_STREAM: {
      const auto* block = reinterpret_cast<const LoadMovieUsingStreamBlock*>(lParam);
      *result = block ? putMovieUsingStream(block->stream, true, block->layer) : 0;
      return true;
    }
    case MHM_CALL_FUNCTION:
    case MHM_SET_RETURN_VALUE_A:
    case MHM_SET_RETURN_VALUE_W: {
      HRESULT* hr = message == MHM_CALL_FUNCTION
                        ? &reinterpret_cast<CallFunctionBlock*>(lParam)->hr
                        : (message == MHM_SET_RETURN_VALUE_A
                               ? &reinterpret_cast<TextInBlock<char>*>(lParam)->hr
                               : &reinterpret_cast<TextInBlock<wchar_t>*>(lParam)->hr);
      *result = 0;
      if (!lParam) return true;
      *hr = E_FAIL;
      if (!flash()) return true;
      if (controlMajorVersion() < 8) {
        *hr = E_NOTIMPL;
        return true;
      }
      if (message == MHM_CALL_FUNCTION) {
        auto* block = reinterpret_cast<CallFunctionBlock*>(lParam);
        block->response = nullptr;
        *hr = flash()->CallFunction(block->request, &block->response);
      } else if (message == MHM_SET_RETURN_VALUE_A) {
        *hr = flash()->SetReturnValue(InText(reinterpret_cast<TextInBlock<char>*>(lParam)->text));
      } else {
        *hr =
            flash()->SetReturnValue(InText(reinterpret_cast<TextInBlock<wchar_t>*>(lParam)->text));
      }
      *result = 1;
      return true;
    }
    default:
      return false;
  }
}

LRESULT MovieHost::putMovieUsingStream(IStream** stream, bool load, int layer) {
  if (!control_) {
    if (stream) *stream = nullptr;
    return 0;
  }
  return loader_->movieRegistry().putMovieUsingStream(window_, stream, load, layer) ? 1 : 0;
}

// --- entry points -----------------------------------------------------------------------------

HRESULT putWMode(HWND host, const wchar_t* mode) {
  TextInBlock<wchar_t> block{mode, E_FAIL};
  SendMessageW(host, MHM_PUT_WMODE_W, 0, reinterpret_cast<LPARAM>(&block));
  return block.hr;
}

HRESULT setReturnValue(HWND host, const wchar_t* value) {
  TextInBlock<wchar_t> block{value, E_FAIL};
  SendMessageW(host, MHM_SET_RETURN_VALUE_W, 0, reinterpret_cast<LPARAM>(&block));
  return block.hr;
}

HRESULT callFunction(HWND host, const wchar_t* request, wchar_t* buffer, int* length) {
  CallFunctionBlock block{SysAllocString(request ? request : L""), nullptr, E_FAIL};
  SendMessageW(host, MHM_CALL_FUNCTION, 0, reinterpret_cast<LPARAM>(&block));
  SysFreeString(block.request);
  if (FAILED(block.hr)) {
    SysFreeString(block.response);
    return block.hr;
  }
  const int size = block.response ? static_cast<int>(SysStringLen(block.response)) : 0;
  if (!buffer) {
    if (length) *length = size + 1;
  } else if (!length) {
    if (size) std::memcpy(buffer, block.response, size * sizeof(wchar_t));
    buffer[size] = 0;
  } else {
    const int count = std::min(size + 1, std::max(*length, 0));
    const int fromResponse = std::min(count, size);
    if (fromResponse) std::memcpy(buffer, block.response, fromResponse * sizeof(wchar_t));
    if (count == size + 1) buffer[size] = 0;  // whole response: its terminator too
    *length = count;
  }
  SysFreeString(block.response);
  return S_OK;
}

}  // namespace nxr
