#include "tests/win32/fake_outlook/FakeOutlook.h"

#include <oleauto.h>

#include <algorithm>
#include <cwchar>
#include <map>
#include <memory>
#include <string>
#include <vector>

const CLSID kFakeClsidOutlook = {
    0x0006F033, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

namespace {

const IID kIidApplication = {
    0x00063001, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidInspector = {
    0x00063005, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidMailItem = {
    0x00063034, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
const IID kIidContactItem = {
    0x00063021, 0x0000, 0x0000, {0xC0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// Outlook's own DISPIDs.
constexpr DISPID kDispActiveInspector = 0x112;
constexpr DISPID kDispCreateItem = 0x10A;
constexpr DISPID kDispCurrentItem = 0x2102;
constexpr DISPID kDispTo = 0xE04;
constexpr DISPID kDispCC = 0xE03;
constexpr DISPID kDispBCC = 0xE02;
constexpr DISPID kDispDisplay = 0xF106;
constexpr DISPID kDispFullName = 0x3001;
constexpr DISPID kDispApplication = 0xF000;

// Vtable members beside IDispatch, for callers in the same process that
// bind early; across processes only IDispatch is carried.
struct IFakeApplication : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE ActiveInspector(IDispatch** inspector) = 0;
    virtual HRESULT STDMETHODCALLTYPE CreateItem(long itemType, IDispatch** item) = 0;
};
struct IFakeInspector : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Application(IDispatch** application) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentItem(IDispatch** item) = 0;
};
struct IFakeItem : IDispatch {
    virtual HRESULT STDMETHODCALLTYPE get_Application(IDispatch** application) = 0;
};

HMODULE g_module = nullptr;
std::wstring g_role = L"inproc";
LONG g_objects = 0;

std::wstring Widen(const std::string& utf8) {
    if (utf8.empty()) {
        return {};
    }
    const int n =
        MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring w(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), w.data(), n);
    return w;
}

std::string Narrow(const std::wstring& w) {
    if (w.empty()) {
        return {};
    }
    const int n = WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), nullptr, 0,
                                      nullptr, nullptr);
    std::string s(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, w.data(), static_cast<int>(w.size()), s.data(), n, nullptr,
                        nullptr);
    return s;
}

std::wstring Escaped(const std::wstring& text) {
    std::wstring out;
    for (wchar_t c : text) {
        switch (c) {
            case L'\\':
                out += L"\\\\";
                break;
            case L'\t':
                out += L"\\t";
                break;
            case L'\r':
                out += L"\\r";
                break;
            case L'\n':
                out += L"\\n";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::wstring Describe(const VARIANT& v) {
    switch (v.vt) {
        case VT_I4:
            return L"I4 " + std::to_wstring(v.lVal);
        case VT_BOOL:
            return v.boolVal == VARIANT_FALSE ? L"BOOL false" : L"BOOL true";
        case VT_BSTR:
            return L"BSTR " +
                   Escaped(v.bstrVal ? std::wstring(v.bstrVal, SysStringLen(v.bstrVal)) : L"");
        default:
            return L"VT " + std::to_wstring(v.vt);
    }
}

// ---------------------------------------------------------------------------
// The control file.

struct TFailure {
    enum class How { Plain, ErrorInfo, Excep };
    HRESULT status = S_OK;
    How how = How::Plain;
    HRESULT scode = 0;
    std::wstring description, source, helpFile;
    DWORD helpContext = 0;
};

struct TOpenItem {
    std::wstring kind;  // mail, contact, empty
    std::wstring to, cc, bcc;
};

struct TControl {
    std::map<std::wstring, TFailure> failures;
    std::map<std::wstring, DWORD> holds;  // milliseconds a member takes
    bool open = false;
    TOpenItem openItem;
};

std::vector<std::wstring> SplitTabs(const std::wstring& line) {
    std::vector<std::wstring> fields;
    size_t start = 0;
    while (true) {
        const size_t tab = line.find(L'\t', start);
        fields.push_back(line.substr(start, tab - start));
        if (tab == std::wstring::npos) {
            return fields;
        }
        start = tab + 1;
    }
}

HRESULT Hex(const std::wstring& text) {
    return static_cast<HRESULT>(std::wcstoul(text.c_str(), nullptr, 16));
}

TControl ReadControl() {
    TControl control;
    HANDLE file = CreateFileW((FakeDir() + L"\\fake_outlook.ctl").c_str(), GENERIC_READ,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return control;
    }
    std::string bytes;
    char buf[4096];
    DWORD n = 0;
    while (ReadFile(file, buf, sizeof buf, &n, nullptr) && n > 0) {
        bytes.append(buf, n);
    }
    CloseHandle(file);
    const std::wstring text = Widen(bytes);
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(L'\n', start);
        if (end == std::wstring::npos) {
            end = text.size();
        }
        std::wstring line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == L'\r') {
            line.pop_back();
        }
        std::vector<std::wstring> f = SplitTabs(line);
        f.resize(std::max<size_t>(f.size(), 10));
        auto at = [&f](size_t i) -> const std::wstring& { return f[i]; };
        if (at(0) == L"fail" && f.size() >= 3) {
            TFailure failure;
            failure.status = Hex(f[2]);
            size_t texts = 4;
            if (at(3) == L"errorinfo") {
                failure.how = TFailure::How::ErrorInfo;
            } else if (at(3) == L"excep") {
                failure.how = TFailure::How::Excep;
                failure.scode = Hex(at(4));
                texts = 5;
            }
            failure.description = at(texts);
            failure.source = at(texts + 1);
            failure.helpFile = at(texts + 2);
            failure.helpContext =
                static_cast<DWORD>(std::wcstoul(at(texts + 3).c_str(), nullptr, 10));
            control.failures[f[1]] = failure;
        } else if (at(0) == L"hold" && f.size() >= 3) {
            control.holds[f[1]] = static_cast<DWORD>(std::wcstoul(f[2].c_str(), nullptr, 10));
        } else if (at(0) == L"open") {
            control.open = true;
            control.openItem = {at(1), at(2), at(3), at(4)};
        }
    }
    return control;
}

// The failure set up for a member, applied: error information or EXCEPINFO
// filled, the status returned. S_OK when the member is to work.
HRESULT Fail(const TControl& control, const std::wstring& member, EXCEPINFO* excep) {
    // A slow Outlook: the caller waits in its apartment meanwhile.
    if (const auto hold = control.holds.find(member); hold != control.holds.end()) {
        Sleep(hold->second);
    }
    const auto it = control.failures.find(member);
    if (it == control.failures.end()) {
        return S_OK;
    }
    const TFailure& f = it->second;
    auto bstr = [](const std::wstring& s) {
        return s.empty() ? nullptr : SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    };
    if (f.how == TFailure::How::Excep && excep != nullptr) {
        *excep = EXCEPINFO{};
        excep->scode = f.scode;
        excep->bstrDescription = bstr(f.description);
        excep->bstrSource = bstr(f.source);
        excep->bstrHelpFile = bstr(f.helpFile);
        excep->dwHelpContext = f.helpContext;
    } else if (f.how == TFailure::How::ErrorInfo) {
        ICreateErrorInfo* create = nullptr;
        if (SUCCEEDED(CreateErrorInfo(&create))) {
            create->SetDescription(const_cast<LPOLESTR>(f.description.c_str()));
            create->SetSource(const_cast<LPOLESTR>(f.source.c_str()));
            create->SetHelpFile(const_cast<LPOLESTR>(f.helpFile.c_str()));
            create->SetHelpContext(f.helpContext);
            IErrorInfo* info = nullptr;
            if (SUCCEEDED(
                    create->QueryInterface(IID_IErrorInfo, reinterpret_cast<void**>(&info)))) {
                SetErrorInfo(0, info);
                info->Release();
            }
            create->Release();
        }
    }
    return f.status;
}

// ---------------------------------------------------------------------------
// The objects.

class TItem;
class TInspector;

// What one Application holds: its items and the active item window.
struct TState {
    TControl control;
    IDispatch* app = nullptr;  // not held; the application clears it as it goes
    int next = 1;
    TInspector* active = nullptr;   // one reference
    std::vector<IDispatch*> items;  // one reference each, for the application's life
};

template <class I>
class TObject : public I, public ISupportErrorInfo {
  public:
    TObject(std::shared_ptr<TState> state, std::wstring name, const IID& iid)
        : state_(std::move(state)), name_(std::move(name)), iid_(iid) {
        InterlockedIncrement(&g_objects);
    }
    virtual ~TObject() { InterlockedDecrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *out = static_cast<I*>(this);
        } else if (riid == iid_) {
            const HRESULT hr = InterfaceQuery();
            if (FAILED(hr)) {
                return hr;
            }
            *out = static_cast<I*>(this);
        } else if (riid == IID_ISupportErrorInfo) {
            *out = static_cast<ISupportErrorInfo*>(this);
        } else {
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) {
            delete this;
        }
        return n;
    }

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override {
        return DISP_E_BADINDEX;
    }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                                            DISPID* ids) override {
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) {
            ids[i] = DISPID_UNKNOWN;
            if (i == 0) {
                ids[0] = IdOf(names[0]);
            }
            if (ids[i] == DISPID_UNKNOWN) {
                hr = DISP_E_UNKNOWNNAME;
            }
        }
        return hr;
    }

    HRESULT STDMETHODCALLTYPE InterfaceSupportsErrorInfo(REFIID riid) override {
        return riid == iid_ ? S_OK : S_FALSE;
    }

    const std::wstring& Name() const { return name_; }

  protected:
    virtual DISPID IdOf(const wchar_t*) { return DISPID_UNKNOWN; }
    virtual HRESULT InterfaceQuery() { return S_OK; }

    // The vtable members: the same call as through Invoke.
    HRESULT Call(DISPID id, WORD flags, VARIANT* arg, IDispatch** out) {
        if (out == nullptr) {
            return E_POINTER;
        }
        *out = nullptr;
        DISPPARAMS params{};
        params.rgvarg = arg;
        params.cArgs = arg ? 1 : 0;
        VARIANT result;
        VariantInit(&result);
        const HRESULT hr = this->Invoke(id, IID_NULL, 0, flags, &params, &result, nullptr, nullptr);
        if (SUCCEEDED(hr) && result.vt == VT_DISPATCH) {
            *out = result.pdispVal;
            return hr;
        }
        VariantClear(&result);
        return hr;
    }

    // Every object's Application property.
    HRESULT ApplicationProperty(DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep);

    // Logs the call and answers whether it is to fail.
    HRESULT Enter(const std::wstring& member, const DISPPARAMS* params, EXCEPINFO* excep) {
        std::wstring args;
        for (UINT i = params ? params->cArgs : 0; i > 0; --i) {
            if (!args.empty()) {
                args += L" | ";
            }
            args += Describe(params->rgvarg[i - 1]);
        }
        const bool put = member.size() > 4 && member.compare(member.size() - 4, 4, L".put") == 0;
        const UINT named = params ? params->cNamedArgs : 0;
        if (named > (put ? 1u : 0u)) {
            args += L"\tnamed";
        }
        FakeLog(name_, member, args);
        return Fail(state_->control, member, excep);
    }

    std::shared_ptr<TState> state_;

  private:
    std::wstring name_;
    IID iid_;
    LONG refs_ = 1;
};

