// IDispatch of the control: names to DISPIDs, and Invoke calling the same methods a vtable caller
// reaches, with the arguments converted from VARIANTs.
#include <cwctype>
#include <string_view>

#include "flash_control.h"

namespace nxr::player {
namespace {

struct DispatchName {
  const wchar_t* name;
  DISPID id;
};

constexpr DispatchName kNames[] = {
    {L"ReadyState", -525},
    {L"TotalFrames", 124},
    {L"Playing", 125},
    {L"Quality", 105},
    {L"ScaleMode", 120},
    {L"AlignMode", 121},
    {L"BackgroundColor", 123},
    {L"Loop", 106},
    {L"Movie", 102},
    {L"FrameNum", 107},
    {L"SetZoomRect", 109},
    {L"Zoom", 118},
    {L"Pan", 119},
    {L"Play", 112},
    {L"Stop", 113},
    {L"Back", 114},
    {L"Forward", 115},
    {L"Rewind", 116},
    {L"StopPlay", 126},
    {L"GotoFrame", 127},
    {L"CurrentFrame", 128},
    {L"IsPlaying", 129},
    {L"PercentLoaded", 130},
    {L"FrameLoaded", 131},
    {L"FlashVersion", 132},
    {L"WMode", 133},
    {L"SAlign", 134},
    {L"Menu", 135},
    {L"Base", 136},
    {L"Scale", 137},
    {L"DeviceFont", 138},
    {L"EmbedMovie", 139},
    {L"BGColor", 140},
    {L"Quality2", 141},
    {L"LoadMovie", 142},
    {L"TGotoFrame", 143},
    {L"TGotoLabel", 144},
    {L"TCurrentFrame", 145},
    {L"TCurrentLabel", 146},
    {L"TPlay", 147},
    {L"TStopPlay", 148},
    {L"SetVariable", 151},
    {L"GetVariable", 152},
    {L"TSetProperty", 153},
    {L"TGetProperty", 154},
    {L"TCallFrame", 155},
    {L"TCallLabel", 156},
    {L"TSetPropertyNum", 157},
    {L"TGetPropertyNum", 158},
    {L"TGetPropertyAsNumber", 172},
    {L"SWRemote", 159},
    {L"FlashVars", 170},
    {L"AllowScriptAccess", 171},
    {L"MovieData", 190},
    {L"InlineData", 191},
    {L"SeamlessTabbing", 192},
    {L"EnforceLocalSecurity", 193},
    {L"Profile", 194},
    {L"ProfileAddress", 195},
    {L"ProfilePort", 196},
    {L"CallFunction", 198},
    {L"SetReturnValue", 199},
    {L"DisableLocalSecurity", 200},
    {L"AllowNetworking", 201},
    {L"AllowFullScreen", 202},
};

bool sameName(const wchar_t* a, const wchar_t* b) {  // automation names ignore case
  for (; *a && *b; ++a, ++b) {
    if (std::towlower(*a) != std::towlower(*b)) return false;
  }
  return *a == *b;
}

// The arguments of one Invoke, in call order (DISPPARAMS holds them reversed).
class Arguments {
 public:
  explicit Arguments(DISPPARAMS* params, UINT* argError) : params_(params), argError_(argError) {}
  UINT count() const { return params_ ? params_->cArgs : 0; }
  HRESULT get(UINT index, VARTYPE type, VARIANT& out) {
    VariantInit(&out);
    if (index >= count()) return DISP_E_BADPARAMCOUNT;
    VARIANT& in = params_->rgvarg[count() - 1 - index];
    const HRESULT hr = VariantChangeType(&out, &in, 0, type);
    if (FAILED(hr) && argError_) *argError_ = count() - 1 - index;
    return FAILED(hr) ? DISP_E_TYPEMISMATCH : S_OK;
  }

