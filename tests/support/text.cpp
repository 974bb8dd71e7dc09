#include <windows.h>

#include <shellapi.h>

#include "text.h"

std::vector<std::wstring> CommandArguments()
{
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (argv == nullptr) {
        return {};
    }
    std::vector<std::wstring> args(argv + 1, argv + argc);
    LocalFree(argv);
    return args;
}

std::string Narrow(const std::wstring& text)
{
    int bytes = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0,
                                    nullptr, nullptr);
    if (bytes <= 0) {
        return std::string();
    }
    std::string utf8(bytes, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &utf8[0], bytes, nullptr,
                        nullptr);
    return utf8;
}

std::wstring Widen(const std::string& text)
{
    int units = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0);
    if (units <= 0) {
        return std::wstring();
    }
    std::wstring wide(units, L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), &wide[0], units);
    return wide;
}

std::vector<BYTE> BytesOf(const std::wstring& units)
{
    const BYTE* begin = reinterpret_cast<const BYTE*>(units.data());
    return std::vector<BYTE>(begin, begin + units.size() * sizeof(WCHAR));
}
