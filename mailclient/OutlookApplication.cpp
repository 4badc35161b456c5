#include "mailclient/OutlookApplication.h"

#include <windows.h>
// windows.h first
#include <ole2.h>
#include <oleauto.h>

#include <string>
#include <utility>

#include "core/TextUtf.h"
#include "mailclient/OleErrors.h"

namespace {

const CLSID kClsidOutlook = {
    0x0006F033, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidApplication = {
    0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidMailItem = {
    0x00063034, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

constexpr DISPID kDispActiveInspector = 0x112;
constexpr DISPID kDispCreateItem = 0x10A;
constexpr DISPID kDispCurrentItem = 0x2102;
constexpr DWORD kInprocOrLocalServer = 5;  // CLSCTX_INPROC_SERVER | CLSCTX_LOCAL_SERVER
constexpr LONG kOlMailItem = 0;

// Owns one reference of a COM interface.
template <class T>
class TComRef {
  public:
    TComRef() = default;
    explicit TComRef(T* p) : p_(p) {}
    ~TComRef() { Reset(); }
    TComRef(const TComRef&) = delete;
    TComRef& operator=(const TComRef&) = delete;
    TComRef(TComRef&& other) noexcept : p_(std::exchange(other.p_, nullptr)) {}

    T* Get() const { return p_; }
    T* operator->() const { return p_; }
    T** Out() {
        Reset();
        return &p_;
    }
    T* Release() { return std::exchange(p_, nullptr); }
    void Reset() {
        if (p_ != nullptr) {
            p_->Release();
            p_ = nullptr;
        }
    }

  private:
    T* p_ = nullptr;
};

// A VARIANT that is cleared on every path.
class TVariant {
  public:
    TVariant() { VariantInit(&v_); }
    ~TVariant() { VariantClear(&v_); }
    TVariant(const TVariant&) = delete;
    TVariant& operator=(const TVariant&) = delete;
    VARIANT* Get() { return &v_; }
    VARIANT& operator*() { return v_; }

  private:
    VARIANT v_;
};

std::string BstrToUtf8(BSTR text) {
    if (text == nullptr) {
        return {};
    }
    return Utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text), SysStringLen(text)));
}

std::string TakeBstr(BSTR& text) {
    std::string utf8 = BstrToUtf8(text);
    SysFreeString(text);
    text = nullptr;
    return utf8;
}

// The thread's current error information; all empty when there is none.
TOleErrorInfo ThreadErrorInfo() {
    TOleErrorInfo info;
    TComRef<IErrorInfo> error;
    if (GetErrorInfo(0, error.Out()) != S_OK || error.Get() == nullptr) {
        return info;
    }
    BSTR text = nullptr;
    if (SUCCEEDED(error->GetDescription(&text))) {
        info.Description = TakeBstr(text);
    }
    if (SUCCEEDED(error->GetSource(&text))) {
        info.Source = TakeBstr(text);
    }
    if (SUCCEEDED(error->GetHelpFile(&text))) {
        info.HelpFile = TakeBstr(text);
    }
    DWORD context = 0;
    if (SUCCEEDED(error->GetHelpContext(&context))) {
        info.HelpContext = context;
    }
    return info;
}

// Frees the strings of an EXCEPINFO and gives its code and information.
int32_t TakeExcepInfo(EXCEPINFO& excep, TOleErrorInfo& info) {
    if (excep.pfnDeferredFillIn != nullptr) {
        excep.pfnDeferredFillIn(&excep);
    }
    info.Description = TakeBstr(excep.bstrDescription);
    info.Source = TakeBstr(excep.bstrSource);
    info.HelpFile = TakeBstr(excep.bstrHelpFile);
    info.HelpContext = excep.dwHelpContext;
    return excep.scode != 0 ? static_cast<int32_t>(excep.scode) : kDispException;
}

// How a failed call is reported: the application's and inspector's members
// as dispatch calls, the mail item's members as calls of its own interface.
enum class TCallKind { Dispatch, MailItem };

HRESULT RawInvoke(IDispatch* target, DISPID member, WORD flags, VARIANTARG* args, UINT argCount,
                  bool propertyPut, VARIANT* result, EXCEPINFO& excep) {
    DISPID namedPut = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = args;
    params.cArgs = argCount;
    if (propertyPut) {
        params.rgdispidNamedArgs = &namedPut;
        params.cNamedArgs = 1;
    }
    UINT argError = 0;
    return target->Invoke(member, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, &excep,
                          &argError);
}

void Invoke(TCallKind kind, IDispatch* target, DISPID member, WORD flags, VARIANTARG* args,
            UINT argCount, VARIANT* result, bool propertyPut = false) {
    EXCEPINFO excep{};
    const HRESULT hr = RawInvoke(target, member, flags, args, argCount, propertyPut, result, excep);
    if (SUCCEEDED(hr)) {
        return;
    }
    TOleErrorInfo info;
    int32_t code = hr;
    if (hr == DISP_E_EXCEPTION) {
        code = TakeExcepInfo(excep, info);
    }
    if (kind == TCallKind::Dispatch) {
        ThrowDispatchError(hr, code, std::move(info));
    }
    if (hr != DISP_E_EXCEPTION) {
        info = ThreadErrorInfo();
    }
    throw EOleException(code, std::move(info));
}

// A dispatch result as an object reference; null when the result is none.
TComRef<IUnknown> ObjectOf(VARIANT& result) {
    if (result.vt == VT_EMPTY || result.vt == VT_NULL) {
        return {};
    }
    if ((result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) && result.punkVal != nullptr) {
        IUnknown* unknown = result.punkVal;
        unknown->AddRef();
        return TComRef<IUnknown>(unknown);
    }
    if (result.vt == VT_DISPATCH || result.vt == VT_UNKNOWN) {
        return {};
    }
    throw EIntfCastError();
}

class TOutlookMailItem : public TMailItem {
  public:
    explicit TOutlookMailItem(IDispatch* item) : item_(item) {}

