#include "win32/AccessibleTextSetter.h"

// Oleacc.h needs the OLE headers first.
// clang-format off
#include <ole2.h>
#include <oleacc.h>
// clang-format on

#include "win32/ComPtr.h"
#include "win32/Win32Text.h"

namespace quenby {
namespace {

// The accessible object at a point and which of its children (CHILDID_SELF: itself) is there.
struct AccessibleAt {
    CComPtr<IAccessible> m_object;
    VARIANT m_child{};
};

bool FindEditable(ScreenPoint point, AccessibleAt& found) {
    const POINT where{point.m_x, point.m_y};
    if (!WindowAtPointAnswers(where)) {
        return false;
    }
    VariantInit(&found.m_child);
    if (FAILED(::AccessibleObjectFromPoint(where, found.m_object.Put(), &found.m_child)) ||
        !found.m_object) {
        return false;
    }
    VARIANT state;
    VariantInit(&state);
    if (FAILED(found.m_object->get_accState(found.m_child, &state)) || state.vt != VT_I4) {
        VariantClear(&state);
        return false;
    }
    const auto flags = static_cast<unsigned long>(state.lVal);
    if ((flags & (STATE_SYSTEM_READONLY | STATE_SYSTEM_UNAVAILABLE)) != 0) {
        return false;
    }
    // Only an object with a value takes one: a button or a label has none.
    BSTR value = nullptr;
    const HRESULT hasValue = found.m_object->get_accValue(found.m_child, &value);
    ::SysFreeString(value);
    return hasValue == S_OK;
}

}  // namespace

bool WindowAtPointAnswers(POINT point) {
    HWND window = ::WindowFromPoint(point);
    if (window == nullptr) {
        return false;
    }
    DWORD_PTR result = 0;
    return ::SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_ABORTIFHUNG | SMTO_BLOCK,
                                 static_cast<UINT>(kTextSetterTimeout.count()), &result) != 0;
}

bool CAccessibleTextSetter::CanSetTextAt(ScreenPoint point) {
    AccessibleAt found;
    const bool editable = FindEditable(point, found);
    VariantClear(&found.m_child);
    return editable;
}

bool CAccessibleTextSetter::SetTextAt(ScreenPoint point, const std::u16string& text) {
    AccessibleAt found;
    if (!FindEditable(point, found)) {
        VariantClear(&found.m_child);
        return false;
    }
    const std::wstring wide = WideFromUtf16(text);
    BSTR value = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    const HRESULT result = found.m_object->put_accValue(found.m_child, value);
    ::SysFreeString(value);
    VariantClear(&found.m_child);
    return SUCCEEDED(result);
}

}  // namespace quenby
