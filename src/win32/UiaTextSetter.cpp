#include "win32/UiaTextSetter.h"

// The generated UI Automation header needs the OLE headers first.
// clang-format off
#include <windows.h>
#include <ole2.h>
#include <uiautomationclient.h>
// clang-format on

#include "win32/AccessibleTextSetter.h"
#include "win32/ComPtr.h"
#include "win32/Win32Text.h"

namespace quenby {
namespace {

// The published identifiers, defined here rather than taken from a library that may lack them.
constexpr CLSID kClsidCUIAutomation8{
    0xe22ad333, 0xb25f, 0x460c, {0x83, 0xd0, 0x05, 0x81, 0x10, 0x73, 0x95, 0xc9}};
constexpr CLSID kClsidCUIAutomation{
    0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
constexpr IID kIidIUIAutomation{
    0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
constexpr IID kIidIUIAutomation2{
    0x34723aff, 0x0c9d, 0x49d0, {0x98, 0x96, 0x7a, 0xb5, 0x2d, 0xf8, 0xcd, 0x8a}};
constexpr IID kIidIUIAutomationValuePattern{
    0xa94cd8b1, 0x0844, 0x4cd6, {0x9d, 0x2d, 0x64, 0x05, 0x37, 0xab, 0x39, 0xe9}};
constexpr PATTERNID kValuePatternId = 10002;

// The element's Value pattern when the element is enabled and its value may be written.
bool FindValuePattern(IUIAutomation& automation, ScreenPoint point,
                      CComPtr<IUIAutomationValuePattern>& pattern) {
    CComPtr<IUIAutomationElement> element;
    if (FAILED(automation.ElementFromPoint(POINT{point.m_x, point.m_y}, element.Put())) ||
        !element) {
        return false;
    }
    BOOL enabled = FALSE;
    if (FAILED(element->get_CurrentIsEnabled(&enabled)) || !enabled) {
        return false;
    }
    if (FAILED(element->GetCurrentPatternAs(kValuePatternId, kIidIUIAutomationValuePattern,
                                            reinterpret_cast<void**>(pattern.Put()))) ||
        !pattern) {
        return false;
    }
    BOOL readOnly = TRUE;
    return SUCCEEDED(pattern->get_CurrentIsReadOnly(&readOnly)) && !readOnly;
}

}  // namespace

std::unique_ptr<CUiaTextSetter> CUiaTextSetter::Create() {
    // CUIAutomation8 (Windows 8 and later) has timeouts; the plain object is the fallback.
    IUIAutomation2* automation2 = nullptr;
    if (SUCCEEDED(::CoCreateInstance(kClsidCUIAutomation8, nullptr, CLSCTX_INPROC_SERVER,
                                     kIidIUIAutomation2, reinterpret_cast<void**>(&automation2)))) {
        const auto limit = static_cast<DWORD>(kTextSetterTimeout.count());
        automation2->put_ConnectionTimeout(limit);
        automation2->put_TransactionTimeout(limit);
        return std::unique_ptr<CUiaTextSetter>(new CUiaTextSetter(automation2));
    }
    IUIAutomation* automation = nullptr;
    if (SUCCEEDED(::CoCreateInstance(kClsidCUIAutomation, nullptr, CLSCTX_INPROC_SERVER,
                                     kIidIUIAutomation, reinterpret_cast<void**>(&automation)))) {
        return std::unique_ptr<CUiaTextSetter>(new CUiaTextSetter(automation));
    }
    return nullptr;
}

CUiaTextSetter::~CUiaTextSetter() {
    m_pAutomation->Release();
}

bool CUiaTextSetter::CanSetTextAt(ScreenPoint point) {
    CComPtr<IUIAutomationValuePattern> pattern;
    return WindowAtPointAnswers(POINT{point.m_x, point.m_y}) &&
           FindValuePattern(*m_pAutomation, point, pattern);
}

bool CUiaTextSetter::SetTextAt(ScreenPoint point, const std::u16string& text) {
    CComPtr<IUIAutomationValuePattern> pattern;
    if (!WindowAtPointAnswers(POINT{point.m_x, point.m_y}) ||
        !FindValuePattern(*m_pAutomation, point, pattern)) {
        return false;
    }
    const std::wstring wide = WideFromUtf16(text);
    BSTR value = ::SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    const HRESULT result = pattern->SetValue(value);
    ::SysFreeString(value);
    return SUCCEEDED(result);
}

}  // namespace quenby