    std::u16string GetField(TMailField field) override {
        TVariant result;
        Invoke(TCallKind::MailItem, item_.Get(), Member(field), DISPATCH_PROPERTYGET, nullptr, 0,
               result.Get());
        if ((*result).vt != VT_BSTR) {
            const HRESULT hr = VariantChangeType(result.Get(), result.Get(), 0, VT_BSTR);
            if (FAILED(hr)) {
                throw EOleException(hr, ThreadErrorInfo());
            }
        }
        const BSTR text = (*result).bstrVal;
        if (text == nullptr) {
            return {};
        }
        return std::u16string(reinterpret_cast<const char16_t*>(text), SysStringLen(text));
    }

    void SetField(TMailField field, const std::u16string& text) override {
        TVariant arg;
        (*arg).vt = VT_BSTR;
        (*arg).bstrVal = SysAllocStringLen(reinterpret_cast<const OLECHAR*>(text.data()),
                                           static_cast<UINT>(text.size()));
        if ((*arg).bstrVal == nullptr) {
            throw EOleException(E_OUTOFMEMORY, {});
        }
        Invoke(TCallKind::MailItem, item_.Get(), Member(field), DISPATCH_PROPERTYPUT, arg.Get(), 1,
               nullptr, true);
    }

    void Display() override {
        TVariant modal;
        (*modal).vt = VT_BOOL;
        (*modal).boolVal = VARIANT_FALSE;
        Invoke(TCallKind::MailItem, item_.Get(), Id(L"Display"), DISPATCH_METHOD, modal.Get(), 1,
               nullptr);
    }

  private:
    DISPID Id(const wchar_t* name) {
        LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
        DISPID id = DISPID_UNKNOWN;
        const HRESULT hr = item_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
        if (FAILED(hr)) {
            throw EOleException(hr, ThreadErrorInfo());
        }
        return id;
    }

