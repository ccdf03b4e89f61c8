// Temporary stand-ins for the neighbours' functions that the control bar's tests need until their modules
// land: the state record, LoadResourceImage, FormatString and the few PlayLogic and PlayListData members
// the bar calls. Linked only into playbar_test.
#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>
#include <cstdarg>
#include <cwchar>

#include "AppGlobals.h"
#include "Hyperlink.h"
#include "PlayBar.h"
#include "PlayListData.h"
#include "PlayLogic.h"
#include "TextUtil.h"

// temporary stand-in
AppGlobalsRecord AppGlobals = {};

// temporary stand-in: the stream owns a copy of the resource and the image holds the stream.
Gdiplus::Image* LoadResourceImage(HRSRC resource, HMODULE module) {
    HGLOBAL loaded = LoadResource(module, resource);
    DWORD size = SizeofResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0)
        return nullptr;
    HGLOBAL copy = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!copy)
        return nullptr;
    memcpy(GlobalLock(copy), data, size);
    GlobalUnlock(copy);
    IStream* stream = nullptr;
    if (FAILED(CreateStreamOnHGlobal(copy, TRUE, &stream))) {
        GlobalFree(copy);
        return nullptr;
    }
    Gdiplus::Image* image = new Gdiplus::Image(stream);
    stream->Release();
    if (image->GetLastStatus() != Gdiplus::Ok) {
        delete image;
        return nullptr;
    }
    return image;
}

// temporary stand-in: msvcrt's _vsnwprintf, where "%s" takes a wide string.
int FormatString(wchar_t* buffer, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int n = _vsnwprintf(buffer, kTextBufferSize, format, args);
    va_end(args);
    if (n < 0 || n >= kTextBufferSize) {
        buffer[0] = 0;
        return -1;
    }
    return n;
}

// temporary stand-in
PlayListData::PlayListData() {}
PlayListData::~PlayListData() {}
int PlayListData::count() const {
    return static_cast<int>(items.size());
}
int PlayListData::currentIndex() const {
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].current)
            return static_cast<int>(i);
    return -1;
}
void PlayListData::clear() {
    items.clear();
}
int PlayListData::addFile(const wchar_t* path, int current) {
    items.push_back({current, path});
    return count();
}

// temporary stand-in
PlayLogic::PlayLogic() {}
PlayLogic::~PlayLogic() {}
void PlayLogic::setVolume(int level) {
    volume = level < 0 ? 0 : level > 100 ? 100 : level;
    muted = false;
    if (PlayBar* bar = AppGlobals.playBar)
        bar->updateVolume();
}
