#include "gui/win32/accessible_object.h"

// clang-format off
#include "platform/windows/windows_api.h"
#include <commctrl.h>
#include <oleacc.h>
// clang-format on

#include <atomic>
#include <memory>
#include <new>
#include <utility>

#include "platform/windows/windows_error.h"

namespace corvane {

namespace {

// Interface identifiers are taken from the headers (__uuidof): 64-bit
// mingw-w64's import library of oleacc.dll gives IID_IAccessible as a stub
// of code, which a link may pick before libuuid's.

bool IsSelf(const VARIANT& child) { return child.vt == VT_I4 && child.lVal == CHILDID_SELF; }

HRESULT Give(const std::wstring& text, BSTR* out) {
  if (out == nullptr) return E_POINTER;
  *out = ::SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

// The standard object of a window's client area with the overrides; every
// other question goes to the standard object.
class AccessibleObject final : public IAccessible {
 public:
  AccessibleObject(IAccessible* standard, HWND window, const AccessibleOverrides& overrides)
      : standard_(standard), window_(window), overrides_(overrides) {}
  AccessibleObject(const AccessibleObject&) = delete;
  AccessibleObject& operator=(const AccessibleObject&) = delete;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** out) override {
    if (out == nullptr) return E_POINTER;
    *out = nullptr;
    if (id == __uuidof(IUnknown) || id == __uuidof(IDispatch) || id == __uuidof(IAccessible)) {
      *out = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    // The standard object's list of children and its window, through which
    // clients walk the tree; nothing more of it, so that COM marshals this
    // object, not the standard one.
    if (id == __uuidof(IEnumVARIANT) || id == __uuidof(IOleWindow))
      return standard_->QueryInterface(id, out);
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
  ULONG STDMETHODCALLTYPE Release() override {
    const ULONG left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    return standard_->GetTypeInfoCount(count);
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override {
    return standard_->GetTypeInfo(index, locale, info);
  }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID id, LPOLESTR* names, UINT count, LCID locale,
                                          DISPID* ids) override {
    return standard_->GetIDsOfNames(id, names, count, locale, ids);
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID member, REFIID id, LCID locale, WORD flags,
                                   DISPPARAMS* parameters, VARIANT* result, EXCEPINFO* exception,
                                   UINT* wrong_argument) override {
    return standard_->Invoke(member, id, locale, flags, parameters, result, exception,
                             wrong_argument);
  }

  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (IsSelf(child) && !overrides_.name.empty()) return Give(overrides_.name, name);
    return standard_->get_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override {
    if (IsSelf(child) && !overrides_.description.empty()) {
      return Give(overrides_.description, description);
    }
    return standard_->get_accDescription(child, description);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = standard_->get_accState(child, state);
    if (SUCCEEDED(result) && IsSelf(child) && state->vt == VT_I4 &&
        (::GetWindowLongPtrW(window_, GWL_STYLE) & WS_VISIBLE) == 0) {
      state->lVal = (state->lVal & ~STATE_SYSTEM_FOCUSABLE) | STATE_SYSTEM_INVISIBLE;
    }
    return result;
  }

  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return standard_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(LONG* count) override {
    return standard_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return standard_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    return standard_->get_accValue(child, value);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    return standard_->get_accRole(child, role);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return standard_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) override {
    return standard_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override {
    return standard_->get_accKeyboardShortcut(child, shortcut);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override {
    return standard_->get_accFocus(child);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override {
    return standard_->get_accSelection(children);
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    return standard_->get_accDefaultAction(child, action);
  }
  HRESULT STDMETHODCALLTYPE accSelect(LONG how, VARIANT child) override {
    return standard_->accSelect(how, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                        VARIANT child) override {
    return standard_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(LONG direction, VARIANT start, VARIANT* end) override {
    return standard_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(LONG x, LONG y, VARIANT* child) override {
    return standard_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    return standard_->accDoDefaultAction(child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override {
    return standard_->put_accName(child, name);
  }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return standard_->put_accValue(child, value);
  }

 private:
  ~AccessibleObject() { standard_->Release(); }

  IAccessible* standard_;  // owned
  HWND window_;
  AccessibleOverrides overrides_;
  std::atomic<ULONG> references_{1};
};

// Answers WM_GETOBJECT for a control, with the overrides it owns.
LRESULT CALLBACK ControlProcedure(HWND control, UINT message, WPARAM w, LPARAM l, UINT_PTR,
                                  DWORD_PTR data) {
  auto* overrides = reinterpret_cast<AccessibleOverrides*>(data);
  if (message == WM_GETOBJECT) {
    if (const LRESULT answer = AnswerGetObject(control, w, l, *overrides); answer > 0) {
      return answer;
    }
  } else if (message == WM_NCDESTROY) {
    ::RemoveWindowSubclass(control, ControlProcedure, 0);
    delete overrides;
  }
  return ::DefSubclassProc(control, message, w, l);
}

}  // namespace

LRESULT AnswerGetObject(HWND window, WPARAM flags, LPARAM object,
                        const AccessibleOverrides& overrides) {
  // The identifier is a 32-bit value even where LPARAM is 64 bits wide.
  if (static_cast<DWORD>(object) != static_cast<DWORD>(OBJID_CLIENT)) return 0;
  IAccessible* standard = nullptr;
  if (FAILED(::CreateStdAccessibleObject(window, OBJID_CLIENT, __uuidof(IAccessible),
                                         reinterpret_cast<void**>(&standard)))) {
    return 0;
  }
  auto* accessible = new (std::nothrow) AccessibleObject(standard, window, overrides);
  if (accessible == nullptr) {
    standard->Release();
    return 0;
  }
  // The answer holds its own reference; a failure (a negative HRESULT)
  // leaves the question to the standard object.
  const LRESULT answer = ::LresultFromObject(__uuidof(IAccessible), flags, accessible);
  accessible->Release();
  return answer > 0 ? answer : 0;
}

void AnswerForControl(HWND control, AccessibleOverrides overrides) {
  auto owned = std::make_unique<AccessibleOverrides>(std::move(overrides));
  if (!::SetWindowSubclass(control, ControlProcedure, 0,
                           reinterpret_cast<DWORD_PTR>(owned.get()))) {
    throw WindowsError(::GetLastError(), "cannot answer screen readers for a control", "");
  }
  static_cast<void>(owned.release());  // the control's now, until WM_NCDESTROY
}

}  // namespace corvane
