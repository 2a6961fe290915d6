#pragma once
// What the probe plugin, loaded into the mossgate under test, reads from the
// tray menu while it is open, and hands to the stress test through a named
// section.
#include <windows.h>

inline constexpr wchar_t ProbeSectionName[] = L"mossgate_monkey_probe";
inline constexpr wchar_t ProbeRequestName[] = L"mossgate_monkey_probe_request";
inline constexpr wchar_t ProbeDoneName[] = L"mossgate_monkey_probe_done";
inline constexpr DWORD ProbeCapacity = 256;

enum ProbeItemKind : DWORD {
    ProbeOther = 0,
    ProbeSeparator = 1,
    ProbeWindow = 2,
};

struct ProbeItem {
    DWORD kind;
    DWORD reserved;
    ULONGLONG window; // for ProbeWindow: the window the item stands for
};

// The root items of the open tray menu, top to bottom.
struct ProbeRecord {
    volatile LONG count;
    DWORD reserved;
    ProbeItem items[ProbeCapacity];
};
