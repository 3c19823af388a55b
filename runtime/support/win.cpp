#include "support/win.h"

namespace nxr {

void debugLog(const std::u16string& text) {
  OutputDebugStringW(asWcstr(text));
}

}  // namespace nxr
