#include "windows_answers.h"

#include <windows.h>

#include <winternl.h>

#include <cstring>

#include "seam.h"

namespace {

const NTSTATUS kStatusInvalidInfoClass = static_cast<NTSTATUS>(0xC0000003);

using QueryDirectoryFile = NTSTATUS(NTAPI*)(HANDLE, HANDLE, PIO_APC_ROUTINE, PVOID, PIO_STATUS_BLOCK, PVOID,
                                            ULONG, FILE_INFORMATION_CLASS, BOOLEAN, PUNICODE_STRING, BOOLEAN);

// ---- listing-without-ids -------------------------------------------------
// A file system without the listing class with file ids: Windows 2000 (the
// class is documented for XP and later) and redirectors that do not pass it
// on. NtQueryDirectoryFile / ZwQueryDirectoryFile documentation: an
// information class the file system does not know fails with
// STATUS_INVALID_INFO_CLASS (FileIdFullDirectoryInformation: "FILE_ID_FULL_
// DIR_INFORMATION", MS-FSCC 2.4.18; the class without ids, MS-FSCC 2.4.14).
NTSTATUS NTAPI ListWithoutIds(HANDLE handle, HANDLE event, PIO_APC_ROUTINE apcRoutine, PVOID apcContext,
                              PIO_STATUS_BLOCK io, PVOID information, ULONG length,
                              FILE_INFORMATION_CLASS informationClass, BOOLEAN returnSingleEntry,
                              PUNICODE_STRING fileName, BOOLEAN restartScan)
{
    if (informationClass == FileIdFullDirectoryInformation) {
        return kStatusInvalidInfoClass;
    }
    return SeamOriginalAs<QueryDirectoryFile>("NtQueryDirectoryFile")(
        handle, event, apcRoutine, apcContext, io, information, length, informationClass, returnSingleEntry,
        fileName, restartScan);
}

void InstallListingWithoutIds()
{
    SeamReplaceWith("NtQueryDirectoryFile", &ListWithoutIds);
}

struct Answer {
    const char* name;
    void (*install)();
};

const Answer kCatalogue[] = {
    {"listing-without-ids", &InstallListingWithoutIds},
};

} // namespace

bool InstallWindowsAnswer(const char* name)
{
    for (const Answer& answer : kCatalogue) {
        if (std::strcmp(answer.name, name) == 0) {
            answer.install();
            return true;
        }
    }
    return false;
}

bool InstallWindowsAnswers(const char* names, char* unknown, unsigned unknownSize)
{
    const char* start = names;
    while (*start != '\0') {
        const char* end = std::strchr(start, ',');
        size_t length = end != nullptr ? static_cast<size_t>(end - start) : std::strlen(start);
        char name[64] = {};
        bool fits = length < sizeof(name);
        if (fits) {
            std::memcpy(name, start, length);
        }
        if (length > 0 && (!fits || !InstallWindowsAnswer(name))) {
            if (unknownSize > 0) {
                size_t copied = length < unknownSize ? length : unknownSize - 1;
                std::memcpy(unknown, start, copied);
                unknown[copied] = '\0';
            }
            return false;
        }
        start += length;
        if (*start == ',') {
            ++start;
        }
    }
    return true;
}
