#pragma once
#include <windows.h>
#include <string>
#include <vector>

struct PlayItem {
    int current = 0;
    std::wstring path;
};

// The folder playlist. Changes happen on the user-interface thread; count and currentIndex are also read
// from libvlc's event thread (through the control bar), so every access goes through one lock.
class PlayListData {
  public:
    PlayListData();
    virtual ~PlayListData();
    PlayListData(const PlayListData&) = delete;
    PlayListData& operator=(const PlayListData&) = delete;

    int count() const;
    void clear();
    int isCurrentAt(int index) const;
    const wchar_t* supportedExtensions() const;
    bool alwaysTrue() const;
    int addFile(const wchar_t* path, int current);
    bool removeAt(int index);
    static bool sortsAfter(const PlayItem& a, const PlayItem& b);
    void sort();
    void setCurrent(int index);
    int currentIndex() const;
    int loadFolder(const std::wstring& path);
    bool isSupported(const std::wstring& path);
    std::wstring pathAt(int index) const;

  private:
    std::vector<PlayItem> items;
    std::vector<std::wstring> extensions;
    mutable SRWLOCK lock_ = SRWLOCK_INIT;
};
