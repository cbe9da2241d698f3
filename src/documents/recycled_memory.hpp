// Memory the report engine gives back keeps, up to a limit, for the next document instead of
// returning it to the system. Filling and saving a report builds an XML tree of about a
// megabyte and a deflate state of a quarter of one, and drops both again; handed back to the
// system each time, every page of them had to be faulted in afresh for the next report, and on
// the machines the tool runs on (virtual ones included) those faults cost more than the work.
#pragma once

#include <cstddef>
#include <mutex>
#include <unordered_map>
#include <utility>
#include <vector>

namespace torl7 {

class RecycledMemory {
public:
    // Keeps at most `limit` bytes of released blocks.
    explicit RecycledMemory(std::size_t limit) : limit_(limit) {}
    ~RecycledMemory();
    RecycledMemory(const RecycledMemory&) = delete;
    RecycledMemory& operator=(const RecycledMemory&) = delete;

    // A block of `size` bytes: a kept one of exactly that size if there is one. Null when the
    // system has no memory left.
    void* allocate(std::size_t size);
    // Takes back a block from allocate() and keeps it, dropping the longest-kept ones when the
    // limit would be passed. A block it did not hand out (null, or one allocated with malloc
    // before these functions were put in place) goes to free().
    void release(void* block);

    std::size_t keptBytes() const;

private:
    mutable std::mutex mutex_;
    std::size_t limit_;
    std::size_t keptBytes_ = 0;
    std::unordered_map<void*, std::size_t> handedOut_;
    std::vector<std::pair<void*, std::size_t>> kept_; // oldest first
};

// The engine's one store, shared by every document of the process and every thread: pugixml
// draws its pages from it (see installRecycledXmlMemory) and the package's deflate its state.
// It keeps 4 MiB at most, the tree and deflate state of a report of a few hundred events.
RecycledMemory& engineMemory();

// Points pugixml's allocation at engineMemory(). Done once, before main, by the engine; pugixml
// blocks allocated before it are freed with free(), as pugixml would.
bool installRecycledXmlMemory();

} // namespace torl7