void SetDispatch(VARIANT* result, IDispatch* object) {
    if (result == nullptr) {
        return;
    }
    VariantInit(result);
    result->vt = VT_DISPATCH;
    result->pdispVal = object;
    if (object != nullptr) {
        object->AddRef();
    }
}

template <class I>
HRESULT TObject<I>::ApplicationProperty(DISPPARAMS* params, VARIANT* result, EXCEPINFO* excep) {
    const HRESULT hr = Enter(L"Application.get", params, excep);
    if (hr != S_OK) {
        return hr;
    }
    SetDispatch(result, state_->app);
    return S_OK;
}

class TItem : public TObject<IFakeItem> {
  public:
    TItem(std::shared_ptr<TState> state, bool mail, const TOpenItem& fields)
        : TObject<IFakeItem>(
              state, (mail ? L"MailItem#" : L"ContactItem#") + std::to_wstring(state->next++),
              mail ? kIidMailItem : kIidContactItem),
          mail_(mail),
          to_(fields.to),
          cc_(fields.cc),
          bcc_(fields.bcc) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT*) override;

    TInspector* Window();

    HRESULT STDMETHODCALLTYPE get_Application(IDispatch** application) override {
        return Call(kDispApplication, DISPATCH_PROPERTYGET, nullptr, application);
    }

  protected:
    DISPID IdOf(const wchar_t* name) override {
        if (!mail_) {
            return _wcsicmp(name, L"FullName") == 0 ? kDispFullName : DISPID_UNKNOWN;
        }
        if (_wcsicmp(name, L"To") == 0) {
            return kDispTo;
        }
        if (_wcsicmp(name, L"CC") == 0) {
            return kDispCC;
        }
        if (_wcsicmp(name, L"BCC") == 0) {
            return kDispBCC;
        }
        if (_wcsicmp(name, L"Display") == 0) {
            return kDispDisplay;
        }
        return DISPID_UNKNOWN;
    }

  private:
    bool mail_;
    std::wstring to_, cc_, bcc_;
    TInspector* window_ = nullptr;  // not held: the window holds the item
};

