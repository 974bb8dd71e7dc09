// GCC 14's runtime imports GetThreadId (libgcc's win32 threads, which the C++
// runtime's exception memory pool pulls in), and Windows 2000 does not export
// it: an image importing it would not load there. Its one user compares two
// threads' ids, which this program never does. The import is answered here,
// by a stand-in that looks the call up at run time, so the image imports
// nothing newer than Windows 2000. An older runtime asks for no such import,
// and the linker drops this.
#include <windows.h>

#include "platform/late_bound.h"

namespace {

DWORD WINAPI GetThreadIdLateBound(HANDLE thread)
{
    return late::GetThreadId(thread);
}

} // namespace

// The import slot's name, which the runtime's calls go through.
extern "C" DWORD(WINAPI* const fullcheck_GetThreadId)(HANDLE) __asm__("__imp__GetThreadId@4");
extern "C" DWORD(WINAPI* const fullcheck_GetThreadId)(HANDLE) = GetThreadIdLateBound;
