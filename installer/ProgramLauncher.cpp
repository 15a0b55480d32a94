#include "ProgramLauncher.h"

#include <windows.h>

#include <exdisp.h>
#include <shellapi.h>
#include <shldisp.h>
#include <shlguid.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "SystemDll.h"

ProgramLauncher::StartFn ProgramLauncher::throughShell = &ProgramLauncher::startThroughDesktopShell;
ProgramLauncher::StartFn ProgramLauncher::directly = &ProgramLauncher::startDirectly;

namespace {

// Holds one interface pointer and releases it.
template <class T>
class Com {
public:
    Com() = default;
    ~Com()
    {
        if (p_)
            p_->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T* operator->() const { return p_; }
    T* get() const { return p_; }
    T** out() { return &p_; }
    void** outVoid() { return reinterpret_cast<void**>(&p_); }
    explicit operator bool() const { return p_ != nullptr; }

private:
    T* p_ = nullptr;
};

class Variant {
public:
    explicit Variant(const std::wstring& text)
    {
        VariantInit(&v_);
        v_.vt = VT_BSTR;
        v_.bstrVal = SysAllocString(text.c_str());
    }
    explicit Variant(int number)
    {
        VariantInit(&v_);
        v_.vt = VT_I4;
        v_.lVal = number;
    }
    ~Variant() { VariantClear(&v_); }
    Variant(const Variant&) = delete;
    Variant& operator=(const Variant&) = delete;
    VARIANT& get() { return v_; }

private:
    VARIANT v_;
};

// The shell object of the desktop window's view: its ShellExecute runs inside Explorer.
bool desktopShell(Com<IShellDispatch2>& shell)
{
    Com<IShellWindows> windows;
    if (FAILED(CoCreateInstance(CLSID_ShellWindows, nullptr, CLSCTX_LOCAL_SERVER, IID_IShellWindows, windows.outVoid())))
        return false;
    Variant desktop(CSIDL_DESKTOP);
    VARIANT none;
    VariantInit(&none);
    long window = 0;
    Com<IDispatch> found;
    if (windows->FindWindowSW(&desktop.get(), &none, SWC_DESKTOP, &window, SWFO_NEEDDISPATCH, found.out()) != S_OK ||
        !found)
        return false;
    Com<IServiceProvider> provider;
    Com<IShellBrowser> browser;
    Com<IShellView> view;
    Com<IDispatch> background;
    Com<IShellFolderViewDual> folderView;
    Com<IDispatch> application;
    return SUCCEEDED(found->QueryInterface(IID_IServiceProvider, provider.outVoid())) &&
           SUCCEEDED(provider->QueryService(SID_STopLevelBrowser, IID_IShellBrowser, browser.outVoid())) &&
           SUCCEEDED(browser->QueryActiveShellView(view.out())) &&
           SUCCEEDED(view->GetItemObject(SVGIO_BACKGROUND, IID_IDispatch, background.outVoid())) &&
           SUCCEEDED(background->QueryInterface(IID_IShellFolderViewDual, folderView.outVoid())) &&
           SUCCEEDED(folderView->get_Application(application.out())) &&
           SUCCEEDED(application->QueryInterface(IID_IShellDispatch2, shell.outVoid()));
}

}  // namespace

bool ProgramLauncher::start(const std::wstring& program, const std::wstring& folder)
{
    return throughShell(program, folder) || directly(program, folder);
}

bool ProgramLauncher::startThroughDesktopShell(const std::wstring& program, const std::wstring& folder)
{
    // S_FALSE: already initialised on this thread, still to be balanced.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    bool started = false;
    {
        Com<IShellDispatch2> shell;
        if (desktopShell(shell)) {
            BSTR file = SysAllocString(program.c_str());
            Variant arguments{std::wstring()}, directory(folder), operation(std::wstring(L"open")), show(SW_SHOWNORMAL);
            started = file && SUCCEEDED(shell->ShellExecute(file, arguments.get(), directory.get(), operation.get(),
                                                            show.get()));
            SysFreeString(file);
        }
    }
    if (SUCCEEDED(com))
        CoUninitialize();
    return started;
}

bool ProgramLauncher::startDirectly(const std::wstring& program, const std::wstring& folder)
{
    const auto execute = BOUND_PROC(SystemDll::Shell32, decltype(&ShellExecuteW), "ShellExecuteW");
    // The full path: a bare name would be looked up in the current folder first, typically the Downloads
    // folder this installer was started from.
    return execute && reinterpret_cast<INT_PTR>(execute(nullptr, L"open", program.c_str(), nullptr, folder.c_str(),
                                                        SW_SHOWNORMAL)) > 32;
}
