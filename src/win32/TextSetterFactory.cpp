#include "win32/TextSetterFactory.h"

#include "win32/AccessibleTextSetter.h"
#include "win32/UiaTextSetter.h"

namespace quenby {

std::unique_ptr<ITextSetter> CWin32TextSetterFactory::CreateTextSetter() {
    if (std::unique_ptr<CUiaTextSetter> automation = CUiaTextSetter::Create()) {
        return automation;
    }
    return std::make_unique<CAccessibleTextSetter>();
}

}  // namespace quenby