    DISPID Member(TMailField field) {
        switch (field) {
            case TMailField::To:
                return Id(L"To");
            case TMailField::CC:
                return Id(L"CC");
            case TMailField::BCC:
                break;
        }
        return Id(L"BCC");
    }

    TComRef<IDispatch> item_;
};

// Queries an object for _MailItem; a missing object or interface fails the cast.
std::unique_ptr<TMailItem> AsMailItem(IUnknown* object) {
    IDispatch* item = nullptr;
    if (object == nullptr ||
        FAILED(object->QueryInterface(kIidMailItem, reinterpret_cast<void**>(&item))) ||
        item == nullptr) {
        throw EIntfCastError();
    }
    return std::make_unique<TOutlookMailItem>(item);
}

}  // namespace

TOutlookApplication::~TOutlookApplication() {
    if (app_ != nullptr) {
        app_->Release();  // Outlook is left running
    }
}

bool TOutlookApplication::CanReachOpenItems() const {
    if (app_ != nullptr) {
        return true;
    }
    wchar_t clsid[64];
    if (StringFromGUID2(kClsidOutlook, clsid, 64) == 0) {
        return false;
    }
    for (const wchar_t* server : {L"LocalServer32", L"InprocServer32"}) {
        const std::wstring key = std::wstring(L"CLSID\\") + clsid + L"\\" + server;
        HKEY h = nullptr;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) == ERROR_SUCCESS) {
            RegCloseKey(h);
            return true;
        }
    }
    return false;
}

void TOutlookApplication::Connect() {
    if (app_ != nullptr) {
        return;
    }
    TComRef<IUnknown> object;
    const HRESULT active = GetActiveObject(kClsidOutlook, nullptr, object.Out());
    if (FAILED(active) || object.Get() == nullptr) {
        const HRESULT created =
            CoCreateInstance(kClsidOutlook, nullptr, kInprocOrLocalServer, IID_IUnknown,
                             reinterpret_cast<void**>(object.Out()));
        if (FAILED(created)) {
            throw EOleSysError(created);
        }
    }
    IDispatch* app = nullptr;
    if (object.Get() == nullptr ||
        FAILED(object->QueryInterface(kIidApplication, reinterpret_cast<void**>(&app))) ||
        app == nullptr) {
        throw EIntfCastError();
    }
    app_ = app;
}

std::unique_ptr<TMailItem> TOutlookApplication::CreateItem() {
    Connect();
    TVariant type;
    (*type).vt = VT_I4;
    (*type).lVal = kOlMailItem;
    TVariant result;
    Invoke(TCallKind::Dispatch, app_, kDispCreateItem, DISPATCH_METHOD, type.Get(), 1,
           result.Get());
    const TComRef<IUnknown> item = ObjectOf(*result);
    return AsMailItem(item.Get());
}

std::unique_ptr<TMailItem> TOutlookApplication::ActiveItem() {
    Connect();
    TVariant inspectorResult;
    Invoke(TCallKind::Dispatch, app_, kDispActiveInspector, DISPATCH_METHOD, nullptr, 0,
           inspectorResult.Get());
    const TComRef<IUnknown> inspectorObject = ObjectOf(*inspectorResult);
    if (inspectorObject.Get() == nullptr) {
        return nullptr;
    }
    TComRef<IDispatch> inspector;
    if (FAILED(inspectorObject->QueryInterface(IID_IDispatch,
                                               reinterpret_cast<void**>(inspector.Out())))) {
        throw EIntfCastError();
    }
    TVariant itemResult;
    Invoke(TCallKind::Dispatch, inspector.Get(), kDispCurrentItem, DISPATCH_PROPERTYGET, nullptr, 0,
           itemResult.Get());
    const TComRef<IUnknown> item = ObjectOf(*itemResult);
    if (item.Get() == nullptr) {
        return nullptr;
    }
    return AsMailItem(item.Get());
}
