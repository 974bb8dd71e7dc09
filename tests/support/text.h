// Text between the UTF-16 of Windows and the UTF-8 of messages and files.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// text as UTF-8; empty when it cannot be converted.
std::string Narrow(const std::wstring& text);

// This program's command-line arguments, its own name left out; empty when
// the command line cannot be split.
std::vector<std::wstring> CommandArguments();

// UTF-8 text as UTF-16; empty when it cannot be converted.
std::wstring Widen(const std::string& text);

// The bytes of the UTF-16 units as the registry stores them (a terminator
// only where units holds one).
std::vector<BYTE> BytesOf(const std::wstring& units);
