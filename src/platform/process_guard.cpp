#include <windows.h>

#include "platform/late_bound.h"
#include "platform/process_guard.h"

static_assert(ProcessRedirectionTrustPolicy == 16, "the policy's number as the platform knows it");

void RestrictDllSearch()
{
    if (late::SetDefaultDllDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32)) {
        return;
    }
    // Result not examined: Windows 2000 lacks even this call, and there the
    // full system paths of late_bound are all that keeps the search away.
    late::SetDllDirectoryW(L"");
}

void EnforceRedirectionTrust()
{
    PROCESS_MITIGATION_REDIRECTION_TRUST_POLICY policy = {};
    policy.EnforceRedirectionTrust = 1;
    // Result not examined: a platform without the policy refuses it, and the
    // deletion's own checks of every handle hold without it.
    late::SetProcessMitigationPolicy(ProcessRedirectionTrustPolicy, &policy, sizeof(policy));
}
