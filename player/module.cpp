// The DLL's entry points: DllMain, the class factory behind DllGetClassObject, and
// DllCanUnloadNow.
#include <windows.h>

#include "flash_control.h"

namespace nxr::player {

void unregisterStageClass();

namespace {

HINSTANCE module = nullptr;
LONG liveObjects = 0;
LONG moduleLocks = 0;

class ClassFactory final : public IClassFactory {
 public:
  STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (iid != IID_IUnknown && iid != IID_IClassFactory) return E_NOINTERFACE;
    *out = static_cast<IClassFactory*>(this);
    AddRef();
    return S_OK;
  }
  STDMETHODIMP_(ULONG) AddRef() override {
    const LONG count = InterlockedIncrement(&refs_);
    if (count == 1) objectCreated();
    return count;
  }
  STDMETHODIMP_(ULONG) Release() override {
    const LONG count = InterlockedDecrement(&refs_);
    if (count == 0) objectDestroyed();  // the factory itself is static
    return count;
  }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID iid, void** out) override {
    if (!out) return E_POINTER;
    *out = nullptr;
    if (outer) return CLASS_E_NOAGGREGATION;
    auto* control = new (std::nothrow) FlashControl();
    if (!control) return E_OUTOFMEMORY;
    const HRESULT hr = static_cast<IShockwaveFlash*>(control)->QueryInterface(iid, out);
    static_cast<IShockwaveFlash*>(control)->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL lock) override {
    lockModule(lock != FALSE);
    return S_OK;
  }

 private:
  LONG refs_ = 0;
};

ClassFactory factory;

}  // namespace

HINSTANCE moduleHandle() { return module; }
void objectCreated() { InterlockedIncrement(&liveObjects); }
void objectDestroyed() { InterlockedDecrement(&liveObjects); }
void lockModule(bool lock) {
  if (lock) {
    InterlockedIncrement(&moduleLocks);
  } else {
    InterlockedDecrement(&moduleLocks);
  }
}
bool moduleInUse() { return liveObjects > 0 || moduleLocks > 0; }

}  // namespace nxr::player

extern "C" {

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, void*) {
  if (reason == DLL_PROCESS_ATTACH) {
    nxr::player::module = instance;
  } else if (reason == DLL_PROCESS_DETACH) {
    nxr::player::unregisterStageClass();
  }
  return TRUE;
}

HRESULT STDAPICALLTYPE DllGetClassObject(REFCLSID clsid, REFIID iid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid != nxr::player::kClsidShockwaveFlash) return CLASS_E_CLASSNOTAVAILABLE;
  return nxr::player::factory.QueryInterface(iid, out);
}

HRESULT STDAPICALLTYPE DllCanUnloadNow() { return nxr::player::moduleInUse() ? S_FALSE : S_OK; }

}  // extern "C"
