#include "HeapCounter.h"

#include <pthread.h>

#include <atomic>
#include <cerrno>
#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#define HEAP_OWNED_BY_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define HEAP_OWNED_BY_ASAN 1
#endif
#endif

namespace {

std::atomic<bool> counting{false};
pthread_t countingThread;
std::atomic<long> allocations{0};

void Count()
{
    if (counting.load(std::memory_order_relaxed) && pthread_equal(pthread_self(), countingThread))
        allocations.fetch_add(1, std::memory_order_relaxed);
}

} // namespace

#ifdef HEAP_OWNED_BY_ASAN

// AddressSanitizer has the allocation functions to itself; it reports every allocation to a hook.
extern "C" int __sanitizer_install_malloc_and_free_hooks(void (*)(const volatile void *,
                                                                  std::size_t),
                                                         void (*)(const volatile void *));

namespace {

void OnAllocation(const volatile void *, std::size_t)
{
    Count();
}
void OnRelease(const volatile void *) {}

// Once only: every installation adds one more hook.
void Listen()
{
    static const bool listening =
        __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnRelease) != 0;
    (void)listening;
}

} // namespace

#else

// The C library's allocation functions, replaced by ones that count and hand on to the library's
// own (a replacement glibc supports), so that nothing escapes: operator new, Qt and OpenCV all
// come through here.
extern "C" {

void *__libc_malloc(std::size_t size);
void *__libc_calloc(std::size_t count, std::size_t size);
void *__libc_realloc(void *memory, std::size_t size);
void *__libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void *memory);

void *malloc(std::size_t size) noexcept
{
    Count();
    return __libc_malloc(size);
}

void *calloc(std::size_t count, std::size_t size) noexcept
{
    Count();
    return __libc_calloc(count, size);
}

void *realloc(void *memory, std::size_t size) noexcept
{
    Count();
    return __libc_realloc(memory, size);
}

void *memalign(std::size_t alignment, std::size_t size) noexcept
{
    Count();
    return __libc_memalign(alignment, size);
}

void *aligned_alloc(std::size_t alignment, std::size_t size) noexcept
{
    Count();
    return __libc_memalign(alignment, size);
}

int posix_memalign(void **memory, std::size_t alignment, std::size_t size) noexcept
{
    Count();
    if (alignment % sizeof(void *) != 0 || (alignment & (alignment - 1)) != 0)
        return EINVAL;
    void *block = __libc_memalign(alignment, size);
    if (!block)
        return ENOMEM;
    *memory = block;
    return 0;
}

void free(void *memory) noexcept
{
    __libc_free(memory);
}

} // extern "C"

namespace {
void Listen() {}
} // namespace

#endif

namespace heap {

void StartCounting()
{
    Listen();
    countingThread = pthread_self();
    allocations = 0;
    counting = true;
}

long StopCounting()
{
    counting = false;
    return allocations;
}

} // namespace heap
