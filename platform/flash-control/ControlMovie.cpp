// The stand-in control's movie and automation state: what each member answers and what a put does.
//
// Behaviour chosen where the real control is not known in detail:
// - Loading a movie starts it playing, as the real control does by default; Playing FALSE stops it.
// - A FrameNum put keeps the playing state; values are clamped to 0 .. TotalFrames - 1.
// - BackgroundColor is 0xRRGGBB. A put overrides the movie's own colour, also for movies loaded later,
//   until -1 (any negative value) is put; this is how the host's background setting behaves for embedded
//   movies. Its get answers the colour in effect, or -1 with no movie and no put.
// - Without a movie FrameNum and TotalFrames answer 0 and Playing FALSE; a Movie that names no readable
//   SWF is kept as the property's text but loads nothing.
// - A frame rate of 0 runs at 12 fps (see FrameClock).
#include <algorithm>
#include <vector>

#include "FlashControl.h"
#include "UniqueFile.h"

namespace {

constexpr Member kMembers[] = {
    {L"Movie", kDispMovie, VT_BSTR},           {L"FrameNum", kDispFrameNum, VT_I4},
    {L"AlignMode", kDispAlignMode, VT_I4},     {L"BackgroundColor", kDispBackgroundColor, VT_I4},
    {L"TotalFrames", kDispTotalFrames, VT_I4}, {L"Playing", kDispPlaying, VT_BOOL},
    {L"IsPlaying", kDispIsPlaying, VT_EMPTY},  {L"Menu", kDispMenu, VT_BOOL},
    {L"Scale", kDispScale, VT_BSTR},
};

// A stage of 550 x 400 pixels (in twips), the authoring tools' default, when no movie says otherwise.
constexpr LONG kDefaultStageTwipsX = 550 * 20;
constexpr LONG kDefaultStageTwipsY = 400 * 20;

LONG TwipsToHimetric(int64_t twips) {
    // 1440 twips and 2540 HIMETRIC units make an inch.
    int64_t v = twips * 2540 / 1440;
    return LONG(std::clamp<int64_t>(v, 1, 0x7FFFFFFF));
}

COLORREF FromRgb(uint32_t rgb) {
    return RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF);
}

HRESULT AssignBstr(VARIANT* out, const std::wstring& text) {
    BSTR b = SysAllocStringLen(text.data(), UINT(text.size()));
    if (!b)
        return E_OUTOFMEMORY;
    V_VT(out) = VT_BSTR;
    V_BSTR(out) = b;
    return S_OK;
}

// At most kMaxMovieBytes of movie and its header: the reader never looks further, and for a compressed
// movie that much input is more than enough to fill it.
std::vector<uint8_t> ReadMovieFile(const std::wstring& path) {
    std::vector<uint8_t> data;
    UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size = {};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart <= 0)
        return data;
    size_t want = size_t(std::min<LONGLONG>(size.QuadPart, LONGLONG(swf::kMaxMovieBytes + 8)));
    data.resize(want);
    size_t got = 0;
    while (got < want) {
        DWORD n = 0;
        DWORD piece = DWORD(std::min<size_t>(want - got, 1u << 20));
        if (!ReadFile(file.get(), data.data() + got, piece, &n, nullptr) || n == 0)
            break;
        got += n;
    }
    data.resize(got);
    return data;
}

}  // namespace

const Member* FindMember(DISPID id) {
    for (const Member& m : kMembers) {
        if (m.id == id)
            return &m;
    }
    return nullptr;
}

const Member* FindMember(const wchar_t* name) {
    for (const Member& m : kMembers) {
        if (name && lstrcmpiW(name, m.name) == 0)
            return &m;
    }
    return nullptr;
}

uint64_t Now() {
    return GetTickCount64();
}

