#pragma once

#include <unknwn.h>

namespace quenby {

// Owns one reference to a COM interface and releases it on every way out.
template <typename T>
class CComPtr {
public:
    CComPtr() = default;
    ~CComPtr() { Reset(); }
    CComPtr(const CComPtr&) = delete;
    CComPtr& operator=(const CComPtr&) = delete;

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For the out-parameter of a call that hands over a reference; drops the one held before.
    T** Put() {
        Reset();
        return &m_p;
    }
    void Reset() {
        if (m_p != nullptr) {
            m_p->Release();
            m_p = nullptr;
        }
    }

private:
    T* m_p = nullptr;
};

}  // namespace quenby
