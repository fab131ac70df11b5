// Counting malloc: this program's malloc, free, calloc, realloc and the aligned forms forward to
// the C library's own entry points and, while a measurement runs, add up the usable sizes of the
// blocks in use. glibc allows a program to replace these functions; they must all be replaced
// together. Single-threaded use only.
#include "counting_allocator.h"

#include <malloc.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>

extern "C" {
void* __libc_malloc(std::size_t size);
void __libc_free(void* p);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* p, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
}

namespace {
bool g_counting = false;
std::int64_t g_current = 0;
std::int64_t g_peak = 0;

std::int64_t Usable(void* p) {
    return p ? static_cast<std::int64_t>(malloc_usable_size(p)) : 0;
}

void* Added(void* p) {
    if (p && g_counting) {
        g_current += Usable(p);
        if (g_current > g_peak) g_peak = g_current;
    }
    return p;
}
}  // namespace

namespace bench {

std::int64_t PeakHeapBytes(const std::function<void()>& fn) {
    g_current = g_peak = 0;
    g_counting = true;
    fn();
    g_counting = false;
    return g_peak;
}

}  // namespace bench

extern "C" {

void* malloc(std::size_t size) {
    return Added(__libc_malloc(size));
}

void free(void* p) {
    if (g_counting) g_current -= Usable(p);
    __libc_free(p);
}

void* calloc(std::size_t count, std::size_t size) {
    return Added(__libc_calloc(count, size));
}

void* realloc(void* p, std::size_t size) {
    const std::int64_t before = g_counting ? Usable(p) : 0;
    void* q = __libc_realloc(p, size);
    if (g_counting && (q || size == 0)) {  // on failure the old block stays
        g_current -= before;
        Added(q);
    }
    return q;
}

void* memalign(std::size_t alignment, std::size_t size) {
    return Added(__libc_memalign(alignment, size));
}

void* aligned_alloc(std::size_t alignment, std::size_t size) {
    return Added(__libc_memalign(alignment, size));
}

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    if (alignment % sizeof(void*) != 0 || (alignment & (alignment - 1)) != 0) return EINVAL;
    void* p = Added(__libc_memalign(alignment, size));
    if (!p && size) return ENOMEM;
    *out = p;
    return 0;
}

void* valloc(std::size_t size) {
    return Added(__libc_memalign(static_cast<std::size_t>(sysconf(_SC_PAGESIZE)), size));
}

void* pvalloc(std::size_t size) {
    const auto page = static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
    return Added(__libc_memalign(page, (size + page - 1) / page * page));
}

}  // extern "C"
