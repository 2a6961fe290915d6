#pragma once
#include <cstddef>

// True when [address, address + size) is committed, readable memory of this
// process. Messages that carry pointers can be posted by any program on the
// desktop; their pointers are checked with this before use.
bool isReadableMemory(const void* address, size_t size);