class TInspector : public TObject<IFakeInspector> {
  public:
    TInspector(std::shared_ptr<TState> state, IDispatch* item)
        : TObject<IFakeInspector>(state, L"Inspector#" + std::to_wstring(state->next++),
                                  kIidInspector),
          item_(item) {
        if (item_ != nullptr) {
            item_->AddRef();
        }
    }
    ~TInspector() override {
        if (item_ != nullptr) {
            item_->Release();
        }
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT*) override {
        if (id == kDispApplication && (flags & DISPATCH_PROPERTYGET) != 0) {
            return ApplicationProperty(params, result, excep);
        }
        if (id != kDispCurrentItem) {
            return DISP_E_MEMBERNOTFOUND;
        }
        const HRESULT hr = Enter(L"CurrentItem", params, excep);
        if (hr != S_OK) {
            return hr;
        }
        if ((flags & DISPATCH_PROPERTYGET) == 0) {
            return DISP_E_MEMBERNOTFOUND;
        }
        SetDispatch(result, item_);
        return S_OK;
    }

    HRESULT STDMETHODCALLTYPE get_Application(IDispatch** application) override {
        return Call(kDispApplication, DISPATCH_PROPERTYGET, nullptr, application);
    }
    HRESULT STDMETHODCALLTYPE get_CurrentItem(IDispatch** item) override {
        return Call(kDispCurrentItem, DISPATCH_PROPERTYGET, nullptr, item);
    }