HRESULT FlashControl::GetProperty(DISPID id, VARIANT* result) {
    switch (id) {
        case kDispMovie:
            return AssignBstr(result, moviePath_);
        case kDispFrameNum:
            V_VT(result) = VT_I4;
            V_I4(result) = movieLoaded_ ? LONG(clock_.Frame(Now())) : 0;
            return S_OK;
        case kDispAlignMode:
            V_VT(result) = VT_I4;
            V_I4(result) = alignMode_;
            return S_OK;
        case kDispBackgroundColor:
            V_VT(result) = VT_I4;
            if (backgroundColor_ >= 0)
                V_I4(result) = backgroundColor_;
            else if (movieLoaded_)
                V_I4(result) = LONG(movie_.hasBackground ? movie_.background : 0xFFFFFF);
            else
                V_I4(result) = -1;
            return S_OK;
        case kDispTotalFrames:
            V_VT(result) = VT_I4;
            V_I4(result) = movieLoaded_ ? LONG(clock_.FrameCount()) : 0;
            return S_OK;
        case kDispPlaying:
        case kDispIsPlaying:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = movieLoaded_ && clock_.Playing() ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case kDispMenu:
            V_VT(result) = VT_BOOL;
            V_BOOL(result) = menu_ ? VARIANT_TRUE : VARIANT_FALSE;
            return S_OK;
        case kDispScale:
            return AssignBstr(result, scale_);
    }
    return DISP_E_MEMBERNOTFOUND;
}

HRESULT FlashControl::PutProperty(DISPID id, VARIANT* value) {
    switch (id) {
        case kDispMovie: {
            if (fault_ == Fault::kMovie)
                return E_FAIL;
            BSTR b = V_BSTR(value);
            std::wstring path(b ? b : L"", b ? SysStringLen(b) : 0);
            LoadMovie(path);
            break;
        }
        case kDispFrameNum:
            clock_.Seek(V_I4(value), Now());
            break;
        case kDispAlignMode:
            alignMode_ = V_I4(value);
            break;
        case kDispBackgroundColor:
            backgroundColor_ = V_I4(value) < 0 ? -1 : LONG(V_I4(value) & 0xFFFFFF);
            break;
        case kDispPlaying:
            if (V_BOOL(value))
                clock_.Play(Now());
            else
                clock_.Stop(Now());
            UpdateTimer();
            break;
        case kDispMenu:
            menu_ = V_BOOL(value) != VARIANT_FALSE;
            break;
        case kDispScale: {
            BSTR b = V_BSTR(value);
            scale_.assign(b ? b : L"", b ? SysStringLen(b) : 0);
            break;
        }
        default:
            return DISP_E_MEMBERNOTFOUND;
    }
    UpdateCaption();
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, FALSE);
    if (viewSink_)
        viewSink_->OnViewChange(DVASPECT_CONTENT, -1);
    return S_OK;
}

void FlashControl::LoadMovie(const std::wstring& path) {
    moviePath_ = path;
    movieLoaded_ = false;
    movie_ = swf::MovieInfo();
    clock_.SetMovie(0, 0);
    if (!path.empty()) {
        std::vector<uint8_t> data = ReadMovieFile(path);
        swf::MovieInfo info;
        if (swf::IsPlayable(swf::ReadMovie(data.data(), data.size(), &info))) {
            movie_ = info;
            movieLoaded_ = true;
            clock_.SetMovie(info.frameCount, info.frameRate);
            clock_.Play(Now());
        }
    }
    paintedFrame_ = UINT32_MAX;
    UpdateTimer();
}

COLORREF FlashControl::PaintColour() const {
    if (backgroundColor_ >= 0)
        return FromRgb(uint32_t(backgroundColor_));
    if (movieLoaded_ && movie_.hasBackground)
        return FromRgb(movie_.background);
    return RGB(255, 255, 255);
}

SIZEL FlashControl::DefaultExtent() const {
    int64_t w = kDefaultStageTwipsX;
    int64_t h = kDefaultStageTwipsY;
    if (movieLoaded_) {
        int64_t mw = int64_t(movie_.frame.xMax) - movie_.frame.xMin;
        int64_t mh = int64_t(movie_.frame.yMax) - movie_.frame.yMin;
        if (mw > 0 && mh > 0) {
            w = mw;
            h = mh;
        }
    }
    return {TwipsToHimetric(w), TwipsToHimetric(h)};
}