 private:
  DISPPARAMS* params_;
  UINT* argError_;
};

// Holds converted arguments and frees them.
struct Converted {
  VARIANT v[4];
  Converted() {
    for (auto& x : v) VariantInit(&x);
  }
  ~Converted() {
    for (auto& x : v) VariantClear(&x);
  }
};

}  // namespace

STDMETHODIMP FlashControl::GetTypeInfoCount(UINT* count) {
  if (!count) return E_POINTER;
  *count = 0;
  return S_OK;
}

STDMETHODIMP FlashControl::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
  if (info) *info = nullptr;
  return E_NOTIMPL;
}

STDMETHODIMP FlashControl::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
  if (count && (!names || !ids)) return E_POINTER;
  HRESULT result = S_OK;
  for (UINT i = 0; i < count; ++i) {
    ids[i] = DISPID_UNKNOWN;
    if (i > 0) {
      result = DISP_E_UNKNOWNNAME;  // argument names are not known
      continue;
    }
    for (const auto& entry : kNames) {
      if (names[i] && sameName(names[i], entry.name)) ids[i] = entry.id;
    }
    if (ids[i] == DISPID_UNKNOWN) result = DISP_E_UNKNOWNNAME;
  }
  return result;
}

STDMETHODIMP FlashControl::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                  VARIANT* result, EXCEPINFO*, UINT* argError) {
  Arguments args(params, argError);
  Converted c;
  VARIANT dummy;
  VariantInit(&dummy);
  VARIANT* out = result ? result : &dummy;
  VariantInit(out);
  const bool put = flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF);
  const bool get = !put && (flags & (DISPATCH_PROPERTYGET | DISPATCH_METHOD));
  HRESULT hr;

  // Converts argument i to type t into c.v[i], leaving Invoke on failure.
#define ARG(i, t) \
  if (FAILED(hr = args.get(i, t, c.v[i]))) return hr;
  // Properties: get into the result, put from argument 0.
#define PROP_LONG(dispid, getter, setter) \
  case dispid:                            \
    if (put) {                            \
      ARG(0, VT_I4);                      \
      hr = setter(c.v[0].lVal);           \
    } else {                              \
      out->vt = VT_I4;                    \
      hr = getter(&out->lVal);            \
    }                                     \
    break;
#define PROP_INT(dispid, getter, setter) \
  case dispid:                           \
    if (put) {                           \
      ARG(0, VT_I4);                     \
      hr = setter(int(c.v[0].lVal));     \
    } else {                             \
      int value = 0;                     \
      hr = getter(&value);               \
      out->vt = VT_I4;                   \
      out->lVal = value;                 \
    }                                    \
    break;
#define PROP_BOOL(dispid, getter, setter) \
  case dispid:                            \
    if (put) {                            \
      ARG(0, VT_BOOL);                    \
      hr = setter(c.v[0].boolVal);        \
    } else {                              \
      out->vt = VT_BOOL;                  \
      hr = getter(&out->boolVal);         \
    }                                     \
    break;
#define PROP_TEXT(dispid, getter, setter) \
  case dispid:                            \
    if (put) {                            \
      ARG(0, VT_BSTR);                    \
      hr = setter(c.v[0].bstrVal);        \
    } else {                              \
      out->vt = VT_BSTR;                  \
      hr = getter(&out->bstrVal);         \
    }                                     \
    break;
#define READ_ONLY_LONG(dispid, getter)     \
  case dispid:                             \
    if (put) return DISP_E_MEMBERNOTFOUND; \
    out->vt = VT_I4;                       \
    hr = getter(&out->lVal);               \
    break;
