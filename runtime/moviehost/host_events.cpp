// The control's events turned into notifications to the host's parent and its listener.
#include <string>

#include "moviehost/movie_host.h"

namespace nxr {
namespace {

std::string toAnsi(const wchar_t* text) {
  if (!text) return {};
  const int length = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string ansi(length, '\0');
  WideCharToMultiByte(CP_ACP, 0, text, -1, ansi.data(), length, nullptr, nullptr);
  return ansi.c_str();
}

template <typename Char>
struct TwoTexts {
  NMHDR header;
  const Char* first;
  const Char* second;
};
template <typename Char>
struct OneText {
  NMHDR header;
  const Char* text;
};
struct OneValue {
  NMHDR header;
  int32_t value;
};
template <typename Char>
struct ResourceNotification {
  NMHDR header;
  const Char* url;
  IStream* stream;
};
template <typename Char>
struct ResourceNotificationEx {
  NMHDR header;
  const Char* url;
  IStream* stream;
  BOOL handled;
};

// A copy of an argument BSTR (empty for NULL), freed with the copy.
std::wstring argumentText(const VARIANT& value) {
  if (value.vt == VT_BSTR && value.bstrVal)
    return std::wstring(value.bstrVal, SysStringLen(value.bstrVal));
  VARIANT converted;
  VariantInit(&converted);
  std::wstring text;
  if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_BSTR)) &&
      converted.bstrVal) {
    text.assign(converted.bstrVal, SysStringLen(converted.bstrVal));
  }
  VariantClear(&converted);
  return text;
}

int32_t argumentValue(const VARIANT& value) {
  VARIANT converted;
  VariantInit(&converted);
  int32_t number = 0;
  if (SUCCEEDED(VariantChangeType(&converted, const_cast<VARIANT*>(&value), 0, VT_I4))) {
    number = converted.lVal;
  }
  VariantClear(&converted);
  return number;
}

}  // namespace

void MovieHost::raiseNotification(NMHDR* block, UINT code) {
  block->hwndFrom = window_;
  block->idFrom = static_cast<UINT_PTR>(GetWindowLongA(window_, GWL_ID));
  block->code = code;
  if (HWND parent = GetParent(window_)) {
    SendMessageA(parent, WM_NOTIFY, block->idFrom, reinterpret_cast<LPARAM>(block));
  }
  SectionGuard guard(lock_);
  if (listener_) listener_(window_, listenerUser_, block);
}

STDMETHODIMP MovieHost::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  static const struct {
    const wchar_t* name;
    DISPID id;
  } known[] = {{L"OnReadyStateChange", player::kDispidOnReadyStateChange},
               {L"OnProgress", player::kDispidOnProgress},
               {L"FSCommand", player::kDispidFSCommand}};
  for (UINT i = 0; i < count; ++i) {
    bool found = false;
    for (const auto& entry : known) {
      if (names[i] && wcscmp(names[i], entry.name) == 0) {
        ids[i] = entry.id;
        found = true;
        break;
      }
    }
    if (!found) return DISP_E_UNKNOWNNAME;
  }
  return S_OK;
}

STDMETHODIMP MovieHost::Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* parameters, VARIANT*,
                               EXCEPINFO*, UINT*) {
  const UINT count = parameters ? parameters->cArgs : 0;
  auto argument = [&](UINT index) -> const VARIANT* {
    return index < count ? &parameters->rgvarg[index] : nullptr;
  };
  switch (id) {
    case player::kDispidFSCommand: {
      const std::wstring command = argument(1) ? argumentText(*argument(1)) : std::wstring();
      const std::wstring arguments = argument(0) ? argumentText(*argument(0)) : std::wstring();
      TwoTexts<wchar_t> wide{{}, command.c_str(), arguments.c_str()};
      raiseNotification(&wide.header, MHN_FSCOMMAND_W);
      const std::string ansiCommand = toAnsi(command.c_str()),
                        ansiArguments = toAnsi(arguments.c_str());
      TwoTexts<char> ansi{{}, ansiCommand.c_str(), ansiArguments.c_str()};
      raiseNotification(&ansi.header, MHN_FSCOMMAND_A);
      return S_OK;
    }
    case player::kDispidFlashCall: {
      const std::wstring request = argument(0) ? argumentText(*argument(0)) : std::wstring();
      OneText<wchar_t> wide{{}, request.c_str()};
      raiseNotification(&wide.header, MHN_FLASHCALL_W);
      const std::string ansiRequest = toAnsi(request.c_str());
      OneText<char> ansi{{}, ansiRequest.c_str()};
      raiseNotification(&ansi.header, MHN_FLASHCALL_A);
      return S_OK;
    }
    case player::kDispidOnProgress: {
      OneValue block{{}, argument(0) ? argumentValue(*argument(0)) : 0};
      raiseNotification(&block.header, MHN_PROGRESS);
      return S_OK;
    }
    case player::kDispidOnReadyStateChange: {
      OneValue block{{}, argument(0) ? argumentValue(*argument(0)) : 0};
      raiseNotification(&block.header, MHN_READY_STATE_CHANGE);
      return S_OK;
    }
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
}

LRESULT MovieHost::onLoadExternalResource(LoadExternalResourceRequest* request) {
  if (!request) return 0;
  const wchar_t* url = request->url ? request->url : L"";
  const std::string ansiUrl = toAnsi(url);
  request->ansiUrl = const_cast<char*>(ansiUrl.c_str());

  ResourceNotification<char> ansi{{}, ansiUrl.c_str(), request->stream};
  raiseNotification(&ansi.header, MHN_LOAD_EXTERNAL_RESOURCE_A);
  ResourceNotificationEx<char> ansiEx{{}, ansiUrl.c_str(), request->stream, request->handled};
  raiseNotification(&ansiEx.header, MHN_LOAD_EXTERNAL_RESOURCE_EX_A);
  request->handled = ansiEx.handled;
  ResourceNotification<wchar_t> wide{{}, url, request->stream};
  raiseNotification(&wide.header, MHN_LOAD_EXTERNAL_RESOURCE_W);
  ResourceNotificationEx<wchar_t> wideEx{{}, url, request->stream, request->handled};
  raiseNotification(&wideEx.header, MHN_LOAD_EXTERNAL_RESOURCE_EX_W);
  request->handled = wideEx.handled;
  request->ansiUrl = nullptr;  // valid only during the notifications
  return 1;
}

}  // namespace nxr