  protected:
    DISPID IdOf(const wchar_t* name) override {
        return _wcsicmp(name, L"CurrentItem") == 0 ? kDispCurrentItem : DISPID_UNKNOWN;
    }

  private:
    IDispatch* item_;
};

// Makes the inspector the active window.
void Activate(TState& state, TInspector* inspector) {
    inspector->AddRef();
    if (state.active != nullptr) {
        state.active->Release();
    }
    state.active = inspector;
}

TInspector* TItem::Window() {
    if (window_ == nullptr) {
        window_ = new TInspector(state_, this);
        state_->items.push_back(window_);  // the window lives as long as the application
    }
    return window_;
}

HRESULT TItem::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                      EXCEPINFO* excep, UINT*) {
    if (id == kDispApplication && (flags & DISPATCH_PROPERTYGET) != 0) {
        return ApplicationProperty(params, result, excep);
    }
    std::wstring* field = id == kDispTo    ? &to_
                          : id == kDispCC  ? &cc_
                          : id == kDispBCC ? &bcc_
                                           : nullptr;
    if (!mail_ || (field == nullptr && id != kDispDisplay)) {
        return DISP_E_MEMBERNOTFOUND;
    }
    const std::wstring fieldName = id == kDispTo ? L"To" : id == kDispCC ? L"CC" : L"BCC";
    if (id == kDispDisplay) {
        const HRESULT hr = Enter(L"Display", params, excep);
        if (hr != S_OK) {
            return hr;
        }
        if (params->cArgs > 1) {
            return DISP_E_BADPARAMCOUNT;
        }
        Activate(*state_, Window());  // shown, and never waited on
        return S_OK;
    }
    if ((flags & DISPATCH_PROPERTYPUT) != 0) {
        const HRESULT hr = Enter(fieldName + L".put", params, excep);
        if (hr != S_OK) {
            return hr;
        }
        if (params->cArgs != 1 || params->cNamedArgs != 1 ||
            params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT) {
            return DISP_E_BADPARAMCOUNT;
        }
        if (params->rgvarg[0].vt != VT_BSTR) {
            return DISP_E_TYPEMISMATCH;
        }
        const BSTR text = params->rgvarg[0].bstrVal;
        field->assign(text ? text : L"", text ? SysStringLen(text) : 0);
        return S_OK;
    }
    const HRESULT hr = Enter(fieldName + L".get", params, excep);
    if (hr != S_OK) {
        return hr;
    }
    if (result != nullptr) {
        VariantInit(result);
        result->vt = VT_BSTR;
        result->bstrVal = SysAllocStringLen(field->data(), static_cast<UINT>(field->size()));
    }
    return S_OK;
}

