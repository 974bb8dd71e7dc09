#include <windows.h>

#include <share.h>
#include <stdio.h>

#include "platform/fileprobe.h"

bool CanOpenForReading(const WCHAR* path)
{
    FILE* file = _wfsopen(path, L"rb", _SH_DENYNO);
    if (file == nullptr) {
        return false;
    }
    fclose(file);
    return true;
}
