// The local server: one Application for the process, in the running object
// table as a running Outlook's is. "/regserver" and "/unregserver" set up or
// remove its registry entries. It ends when the event
// "quorvantel-fake-outlook-quit" is set.
#include "tests/win32/fake_outlook/FakeOutlook.h"
// windows.h first
#include <shellapi.h>

#include <string>

namespace {

IDispatch* g_app = nullptr;

IDispatch* SharedApplication() {
    g_app->AddRef();
    return g_app;
}

}  // namespace

int main() {
    SetFakeModule(nullptr);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const std::wstring arg = argc > 1 ? argv[1] : L"";
    LocalFree(argv);
    if (arg == L"/regserver") {
        return FAILED(RegisterFakeServer(L"LocalServer32", L"\"" + ModulePath(nullptr) + L"\""));
    }
    if (arg == L"/unregserver") {
        return FAILED(UnregisterFakeServer(L"LocalServer32"));
    }

    SetFakeRole(L"local:" + std::to_wstring(GetCurrentProcessId()));
    HANDLE quit = CreateEventW(nullptr, TRUE, FALSE, L"quorvantel-fake-outlook-quit");
    ResetEvent(quit);
    if (FAILED(CoInitialize(nullptr))) {
        return 1;
    }
    g_app = CreateFakeApplication();
    IClassFactory* factory = CreateFakeFactory(SharedApplication);
    DWORD classCookie = 0;
    DWORD rotCookie = 0;
    HRESULT hr = CoRegisterClassObject(kFakeClsidOutlook, factory, CLSCTX_LOCAL_SERVER,
                                       REGCLS_MULTIPLEUSE, &classCookie);
    if (SUCCEEDED(hr)) {
        hr = RegisterActiveObject(g_app, kFakeClsidOutlook, ACTIVEOBJECT_STRONG, &rotCookie);
    }
    FakeLog(L"Application", L"serve", SUCCEEDED(hr) ? L"" : std::to_wstring(hr));
    while (SUCCEEDED(hr)) {
        const DWORD w = MsgWaitForMultipleObjects(1, &quit, FALSE, INFINITE, QS_ALLINPUT);
        if (w == WAIT_OBJECT_0) {
            break;
        }
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    if (rotCookie != 0) {
        RevokeActiveObject(rotCookie, nullptr);
    }
    if (classCookie != 0) {
        CoRevokeClassObject(classCookie);
    }
    CoDisconnectObject(g_app, 0);
    g_app->Release();
    factory->Release();
    CoUninitialize();
    CloseHandle(quit);
    return SUCCEEDED(hr) ? 0 : 1;
}
