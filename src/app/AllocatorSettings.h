#pragma once

namespace veltrano {

// How the C library's allocator treats large blocks, set once at start.
//
// Report tables at their limit work with many temporary buffers of a few
// hundred kilobytes to a few megabytes (sort keys and orders, an imported
// file, a sitemap's addresses). By default the allocator maps each such
// block from the system afresh and returns it when freed, so every sort or
// import pays for faulting its pages in again; how often depends on what ran
// before. Blocks up to 32 MB are taken from the heap instead, and up to
// 32 MB of freed heap is kept for the next use rather than handed back.
class AllocatorSettings final {
public:
    static constexpr int kHeapBlockLimit = 32 * 1024 * 1024;
    static constexpr int kKeptFreeMemory = 32 * 1024 * 1024;

    // Applies the settings; does nothing where the allocator has no such
    // settings.
    static void apply();
};

} // namespace veltrano
