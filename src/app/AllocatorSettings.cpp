#include "app/AllocatorSettings.h"

#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace veltrano {

void AllocatorSettings::apply()
{
#if defined(__GLIBC__)
    // A fixed threshold also stops glibc from moving it by itself.
    mallopt(M_MMAP_THRESHOLD, kHeapBlockLimit);
    mallopt(M_TRIM_THRESHOLD, kKeptFreeMemory);
#endif
}

} // namespace veltrano