class TApplication : public TObject<IFakeApplication> {
  public:
    explicit TApplication(std::shared_ptr<TState> state)
        : TObject<IFakeApplication>(state, L"Application", kIidApplication) {
        TState& s = *state_;
        s.app = this;
        if (s.control.open) {
            const TOpenItem& open = s.control.openItem;
            if (open.kind == L"empty") {
                TInspector* window = new TInspector(state_, nullptr);
                s.items.push_back(window);
                Activate(s, window);
            } else {
                TItem* item = new TItem(state_, open.kind == L"mail", open);
                s.items.push_back(item);
                Activate(s, item->Window());
            }
        }
    }
    ~TApplication() override {
        state_->app = nullptr;
        if (state_->active != nullptr) {
            state_->active->Release();
            state_->active = nullptr;
        }
        for (IDispatch* object : state_->items) {
            object->Release();
        }
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* excep, UINT*) override {
        if (id == kDispActiveInspector) {
            const HRESULT hr = Enter(L"ActiveInspector", params, excep);
            if (hr != S_OK) {
                return hr;
            }
            if ((flags & (DISPATCH_METHOD | DISPATCH_PROPERTYGET)) == 0) {
                return DISP_E_MEMBERNOTFOUND;
            }
            if (params->cArgs != 0) {
                return DISP_E_BADPARAMCOUNT;
            }
            SetDispatch(result, state_->active);
            return S_OK;
        }
        if (id == kDispCreateItem) {
            const HRESULT hr = Enter(L"CreateItem", params, excep);
            if (hr != S_OK) {
                return hr;
            }
            if ((flags & DISPATCH_METHOD) == 0) {
                return DISP_E_MEMBERNOTFOUND;
            }
            if (params->cArgs != 1) {
                return DISP_E_BADPARAMCOUNT;
            }
            if (params->rgvarg[0].vt != VT_I4) {
                return DISP_E_TYPEMISMATCH;
            }
            if (params->rgvarg[0].lVal != 0) {
                return E_INVALIDARG;  // only mail items here
            }
            TItem* item = new TItem(state_, true, {});
            state_->items.push_back(item);
            SetDispatch(result, item);
            return S_OK;
        }
        return DISP_E_MEMBERNOTFOUND;
    }

    HRESULT STDMETHODCALLTYPE ActiveInspector(IDispatch** inspector) override {
        return Call(kDispActiveInspector, DISPATCH_METHOD, nullptr, inspector);
    }
    HRESULT STDMETHODCALLTYPE CreateItem(long itemType, IDispatch** item) override {
        VARIANT type;
        type.vt = VT_I4;
        type.lVal = itemType;
        return Call(kDispCreateItem, DISPATCH_METHOD, &type, item);
    }

  protected:
    DISPID IdOf(const wchar_t* name) override {
        if (_wcsicmp(name, L"ActiveInspector") == 0) {
            return kDispActiveInspector;
        }
        return _wcsicmp(name, L"CreateItem") == 0 ? kDispCreateItem : DISPID_UNKNOWN;
    }
    HRESULT InterfaceQuery() override {
        FakeLog(Name(), L"QueryInterface", L"_Application");
        return Fail(state_->control, L"_Application", nullptr);
    }
};

class TFactory : public IClassFactory {
  public:
    explicit TFactory(IDispatch* (*make)()) : make_(make) { InterlockedIncrement(&g_objects); }
    virtual ~TFactory() { InterlockedDecrement(&g_objects); }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *out = this;
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&refs_); }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG n = InterlockedDecrement(&refs_);
        if (n == 0) {
            delete this;
        }
        return n;
    }
    HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID riid, void** out) override {
        *out = nullptr;
        if (outer != nullptr) {
            return CLASS_E_NOAGGREGATION;
        }
        IDispatch* object = make_();
        const HRESULT hr = object->QueryInterface(riid, out);
        object->Release();
        return hr;
    }
    HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override {
        if (lock) {
            InterlockedIncrement(&g_objects);
        } else {
            InterlockedDecrement(&g_objects);
        }
        return S_OK;
    }

  private:
    IDispatch* (*make_)();
    LONG refs_ = 1;
};

