// The in-process server: a new Application for every CoCreateInstance.
#include "tests/win32/fake_outlook/FakeOutlook.h"

namespace {

HMODULE g_dll = nullptr;

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        g_dll = instance;
        SetFakeModule(instance);
        SetFakeRole(L"inproc");
        DisableThreadLibraryCalls(instance);
    }
    return TRUE;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
    *out = nullptr;
    if (clsid != kFakeClsidOutlook) {
        return CLASS_E_CLASSNOTAVAILABLE;
    }
    IClassFactory* factory = CreateFakeFactory(CreateFakeApplication);
    const HRESULT hr = factory->QueryInterface(riid, out);
    factory->Release();
    return hr;
}

STDAPI DllCanUnloadNow() {
    return FakeObjectCount() == 0 ? S_OK : S_FALSE;
}

STDAPI DllRegisterServer() {
    return RegisterFakeServer(L"InprocServer32", ModulePath(g_dll));
}

STDAPI DllUnregisterServer() {
    return UnregisterFakeServer(L"InprocServer32");
}
