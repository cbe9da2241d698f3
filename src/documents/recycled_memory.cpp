#include "documents/recycled_memory.hpp"

#include <pugixml.hpp>

#include <cstdlib>

// Under AddressSanitizer a kept block is poisoned until it is handed out again, so that a
// document's use of its tree after closing is still caught although the memory is not freed.
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define TORL7_KEEP_HIDDEN(block, size) ASAN_POISON_MEMORY_REGION(block, size)
#define TORL7_KEEP_SHOWN(block, size) ASAN_UNPOISON_MEMORY_REGION(block, size)
#else
#define TORL7_KEEP_HIDDEN(block, size) ((void)(block), (void)(size))
#define TORL7_KEEP_SHOWN(block, size) ((void)(block), (void)(size))
#endif

namespace torl7 {

RecycledMemory::~RecycledMemory() {
    for (const auto& [block, size] : kept_) {
        TORL7_KEEP_SHOWN(block, size);
        std::free(block);
    }
}

void* RecycledMemory::allocate(std::size_t size) {
    std::lock_guard lock(mutex_);
    void* block = nullptr;
    for (auto it = kept_.begin(); it != kept_.end(); ++it) {
        if (it->second == size) {
            block = it->first;
            TORL7_KEEP_SHOWN(block, size);
            keptBytes_ -= size;
            kept_.erase(it);
            break;
        }
    }
    if (block == nullptr) {
        block = std::malloc(size == 0 ? 1 : size);
        if (block == nullptr) {
            return nullptr;
        }
    }
    try {
        handedOut_.emplace(block, size);
    } catch (...) {
        std::free(block);
        return nullptr;
    }
    return block;
}

void RecycledMemory::release(void* block) {
    if (block == nullptr) {
        return;
    }
    std::lock_guard lock(mutex_);
    const auto found = handedOut_.find(block);
    if (found == handedOut_.end()) {
        std::free(block);
        return;
    }
    const std::size_t size = found->second;
    handedOut_.erase(found);
    if (size > limit_) {
        std::free(block);
        return;
    }
    std::size_t dropped = 0;
    while (keptBytes_ + size > limit_) {
        TORL7_KEEP_SHOWN(kept_[dropped].first, kept_[dropped].second);
        std::free(kept_[dropped].first);
        keptBytes_ -= kept_[dropped].second;
        ++dropped;
    }
    kept_.erase(kept_.begin(), kept_.begin() + static_cast<std::ptrdiff_t>(dropped));
    try {
        kept_.emplace_back(block, size);
        keptBytes_ += size;
        TORL7_KEEP_HIDDEN(block, size);
    } catch (...) {
        std::free(block);
    }
}

std::size_t RecycledMemory::keptBytes() const {
    std::lock_guard lock(mutex_);
    return keptBytes_;
}

RecycledMemory& engineMemory() {
    // Never destroyed: pugixml may free through it from other objects' destructors at exit.
    static RecycledMemory* memory = new RecycledMemory(4u * 1024u * 1024u);
    return *memory;
}

bool installRecycledXmlMemory() {
    static const bool installed = [] {
        pugi::set_memory_management_functions(
            [](std::size_t size) { return engineMemory().allocate(size); },
            [](void* block) { engineMemory().release(block); });
        return true;
    }();
    return installed;
}

} // namespace torl7
