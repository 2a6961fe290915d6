#include "app/ReadableMemory.h"

#include <windows.h>

bool isReadableMemory(const void* address, size_t size) {
    auto cursor = static_cast<const char*>(address);
    const char* end = cursor + size;
    if (!address || end < cursor)
        return false;
    constexpr DWORD Readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
    while (cursor < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(cursor, &info, sizeof(info)) != sizeof(info))
            return false;
        if (info.State != MEM_COMMIT || !(info.Protect & Readable) || (info.Protect & PAGE_GUARD))
            return false;
        cursor = static_cast<const char*>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}