#define METHOD0(dispid, method)             \
  case dispid:                              \
    if (!get) return DISP_E_MEMBERNOTFOUND; \
    hr = method();                          \
    break;

  switch (id) {
    READ_ONLY_LONG(-525, get_ReadyState)
    READ_ONLY_LONG(124, get_TotalFrames)
    PROP_BOOL(125, get_Playing, put_Playing)
    PROP_INT(105, get_Quality, put_Quality)
    PROP_INT(120, get_ScaleMode, put_ScaleMode)
    PROP_INT(121, get_AlignMode, put_AlignMode)
    PROP_LONG(123, get_BackgroundColor, put_BackgroundColor)
    PROP_BOOL(106, get_Loop, put_Loop)
    PROP_TEXT(102, get_Movie, put_Movie)
    PROP_LONG(107, get_FrameNum, put_FrameNum)
    PROP_TEXT(133, get_WMode, put_WMode)
    PROP_TEXT(134, get_SAlign, put_SAlign)
    PROP_BOOL(135, get_Menu, put_Menu)
    PROP_TEXT(136, get_Base, put_Base)
    PROP_TEXT(137, get_Scale, put_Scale)
    PROP_BOOL(138, get_DeviceFont, put_DeviceFont)
    PROP_BOOL(139, get_EmbedMovie, put_EmbedMovie)
    PROP_TEXT(140, get_BGColor, put_BGColor)
    PROP_TEXT(141, get_Quality2, put_Quality2)
    PROP_TEXT(159, get_SWRemote, put_SWRemote)
    PROP_TEXT(170, get_FlashVars, put_FlashVars)
    PROP_TEXT(171, get_AllowScriptAccess, put_AllowScriptAccess)
    PROP_TEXT(190, get_MovieData, put_MovieData)
    PROP_BOOL(192, get_SeamlessTabbing, put_SeamlessTabbing)
    PROP_BOOL(194, get_Profile, put_Profile)
    PROP_TEXT(195, get_ProfileAddress, put_ProfileAddress)
    PROP_LONG(196, get_ProfilePort, put_ProfilePort)
    PROP_TEXT(201, get_AllowNetworking, put_AllowNetworking)
    PROP_TEXT(202, get_AllowFullScreen, put_AllowFullScreen)
    METHOD0(112, Play)
    METHOD0(113, Stop)
    METHOD0(114, Back)
    METHOD0(115, Forward)
    METHOD0(116, Rewind)
    METHOD0(126, StopPlay)
    METHOD0(193, EnforceLocalSecurity)
    METHOD0(200, DisableLocalSecurity)
    case 191:  // InlineData
      if (put) {
        ARG(0, VT_UNKNOWN);
        hr = put_InlineData(c.v[0].punkVal);
      } else {
        out->vt = VT_UNKNOWN;
        hr = get_InlineData(&out->punkVal);
      }
      break;
    case 109:  // SetZoomRect(left, top, right, bottom)
      ARG(0, VT_I4)
      ARG(1, VT_I4) ARG(2, VT_I4) ARG(3, VT_I4) hr =
          SetZoomRect(c.v[0].lVal, c.v[1].lVal, c.v[2].lVal, c.v[3].lVal);
      break;
    case 118:  // Zoom(factor)
      ARG(0, VT_I4)
      hr = Zoom(int(c.v[0].lVal));
      break;
    case 119:  // Pan(x, y, mode)
      ARG(0, VT_I4)
      ARG(1, VT_I4) ARG(2, VT_I4) hr = Pan(c.v[0].lVal, c.v[1].lVal, int(c.v[2].lVal));
      break;
    case 127:  // GotoFrame(frame)
      ARG(0, VT_I4)
      hr = GotoFrame(c.v[0].lVal);
      break;
    case 128:
      out->vt = VT_I4;
      hr = CurrentFrame(&out->lVal);
      break;
    case 129:
      out->vt = VT_BOOL;
      hr = IsPlaying(&out->boolVal);
      break;
    case 130:
      out->vt = VT_I4;
      hr = PercentLoaded(&out->lVal);
      break;
    case 131:  // FrameLoaded(frame)
      ARG(0, VT_I4)
      out->vt = VT_BOOL;
      hr = FrameLoaded(c.v[0].lVal, &out->boolVal);
      break;
    case 132:
      out->vt = VT_I4;
      hr = FlashVersion(&out->lVal);
      break;
    case 142:  // LoadMovie(layer, url)
      ARG(0, VT_I4) ARG(1, VT_BSTR) hr = LoadMovie(int(c.v[0].lVal), c.v[1].bstrVal);
      break;
    case 143:  // TGotoFrame(target, frame)
      ARG(0, VT_BSTR) ARG(1, VT_I4) hr = TGotoFrame(c.v[0].bstrVal, c.v[1].lVal);
      break;
    case 144:  // TGotoLabel(target, label)
      ARG(0, VT_BSTR) ARG(1, VT_BSTR) hr = TGotoLabel(c.v[0].bstrVal, c.v[1].bstrVal);
      break;
    case 145:  // TCurrentFrame(target)
      ARG(0, VT_BSTR)
      out->vt = VT_I4;
      hr = TCurrentFrame(c.v[0].bstrVal, &out->lVal);
      break;
    case 146:  // TCurrentLabel(target)
      ARG(0, VT_BSTR)
      out->vt = VT_BSTR;
      hr = TCurrentLabel(c.v[0].bstrVal, &out->bstrVal);
      break;
    case 147:  // TPlay(target)
      ARG(0, VT_BSTR)
      hr = TPlay(c.v[0].bstrVal);
      break;
    case 148:  // TStopPlay(target)
      ARG(0, VT_BSTR)
      hr = TStopPlay(c.v[0].bstrVal);
      break;
    case 151:  // SetVariable(name, value)
      ARG(0, VT_BSTR) ARG(1, VT_BSTR) hr = SetVariable(c.v[0].bstrVal, c.v[1].bstrVal);
      break;
    case 152:  // GetVariable(name)
      ARG(0, VT_BSTR)
      out->vt = VT_BSTR;
      hr = GetVariable(c.v[0].bstrVal, &out->bstrVal);
      break;
    case 153:  // TSetProperty(target, property, value)
      ARG(0, VT_BSTR)
      ARG(1, VT_I4) ARG(2, VT_BSTR) hr =
          TSetProperty(c.v[0].bstrVal, int(c.v[1].lVal), c.v[2].bstrVal);
      break;
    case 154:  // TGetProperty(target, property)
      ARG(0, VT_BSTR) ARG(1, VT_I4) out->vt = VT_BSTR;
      hr = TGetProperty(c.v[0].bstrVal, int(c.v[1].lVal), &out->bstrVal);
      break;
    case 155:  // TCallFrame(target, frame)
      ARG(0, VT_BSTR) ARG(1, VT_I4) hr = TCallFrame(c.v[0].bstrVal, int(c.v[1].lVal));
      break;
    case 156:  // TCallLabel(target, label)
      ARG(0, VT_BSTR) ARG(1, VT_BSTR) hr = TCallLabel(c.v[0].bstrVal, c.v[1].bstrVal);
      break;
    case 157:  // TSetPropertyNum(target, property, value)
      ARG(0, VT_BSTR)
      ARG(1, VT_I4) ARG(2, VT_R8) hr =
          TSetPropertyNum(c.v[0].bstrVal, int(c.v[1].lVal), c.v[2].dblVal);
      break;
    case 158:  // TGetPropertyNum(target, property)
    case 172:  // TGetPropertyAsNumber(target, property)
      ARG(0, VT_BSTR) ARG(1, VT_I4) out->vt = VT_R8;
      hr = id == 158 ? TGetPropertyNum(c.v[0].bstrVal, int(c.v[1].lVal), &out->dblVal)
                     : TGetPropertyAsNumber(c.v[0].bstrVal, int(c.v[1].lVal), &out->dblVal);
      break;
    case 198:  // CallFunction(request)
      ARG(0, VT_BSTR)
      out->vt = VT_BSTR;
      hr = CallFunction(c.v[0].bstrVal, &out->bstrVal);
      break;
    case 199:  // SetReturnValue(value)
      ARG(0, VT_BSTR)
      hr = SetReturnValue(c.v[0].bstrVal);
      break;
    default:
      return DISP_E_MEMBERNOTFOUND;
  }
#undef ARG
#undef PROP_LONG
#undef PROP_INT
#undef PROP_BOOL
#undef PROP_TEXT
#undef READ_ONLY_LONG
#undef METHOD0
  if (FAILED(hr)) VariantInit(out);  // nothing was stored on failure
  VariantClear(&dummy);
  return hr;
}

}  // namespace nxr::player
