// The folder playlist.
//
// Locking: the user-interface thread changes the list; the control bar also reads count and currentIndex
// from libvlc's event thread. Every access takes lock_, shared for reads and exclusive for changes. Nothing
// slow happens under it: loadFolder lists and opens the folder's files into a list of its own and only
// swaps that in under the exclusive lock, so a reader never waits on the disk. The lock is not recursive,
// so no public operation calls another while holding it.
#include "PlayListData.h"

#include <algorithm>
#include <cstdio>
#include <numeric>

#include "TextUtil.h"
#include "UniqueHandle.h"

namespace {

class SharedLock {
  public:
    explicit SharedLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockShared(&lock_); }
    ~SharedLock() { ReleaseSRWLockShared(&lock_); }
    SharedLock(const SharedLock&) = delete;
    SharedLock& operator=(const SharedLock&) = delete;

  private:
    SRWLOCK& lock_;
};

class ExclusiveLock {
  public:
    explicit ExclusiveLock(SRWLOCK& lock) : lock_(lock) { AcquireSRWLockExclusive(&lock_); }
    ~ExclusiveLock() { ReleaseSRWLockExclusive(&lock_); }
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

  private:
    SRWLOCK& lock_;
};

// Code unit by code unit as unsigned 16-bit values, the shorter of two paths first when one is the other's
// prefix: no case folding, no locale.
int ComparePaths(const std::wstring& a, const std::wstring& b) {
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        unsigned short x = static_cast<unsigned short>(a[i]);
        unsigned short y = static_cast<unsigned short>(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// Orders the entries exactly as the exchange sort (for each i, for each j > i, swap when path j orders
// strictly before path i) would, without its n(n-1)/2 string comparisons. For distinct paths every correct
// sort gives the one ascending order. Only equal paths can end differently, and only matter when their
// current flags differ (entries equal in both are interchangeable). A folder listing never holds one path
// twice, so that case comes only from addFile with duplicates; there the exchange sort is replayed on the
// paths' ranks, integers, so it stays cheap.
void SortEntries(std::vector<PlayItem>& items) {
    const size_t n = items.size();
    if (n < 2)
        return;
    std::vector<size_t> order(n);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return ComparePaths(items[a].path, items[b].path) < 0; });

    std::vector<size_t> rank(n);
    bool flagsDifferWithinEqualPaths = false;
    size_t groupStart = 0;
    for (size_t k = 0; k < n; ++k) {
        if (k > 0 && ComparePaths(items[order[k - 1]].path, items[order[k]].path) != 0)
            groupStart = k;
        rank[order[k]] = groupStart;
        if (groupStart != k && items[order[k]].current != items[order[groupStart]].current)
            flagsDifferWithinEqualPaths = true;
    }

    if (flagsDifferWithinEqualPaths) {
        std::iota(order.begin(), order.end(), 0);
        for (size_t i = 0; i + 1 < n; ++i)
            for (size_t j = i + 1; j < n; ++j)
                if (rank[order[j]] < rank[order[i]])
                    std::swap(order[i], order[j]);
    }

    std::vector<PlayItem> sorted;
    sorted.reserve(n);
    for (size_t index : order)
        sorted.push_back(std::move(items[index]));
    items.swap(sorted);
}

bool OpensForReading(const wchar_t* path) {
    FILE* file = _wfopen(path, L"r");
    if (!file)
        return false;
    fclose(file);
    return true;
}

}  // namespace

PlayListData::PlayListData() = default;

PlayListData::~PlayListData() = default;

int PlayListData::count() const {
    SharedLock guard(lock_);
    return static_cast<int>(items.size());
}

void PlayListData::clear() {
    std::vector<PlayItem> old;
    {
        ExclusiveLock guard(lock_);
        old.swap(items);
    }
    // The strings are freed after the lock is released.
}

int PlayListData::isCurrentAt(int index) const {
    SharedLock guard(lock_);
    if (index < 0 || index >= static_cast<int>(items.size()))
        return 0;
    return items[index].current;
}

const wchar_t* PlayListData::supportedExtensions() const {
    return L"flv;swf";
}

bool PlayListData::alwaysTrue() const {
    return true;
}

int PlayListData::addFile(const wchar_t* path, int current) {
    // The open comes first: every file offered is opened once, also when its extension is then refused.
    if (!path || !OpensForReading(path) || !isSupported(path))
        return -1;
    ExclusiveLock guard(lock_);
    items.push_back(PlayItem{current, path});
    return static_cast<int>(items.size()) - 1;
}

bool PlayListData::removeAt(int index) {
    ExclusiveLock guard(lock_);
    if (index < 0 || index >= static_cast<int>(items.size()))
        return false;
    items.erase(items.begin() + index);
    return true;
}

bool PlayListData::sortsAfter(const PlayItem& a, const PlayItem& b) {
    return ComparePaths(b.path, a.path) < 0;
}

void PlayListData::sort() {
    ExclusiveLock guard(lock_);
    SortEntries(items);
}

void PlayListData::setCurrent(int index) {
    ExclusiveLock guard(lock_);
    if (index < 0 || index >= static_cast<int>(items.size()))
        return;
    for (size_t i = 0; i < items.size(); ++i)
        items[i].current = static_cast<int>(i) == index ? 1 : 0;
}

int PlayListData::currentIndex() const {
    SharedLock guard(lock_);
    for (size_t i = 0; i < items.size(); ++i) {
        if (items[i].current)
            return static_cast<int>(i);
    }
    return -1;
}

int PlayListData::loadFolder(const std::wstring& path) {
    clear();
    size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos)
        return 0;
    const std::wstring folder = path.substr(0, slash + 1);

    std::vector<PlayItem> found;
    WIN32_FIND_DATAW entry;
    UniqueFindHandle search(FindFirstFileW((folder + L"*.*").c_str(), &entry));
    if (search) {
        std::wstring full;
        do {
            // Dot names cover "." and ".." and every hidden-by-convention name; folders are never entries.
            if (entry.cFileName[0] == L'.' || (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                continue;
            full.assign(folder).append(entry.cFileName);
            if (!OpensForReading(full.c_str()) || !isSupported(full))
                continue;
            // Exact spelling only: a path in another letter case or a short name marks nothing current.
            found.push_back(PlayItem{full == path ? 1 : 0, full});
        } while (FindNextFileW(search.get(), &entry));
    }
    SortEntries(found);

    const int total = static_cast<int>(found.size());
    {
        ExclusiveLock guard(lock_);
        items.swap(found);
    }
    return total;
}

bool PlayListData::isSupported(const std::wstring& path) {
    // Filled once; after that the list never changes, so the search below reads it without the lock.
    bool filled;
    {
        SharedLock guard(lock_);
        filled = !extensions.empty();
    }
    if (!filled) {
        ExclusiveLock guard(lock_);
        if (extensions.empty())
            SplitList(supportedExtensions(), extensions);
    }

    size_t dot = path.rfind(L'.');
    if (dot == std::wstring::npos)
        return false;
    std::wstring tail = path.substr(dot);
    for (wchar_t& c : tail) {
        if (c >= L'A' && c <= L'Z')
            c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    // Containment, not equality: ".flv2" and ".xswf" pass too.
    for (const std::wstring& extension : extensions) {
        if (tail.find(extension) != std::wstring::npos)
            return true;
    }
    return false;
}

std::wstring PlayListData::pathAt(int index) const {
    SharedLock guard(lock_);
    if (index < 0 || index >= static_cast<int>(items.size()))
        return std::wstring();
    return items[index].path;
}