// ---------------------------------------------------------------------------
// Registration.

constexpr wchar_t kClassKey[] = L"CLSID\\{0006F033-0000-0000-C000-000000000046}";
constexpr wchar_t kProgId[] = L"Outlook.Application";

LSTATUS SetValue(const std::wstring& key, const wchar_t* name, const std::wstring& value) {
    HKEY h = nullptr;
    LSTATUS rc = RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                                 &h, nullptr);
    if (rc != ERROR_SUCCESS) {
        return rc;
    }
    rc = RegSetValueExW(h, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                        static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
    return rc;
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) {
        return false;
    }
    RegCloseKey(h);
    return true;
}

}  // namespace

void SetFakeModule(HMODULE module) {
    g_module = module;
}

std::wstring ModulePath(HMODULE module) {
    std::wstring path(MAX_PATH, L'\0');
    while (true) {
        const DWORD n = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);
    }
}

std::wstring FakeDir() {
    std::wstring path = ModulePath(g_module);
    return path.substr(0, path.find_last_of(L'\\'));
}

void SetFakeRole(const std::wstring& role) {
    g_role = role;
}

void FakeLog(const std::wstring& object, const std::wstring& member, const std::wstring& args) {
    const std::string line = Narrow(g_role + L"\t" + object + L"\t" + member + L"\t" + args) + "\n";
    HANDLE file = CreateFileW((FakeDir() + L"\\fake_outlook.log").c_str(), FILE_APPEND_DATA,
                              FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        return;
    }
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
    CloseHandle(file);
}

IDispatch* CreateFakeApplication() {
    auto state = std::make_shared<TState>();
    state->control = ReadControl();
    FakeLog(L"Application", L"create", L"");
    return new TApplication(state);
}

LONG FakeObjectCount() {
    return g_objects;
}

IClassFactory* CreateFakeFactory(IDispatch* (*make)()) {
    return new TFactory(make);
}

HRESULT RegisterFakeServer(const wchar_t* serverKey, const std::wstring& command) {
    ITypeLib* typeLib = nullptr;
    HRESULT hr =
        LoadTypeLibEx((FakeDir() + L"\\fake_outlook.tlb").c_str(), REGKIND_REGISTER, &typeLib);
    if (FAILED(hr)) {
        return hr;
    }
    typeLib->Release();
    const std::wstring cls = kClassKey;
    const LSTATUS rc[] = {
        SetValue(cls, nullptr, L"Microsoft Outlook"),
        SetValue(cls + L"\\ProgID", nullptr, L"Outlook.Application.9"),
        SetValue(cls + L"\\VersionIndependentProgID", nullptr, kProgId),
        SetValue(cls + L"\\" + serverKey, nullptr, command),
        std::wstring(serverKey) == L"InprocServer32"
            ? SetValue(cls + L"\\" + serverKey, L"ThreadingModel", L"Apartment")
            : ERROR_SUCCESS,
        SetValue(std::wstring(kProgId) + L"\\CLSID", nullptr,
                 L"{0006F033-0000-0000-C000-000000000046}"),
    };
    for (LSTATUS r : rc) {
        if (r != ERROR_SUCCESS) {
            return HRESULT_FROM_WIN32(r);
        }
    }
    return S_OK;
}

HRESULT UnregisterFakeServer(const wchar_t* serverKey) {
    const std::wstring cls = kClassKey;
    RegDeleteTreeW(HKEY_CLASSES_ROOT, (cls + L"\\" + serverKey).c_str());
    if (!KeyExists(cls + L"\\InprocServer32") && !KeyExists(cls + L"\\LocalServer32")) {
        RegDeleteTreeW(HKEY_CLASSES_ROOT, cls.c_str());
        RegDeleteTreeW(HKEY_CLASSES_ROOT, kProgId);
    }
    return S_OK;
}
