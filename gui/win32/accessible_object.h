// What screen readers are told of a form's windows beyond what the system's
// standard accessible objects say: a control's name of its own (the system
// names a text box after the label before it in the window's order), the
// window's description, and that a hidden control takes no focus (the
// standard object calls every enabled window focusable).
//
// A window answers WM_GETOBJECT for its client area (OBJID_CLIENT) with an
// object that wraps the system's standard one (CreateStdAccessibleObject)
// and hands every other question to it. Accessibility clients read that
// object from Windows 7 on, through MSAA or UI Automation's bridge to it,
// and so does wine's AccessibleObjectFromWindow. The system's dynamic
// annotation (IAccPropServices) would do without a window procedure, but
// wine's standard objects never consult it.
//
// Answering across processes marshals the object through COM: the thread
// that runs the window must have entered a COM apartment. Without one, or
// when the object cannot be made, the window answers as it would without
// this (the standard object).
#pragma once

#include <string>

#include "platform/windows/windows_api.h"

namespace corvane {

struct AccessibleOverrides {
  std::wstring name = {};         // the standard object's when empty
  std::wstring description = {};  // the standard object's when empty
};

// The answer to WM_GETOBJECT (`flags`, `object`) sent to `window`: for its
// client area, the standard object with `overrides`; 0 for any other
// object, or when it cannot be given, to be answered as usual.
LRESULT AnswerGetObject(HWND window, WPARAM flags, LPARAM object,
                        const AccessibleOverrides& overrides);

// Has the control `control` answer so from now on, until it is destroyed.
// Throws WindowsError when it cannot.
void AnswerForControl(HWND control, AccessibleOverrides overrides);

}  // namespace corvane
