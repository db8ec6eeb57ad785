#pragma once
// The trace switch in front of every diagnostic line. The enabled groups are "General" and
// "System", changed by the information dictionary's "VndTraceEnabledGroupMap" (group name ->
// boolean). Group names are compared exactly. Once set up, the switch also governs the platform
// layer's trace lines (VND_TRACE).
#include <string>
#include <string_view>

#include "platform/core/Log.h"

class VndDiags {
  public:
    // Builds the registry once (also done by the first question) and installs it as the
    // process's trace switch.
    static void initialize();
    static bool traceEnabledForGroup(std::string_view group);
    // Builds the registry again from the current information dictionary (after the dictionary
    // was replaced, as tests do) and installs it as the process's trace switch again, in place of
    // whatever switch was installed meanwhile.
    static void reloadFromInfoDictionary();
};

bool VndTraceEnabledForGroup(std::string_view group);
