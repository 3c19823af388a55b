// The moniker handed to the control in place of urlmon's URL moniker: every binding of its URL
// to storage is first offered to the movie registry (in-memory movies, resources relative to
// them, the application's handlers); what the registry does not serve goes to a real URL moniker.
#pragma once

#include <windows.h>
// (the system headers below need windows.h first)
#include <urlmon.h>

namespace nxr {

class MovieRegistry;

// The CreateURLMoniker replacement's work: a wrapping moniker for `url`, or the error of the
// real CreateURLMoniker when it cannot make the inner moniker.
HRESULT createWrappingMoniker(MovieRegistry* registry, IMoniker* context, const wchar_t* url,
                              IMoniker** moniker);

}  // namespace nxr
