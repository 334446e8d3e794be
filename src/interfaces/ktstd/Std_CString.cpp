#include <ktstd/Std_CString.h>

Std_CString::Std_CString(const char* text) : text_(text ? text : "") {}

Std_CString::~Std_CString() = default;

Std_CString& Std_CString::assign(const char* text) {
    text_.assign(text ? text : "");
    return *this;
}
