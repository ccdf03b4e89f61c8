// The stand-in Flash control driven as a container drives it: created by CLSID through OLE (the prefix
// hook registered it), activated in place in a window of the test's own, and fed generated movies.
#include <windows.h>
#include <ole2.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <memory>

#include "flash_control_host.h"
#include "swf_writer.h"
#include "test_util.h"

namespace {

constexpr RECT kControlRect = {0, 0, 320, 240};

class FlashControlTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
        host_ = CreateHostWindow(320, 240);
        ASSERT_NE(host_, nullptr);
        site_ = std::make_unique<TestSite>(host_, kControlRect);
        HRESULT hr = CoCreateInstance(kFlashClsid, nullptr, CLSCTX_INPROC_SERVER, IID_IOleObject,
                                      reinterpret_cast<void**>(&ole_));
        ASSERT_EQ(hr, S_OK) << "is the stand-in control registered in the prefix?";
        ASSERT_EQ(ole_->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&disp_)), S_OK);
    }

    void TearDown() override {
        if (ole_) {
            // The container's teardown order: deactivate while the site is still known, drop the site,
            // then close.
            IOleInPlaceObject* inPlace = nullptr;
            if (SUCCEEDED(ole_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
                inPlace->InPlaceDeactivate();
                inPlace->Release();
            }
            ole_->SetClientSite(nullptr);
            ole_->Close(OLECLOSE_NOSAVE);
        }
        if (disp_)
            disp_->Release();
        if (ole_)
            ole_->Release();
        if (site_) {
            EXPECT_EQ(site_->refs(), 0u) << "the control kept a reference on its site";
        }
        if (host_)
            DestroyWindow(host_);
        OleUninitialize();
    }

    HWND Activate() {
        EXPECT_EQ(ole_->SetClientSite(site_.get()), S_OK);
        RECT rc = kControlRect;
        EXPECT_EQ(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, host_, &rc), S_OK);
        return ControlWindow();
    }

    HWND ControlWindow() {
        IOleInPlaceObject* inPlace = nullptr;
        HWND hwnd = nullptr;
        if (SUCCEEDED(ole_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)))) {
            if (FAILED(inPlace->GetWindow(&hwnd)))
                hwnd = nullptr;
            inPlace->Release();
        }
        return hwnd;
    }

    std::wstring Movie(const swf::MovieOptions& opts, const wchar_t* name = L"movie.swf") {
        return temp_.Write(name, swf::WriteMovie(opts));
    }

    HWND host_ = nullptr;
    std::unique_ptr<TestSite> site_;
    IOleObject* ole_ = nullptr;
    IDispatch* disp_ = nullptr;
    TempFolder temp_;
};

TEST_F(FlashControlTest, ActivatesInPlaceInAChildWindowAndDeactivates) {
    DWORD misc = 0;
    ASSERT_EQ(ole_->GetMiscStatus(DVASPECT_CONTENT, &misc), S_OK);
    EXPECT_EQ(misc, DWORD(OLEMISC_SETCLIENTSITEFIRST | OLEMISC_ACTIVATEWHENVISIBLE | OLEMISC_INSIDEOUT |
                          OLEMISC_RECOMPOSEONRESIZE));

    HWND control = Activate();
    ASSERT_TRUE(IsWindow(control));
    EXPECT_EQ(GetParent(control), host_);
    EXPECT_EQ(site_->inPlaceActivations, 1);
    EXPECT_TRUE(GetWindowLongW(control, GWL_STYLE) & WS_CHILD);
    // Hosts watch for double-clicks: the class must ask for them.
    EXPECT_TRUE(GetClassLongW(control, GCL_STYLE) & CS_DBLCLKS);
    RECT rc;
    GetClientRect(control, &rc);
    EXPECT_EQ(rc.right, 320);
    EXPECT_EQ(rc.bottom, 240);

    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(ole_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    RECT moved = {10, 20, 110, 70};
    EXPECT_EQ(inPlace->SetObjectRects(&moved, &moved), S_OK);
    GetWindowRect(control, &rc);
    MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&rc), 2);
    EXPECT_EQ(rc.left, 10);
    EXPECT_EQ(rc.top, 20);
    EXPECT_EQ(rc.right - rc.left, 100);
    EXPECT_EQ(rc.bottom - rc.top, 50);

    RECT none = {};
    EXPECT_EQ(ole_->DoVerb(OLEIVERB_HIDE, nullptr, site_.get(), 0, host_, &none), S_OK);
    EXPECT_FALSE(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE);
    EXPECT_EQ(ole_->DoVerb(OLEIVERB_SHOW, nullptr, site_.get(), 0, host_, &none), S_OK);
    EXPECT_EQ(ControlWindow(), control);
    EXPECT_TRUE(GetWindowLongW(control, GWL_STYLE) & WS_VISIBLE);

    EXPECT_EQ(inPlace->InPlaceDeactivate(), S_OK);
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(site_->inPlaceDeactivations, 1);
    HWND gone = reinterpret_cast<HWND>(1);
    EXPECT_NE(inPlace->GetWindow(&gone), S_OK);
    inPlace->Release();
}

TEST_F(FlashControlTest, LoadsMoviesAndReportsTheirFrames) {
    Activate();
    struct Case {
        const char* what;
        swf::MovieOptions opts;
        LONG totalFrames;
    };
    swf::MovieOptions plain;
    plain.frameCount = 24;
    plain.showFrames = 24;
    swf::MovieOptions packed = plain;
    packed.compressed = true;
    packed.frameCount = 60;
    packed.showFrames = 60;
    swf::MovieOptions longTags = plain;
    longTags.longTagHeaders = true;
    longTags.background = 0x123456;
    const Case cases[] = {{"FWS", plain, 24}, {"CWS", packed, 60}, {"long tag headers", longTags, 24}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = Movie(c.opts);
        ASSERT_EQ(PutString(disp_, kMovie, path), S_OK);
        EXPECT_EQ(GetString(disp_, kMovie), path);
        EXPECT_EQ(GetInt(disp_, kTotalFrames), c.totalFrames);
        // A loaded movie plays at once, as the real control's movies do.
        EXPECT_TRUE(GetBool(disp_, kPlaying));
        LONG frame = GetInt(disp_, kFrameNum);
        EXPECT_GE(frame, 0);
        EXPECT_LT(frame, c.totalFrames);
    }
}

TEST_F(FlashControlTest, BundledSamplesLoad) {
    const struct {
        const wchar_t* name;
        LONG frames;
        LONG colour;
    } samples[] = {{L"blue-60frames.swf", 60, 0x0000FF}, {L"orange-24frames.swf", 24, 0xFF8000}};
    for (const auto& s : samples) {
        std::wstring path = SourceFolder() + L"\\samples\\" + s.name;
        SCOPED_TRACE(std::string(path.begin(), path.end()));
        ASSERT_EQ(PutString(disp_, kMovie, path), S_OK);
        EXPECT_EQ(GetInt(disp_, kTotalFrames), s.frames);
        EXPECT_EQ(GetInt(disp_, kBackgroundColor), s.colour);
    }
}

TEST_F(FlashControlTest, FrameClockAdvancesAndLoops) {
    Activate();
    swf::MovieOptions opts;
    opts.frameCount = 10;
    opts.showFrames = 10;
    opts.frameRate = 60 << 8;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    ASSERT_EQ(PutBool(disp_, kPlaying, true), S_OK);
    // Watch the position: it must reach the last frame and then come back to the start.
    LONG highest = -1;
    bool wrapped = false;
    LONG previous = GetInt(disp_, kFrameNum);
    // A look every 5 ms: the frames of a movie at 60 frames a second come every 17.
    PumpUntil(
        [&] {
            LONG frame = GetInt(disp_, kFrameNum);
            EXPECT_GE(frame, 0);
            EXPECT_LT(frame, 10);
            highest = std::max(highest, frame);
            if (highest == 9 && frame < previous)
                wrapped = true;
            previous = frame;
            return wrapped;
        },
        10000, 5);
    EXPECT_EQ(highest, 9);
    EXPECT_TRUE(wrapped);

    // Stopped, the position holds while the window's timer keeps running.
    ASSERT_EQ(PutBool(disp_, kPlaying, false), S_OK);
    EXPECT_FALSE(GetBool(disp_, kPlaying));
    LONG held = GetInt(disp_, kFrameNum);
    int polls = 0;
    PumpUntil([&] { return ++polls > 20; }, 10000, 5);
    EXPECT_EQ(GetInt(disp_, kFrameNum), held);
}

TEST_F(FlashControlTest, FrameNumPutGoesToTheFrameClamped) {
    swf::MovieOptions opts;
    opts.frameCount = 24;
    opts.showFrames = 24;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    ASSERT_EQ(PutBool(disp_, kPlaying, false), S_OK);
    const struct {
        LONG put;
        LONG expected;
    } cases[] = {{0, 0}, {5, 5}, {23, 23}, {24, 23}, {100000, 23}, {-1, 0}, {LONG(0x80000000), 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.put);
        ASSERT_EQ(PutInt(disp_, kFrameNum, c.put), S_OK);
        EXPECT_EQ(GetInt(disp_, kFrameNum), c.expected);
        EXPECT_FALSE(GetBool(disp_, kPlaying)) << "a FrameNum put keeps the playing state";
    }
    // Playing on from a put frame starts there.
    ASSERT_EQ(PutInt(disp_, kFrameNum, 20), S_OK);
    ASSERT_EQ(PutBool(disp_, kPlaying, true), S_OK);
    EXPECT_GE(GetInt(disp_, kFrameNum), 20);
}

TEST_F(FlashControlTest, EmptyMovieUnloads) {
    Activate();
    swf::MovieOptions opts;
    opts.frameCount = 5;
    opts.showFrames = 5;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    ASSERT_EQ(GetInt(disp_, kTotalFrames), 5);
    ASSERT_EQ(PutString(disp_, kMovie, L""), S_OK);
    EXPECT_EQ(GetString(disp_, kMovie), L"");
    EXPECT_EQ(GetInt(disp_, kTotalFrames), 0);
    EXPECT_EQ(GetInt(disp_, kFrameNum), 0);
    EXPECT_FALSE(GetBool(disp_, kPlaying));
    // Playing cannot start without a movie.
    EXPECT_EQ(PutBool(disp_, kPlaying, true), S_OK);
    EXPECT_FALSE(GetBool(disp_, kPlaying));

    // A path that names no file keeps the text but loads nothing.
    std::wstring missing = temp_.path() + L"\\missing.swf";
    ASSERT_EQ(PutString(disp_, kMovie, missing), S_OK);
    EXPECT_EQ(GetString(disp_, kMovie), missing);
    EXPECT_EQ(GetInt(disp_, kTotalFrames), 0);
}

TEST_F(FlashControlTest, PlayingAndIsPlayingAgree) {
    swf::MovieOptions opts;
    opts.frameCount = 5;
    opts.showFrames = 5;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    for (bool playing : {false, true, false}) {
        ASSERT_EQ(PutBool(disp_, kPlaying, playing), S_OK);
        EXPECT_EQ(GetBool(disp_, kPlaying), playing);
        DISPPARAMS none = {nullptr, nullptr, 0, 0};
        VARIANT result;
        VariantInit(&result);
        ASSERT_EQ(disp_->Invoke(kIsPlaying, IID_NULL, 0, DISPATCH_METHOD, &none, &result, nullptr, nullptr), S_OK);
        EXPECT_EQ(V_VT(&result), VT_BOOL);
        EXPECT_EQ(V_BOOL(&result), playing ? VARIANT_TRUE : VARIANT_FALSE);
    }
}

TEST_F(FlashControlTest, DisplayPropertiesKeepWhatIsPut) {
    EXPECT_EQ(PutInt(disp_, kAlignMode, 5), S_OK);
    EXPECT_EQ(GetInt(disp_, kAlignMode), 5);
    EXPECT_EQ(PutBool(disp_, kMenu, false), S_OK);
    EXPECT_FALSE(GetBool(disp_, kMenu));
    EXPECT_EQ(PutString(disp_, kScale, L"NoScale"), S_OK);
    EXPECT_EQ(GetString(disp_, kScale), L"NoScale");
    EXPECT_EQ(GetInt(disp_, kBackgroundColor), -1);
    EXPECT_EQ(PutInt(disp_, kBackgroundColor, 0), S_OK);
    EXPECT_EQ(GetInt(disp_, kBackgroundColor), 0);

    // A colour put before the movie overrides the movie's own, until -1 gives it back.
    swf::MovieOptions opts;
    opts.background = 0x336699;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    EXPECT_EQ(GetInt(disp_, kBackgroundColor), 0);
    EXPECT_EQ(PutInt(disp_, kBackgroundColor, -1), S_OK);
    EXPECT_EQ(GetInt(disp_, kBackgroundColor), 0x336699);
}

TEST_F(FlashControlTest, NamesAndArgumentsAreChecked) {
    const struct {
        const wchar_t* name;
        DISPID id;
    } names[] = {{L"Movie", kMovie},
                 {L"FrameNum", kFrameNum},
                 {L"AlignMode", kAlignMode},
                 {L"backgroundcolor", kBackgroundColor},
                 {L"TotalFrames", kTotalFrames},
                 {L"Playing", kPlaying},
                 {L"IsPlaying", kIsPlaying},
                 {L"Menu", kMenu},
                 {L"Scale", kScale}};
    for (const auto& n : names) {
        LPOLESTR name = const_cast<LPOLESTR>(n.name);
        DISPID id = 0;
        EXPECT_EQ(disp_->GetIDsOfNames(IID_NULL, &name, 1, 0, &id), S_OK);
        EXPECT_EQ(id, n.id);
    }
    LPOLESTR unknown = const_cast<LPOLESTR>(L"Rewind");
    DISPID id = 0;
    EXPECT_EQ(disp_->GetIDsOfNames(IID_NULL, &unknown, 1, 0, &id), DISP_E_UNKNOWNNAME);
    EXPECT_EQ(id, DISPID_UNKNOWN);

    swf::MovieOptions opts;
    opts.frameCount = 24;
    opts.showFrames = 24;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    ASSERT_EQ(PutBool(disp_, kPlaying, false), S_OK);

    // What a container may pass is coerced.
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"7");
    EXPECT_EQ(PutProperty(disp_, kFrameNum, v), S_OK);
    VariantClear(&v);
    EXPECT_EQ(GetInt(disp_, kFrameNum), 7);
    EXPECT_EQ(PutInt(disp_, kPlaying, 1), S_OK);
    EXPECT_TRUE(GetBool(disp_, kPlaying));
    EXPECT_EQ(PutInt(disp_, kPlaying, 0), S_OK);
    EXPECT_FALSE(GetBool(disp_, kPlaying));
    V_VT(&v) = VT_I2;
    V_I2(&v) = 3;
    EXPECT_EQ(PutProperty(disp_, kFrameNum, v), S_OK);
    EXPECT_EQ(GetInt(disp_, kFrameNum), 3);

    // What cannot be coerced is refused and changes nothing.
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(L"seven");
    EXPECT_EQ(PutProperty(disp_, kFrameNum, v), DISP_E_TYPEMISMATCH);
    VariantClear(&v);
    V_VT(&v) = VT_UNKNOWN;
    V_UNKNOWN(&v) = nullptr;
    EXPECT_EQ(PutProperty(disp_, kPlaying, v), DISP_E_TYPEMISMATCH);
    V_VT(&v) = VT_NULL;
    EXPECT_EQ(PutProperty(disp_, kMovie, v), DISP_E_TYPEMISMATCH);
    EXPECT_EQ(GetInt(disp_, kFrameNum), 3);
    EXPECT_EQ(GetInt(disp_, kTotalFrames), 24);

    // Wrong argument counts, a read-only property, members the control does not have.
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS putNothing = {nullptr, &named, 0, 1};
    EXPECT_EQ(disp_->Invoke(kFrameNum, IID_NULL, 0, DISPATCH_PROPERTYPUT, &putNothing, nullptr, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    VARIANT arg;
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = 1;
    DISPPARAMS oneArg = {&arg, nullptr, 1, 0};
    VARIANT result;
    VariantInit(&result);
    EXPECT_EQ(disp_->Invoke(kIsPlaying, IID_NULL, 0, DISPATCH_METHOD, &oneArg, &result, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(disp_->Invoke(kTotalFrames, IID_NULL, 0, DISPATCH_PROPERTYGET, &oneArg, &result, nullptr, nullptr),
              DISP_E_BADPARAMCOUNT);
    EXPECT_EQ(PutInt(disp_, kTotalFrames, 3), DISP_E_MEMBERNOTFOUND);
    EXPECT_EQ(GetInt(disp_, kTotalFrames), 24);
    for (DISPID other : {DISPID(0), DISPID(0x67), DISPID(0x7E), DISPID(0x1000), DISPID(-1)}) {
        EXPECT_EQ(disp_->Invoke(other, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr),
                  DISP_E_MEMBERNOTFOUND);
    }
    EXPECT_EQ(disp_->Invoke(kFrameNum, IID_NULL, 0, DISPATCH_PROPERTYGET, nullptr, &result, nullptr, nullptr),
              E_INVALIDARG);
}

// The control's place comes only through the in-place protocol: moving its window changes nothing,
// SetObjectRects moves it, and every activation, a click's UI activation included, asks the site again.
TEST_F(FlashControlTest, TakesItsPlaceOnlyFromItsSite) {
    HWND control = Activate();
    ASSERT_TRUE(IsWindow(control));
    auto placedAt = [&](RECT expected) {
        RECT rc = {};
        GetWindowRect(control, &rc);
        MapWindowPoints(nullptr, host_, reinterpret_cast<POINT*>(&rc), 2);
        return EqualRect(&rc, &expected) != FALSE;
    };
    EXPECT_TRUE(MoveWindow(control, 5, 5, 50, 40, TRUE));
    EXPECT_TRUE(placedAt(kControlRect)) << "the window moved without the site";

    IOleInPlaceObject* inPlace = nullptr;
    ASSERT_EQ(ole_->QueryInterface(IID_IOleInPlaceObject, reinterpret_cast<void**>(&inPlace)), S_OK);
    const RECT given = {10, 20, 110, 70};
    EXPECT_EQ(inPlace->SetObjectRects(&given, &given), S_OK);
    EXPECT_TRUE(placedAt(given));
    inPlace->Release();

    const RECT clicked = {0, 0, 200, 100};
    site_->SetPlace(clicked);
    SendMessageW(control, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(3, 3));
    EXPECT_TRUE(placedAt(clicked)) << "a click's UI activation did not ask the site";

    RECT activated = {0, 0, 300, 200};
    site_->SetPlace(activated);
    EXPECT_EQ(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, host_, &activated), S_OK);
    EXPECT_EQ(ControlWindow(), control);
    EXPECT_TRUE(placedAt(activated)) << "a second activation did not ask the site";
}

// An IUnknown that only counts its releases: a result slot the caller never initialised may hold one.
class CountingUnknown final : public IUnknown {
  public:
    STDMETHODIMP QueryInterface(REFIID, void** out) override {
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override {
        ++releases;
        return 1;
    }
    int releases = 0;
};

TEST_F(FlashControlTest, InvokeLeavesTheCallersResultSlotAloneAndChecksNamedArguments) {
    CountingUnknown stray;
    VARIANT result;
    V_VT(&result) = VT_UNKNOWN;
    V_UNKNOWN(&result) = &stray;
    DISPPARAMS none = {nullptr, nullptr, 0, 0};
    ASSERT_EQ(disp_->Invoke(kTotalFrames, IID_NULL, 0, DISPATCH_PROPERTYGET, &none, &result, nullptr, nullptr), S_OK);
    EXPECT_EQ(stray.releases, 0) << "the control freed what the caller's result slot happened to hold";
    EXPECT_EQ(V_VT(&result), VT_I4);

    // A put that counts a named argument but passes no list of them.
    VARIANT arg;
    V_VT(&arg) = VT_I4;
    V_I4(&arg) = 1;
    DISPPARAMS noList = {&arg, nullptr, 1, 1};
    EXPECT_EQ(disp_->Invoke(kFrameNum, IID_NULL, 0, DISPATCH_PROPERTYPUT, &noList, nullptr, nullptr, nullptr),
              E_INVALIDARG);
}

// What a container asks of the control without in-place activation: persistence, extent and drawing.
TEST_F(FlashControlTest, DrawsAndSizesWithoutAWindow) {
    IPersistStreamInit* persist = nullptr;
    ASSERT_EQ(ole_->QueryInterface(IID_IPersistStreamInit, reinterpret_cast<void**>(&persist)), S_OK);
    EXPECT_EQ(persist->InitNew(), S_OK);
    CLSID clsid = {};
    EXPECT_EQ(persist->GetClassID(&clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, kFlashClsid));
    persist->Release();

    swf::MovieOptions opts;
    opts.width = 14400;  // ten inches in twips, 25400 HIMETRIC
    opts.height = 1440;  // one inch
    opts.background = 0x204080;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    IViewObject2* view = nullptr;
    ASSERT_EQ(ole_->QueryInterface(IID_IViewObject2, reinterpret_cast<void**>(&view)), S_OK);
    SIZEL extent = {};
    EXPECT_EQ(view->GetExtent(DVASPECT_CONTENT, -1, nullptr, &extent), S_OK);
    EXPECT_EQ(extent.cx, 25400);
    EXPECT_EQ(extent.cy, 2540);
    SIZEL put = {1000, 500};
    EXPECT_EQ(ole_->SetExtent(DVASPECT_CONTENT, &put), S_OK);
    EXPECT_EQ(ole_->GetExtent(DVASPECT_CONTENT, &extent), S_OK);
    EXPECT_EQ(extent.cx, 1000);
    EXPECT_EQ(extent.cy, 500);

    const Canvas drawn(64, 64);
    RECTL bounds = {0, 0, 64, 64};
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, drawn.dc(), &bounds, nullptr, nullptr, 0),
              S_OK);
    EXPECT_EQ(drawn.pixel(32, 32), RGB(0x20, 0x40, 0x80));
    EXPECT_EQ(view->Draw(DVASPECT_ICON, -1, nullptr, nullptr, nullptr, drawn.dc(), &bounds, nullptr, nullptr, 0),
              DV_E_DVASPECT);
    EXPECT_EQ(view->Draw(DVASPECT_CONTENT, -1, nullptr, nullptr, nullptr, drawn.dc(), nullptr, nullptr, nullptr, 0),
              E_INVALIDARG);
    view->Release();
}

TEST_F(FlashControlTest, WindowDestroyedByTheHostIsSafe) {
    HWND control = Activate();
    swf::MovieOptions opts;
    opts.frameCount = 5;
    opts.showFrames = 5;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    ASSERT_TRUE(DestroyWindow(control));
    EXPECT_EQ(ControlWindow(), nullptr);
    // The object goes on without its window, and a new activation makes a new one.
    EXPECT_EQ(GetInt(disp_, kTotalFrames), 5);
    EXPECT_EQ(PutBool(disp_, kPlaying, true), S_OK);
    RECT rc = kControlRect;
    ASSERT_EQ(ole_->DoVerb(OLEIVERB_INPLACEACTIVATE, nullptr, site_.get(), 0, host_, &rc), S_OK);
    control = ControlWindow();
    EXPECT_TRUE(IsWindow(control));

    // The host moving the window itself, then destroying the window's parent.
    EXPECT_TRUE(MoveWindow(control, 5, 5, 50, 40, TRUE));
    PumpUntil([] { return false; }, 50);
    DestroyWindow(host_);
    host_ = nullptr;
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(ControlWindow(), nullptr);
    EXPECT_EQ(GetInt(disp_, kTotalFrames), 5);
}

TEST_F(FlashControlTest, LastReleaseWhileActiveEndsTheWindow) {
    HWND control = Activate();
    ASSERT_TRUE(IsWindow(control));
    disp_->Release();
    disp_ = nullptr;
    // A careless container: no deactivation, no Close, the site still set.
    ole_->Release();
    ole_ = nullptr;
    EXPECT_FALSE(IsWindow(control));
    EXPECT_EQ(site_->refs(), 0u);
}

// Right button on the control: it opens a context menu of its own (the host library must keep it away).
// The menu is seen through a hook on the messages sent to its owner, and closed again from there.
HWND g_menuOwner;
std::wstring g_lastMenuItem;
bool g_sawMenu;

LRESULT CALLBACK WatchMenu(int code, WPARAM wParam, LPARAM lParam) {
    auto* msg = reinterpret_cast<CWPSTRUCT*>(lParam);
    if (code == HC_ACTION && msg->message == WM_INITMENUPOPUP && msg->hwnd == g_menuOwner) {
        HMENU menu = reinterpret_cast<HMENU>(msg->wParam);
        wchar_t text[64] = {};
        GetMenuStringW(menu, GetMenuItemCount(menu) - 1, text, 64, MF_BYPOSITION);
        g_lastMenuItem = text;
        g_sawMenu = true;
        PostMessageW(g_menuOwner, WM_CANCELMODE, 0, 0);
        PostMessageW(g_menuOwner, WM_KEYDOWN, VK_ESCAPE, 0);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

void CALLBACK CloseAnyMenu(HWND, UINT, UINT_PTR, DWORD) {
    EndMenu();
}

TEST_F(FlashControlTest, RightButtonOpensTheControlsMenu) {
    HWND control = Activate();
    g_menuOwner = control;
    g_lastMenuItem.clear();
    g_sawMenu = false;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchMenu, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    // Should the menu not see the messages above, this closes it anyway so that the test ends.
    UINT_PTR fallback = SetTimer(nullptr, 0, 5000, CloseAnyMenu);
    PostMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    PostMessageW(control, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    EXPECT_TRUE(PumpUntil([] { return g_sawMenu; }, 10000));
    UnhookWindowsHookEx(hook);
    KillTimer(nullptr, fallback);
    EXPECT_EQ(g_lastMenuItem, L"About Flash stand-in");
}

// A host that subclasses the control's window the way the SWF library does (read and set the procedure
// through the ANSI calls, forward with CallWindowProcW, keep the right button away): the control's menu
// stays shut, and everything else still reaches the control.
WNDPROC g_controlProc;

LRESULT CALLBACK HostSubclass(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONUP)
        return 0;
    return CallWindowProcW(g_controlProc, hwnd, msg, wParam, lParam);
}

TEST_F(FlashControlTest, SubclassedByTheHostTheMenuStaysShut) {
    HWND control = Activate();
    g_controlProc = reinterpret_cast<WNDPROC>(GetWindowLongPtrA(control, GWLP_WNDPROC));
    SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&HostSubclass));
    g_menuOwner = control;
    g_sawMenu = false;
    HHOOK hook = SetWindowsHookExW(WH_CALLWNDPROC, WatchMenu, nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    UINT_PTR fallback = SetTimer(nullptr, 0, 5000, CloseAnyMenu);

    swf::MovieOptions opts;
    opts.frameCount = 10;
    opts.showFrames = 10;
    opts.frameRate = 60 << 8;
    opts.background = 0x00FF00;
    ASSERT_EQ(PutString(disp_, kMovie, Movie(opts)), S_OK);
    PostMessageW(control, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(20, 20));
    PostMessageW(control, WM_RBUTTONUP, 0, MAKELPARAM(20, 20));
    // The control still paints through the subclass: its picture goes green.
    const Canvas printed(320, 240);
    EXPECT_TRUE(PumpUntil(
        [&] {
            SendMessageW(control, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(printed.dc()), PRF_CLIENT);
            return printed.pixel(160, 120) == RGB(0, 255, 0);
        },
        10000));
    // Let the posted clicks through the queue before looking.
    PostMessageW(control, WM_NULL, 0, 0);
    PumpUntil([&] { return !GetQueueStatus(QS_POSTMESSAGE); }, 2000);
    EXPECT_FALSE(g_sawMenu);
    UnhookWindowsHookEx(hook);
    KillTimer(nullptr, fallback);
}

// Damaged movies: none may crash the control or make it allocate what the file merely declares.
TEST_F(FlashControlTest, MalformedMoviesLoadNothingOrWhatCanBeRead) {
    Activate();
    struct Case {
        std::string what;
        std::vector<uint8_t> data;
        LONG maxFrames;  // 0: no movie
    };
    std::vector<Case> cases;
    swf::MovieOptions base;
    base.frameCount = 30;
    base.showFrames = 30;
    base.background = 0x00FF00;
    for (bool compressed : {false, true}) {
        swf::MovieOptions opts = base;
        opts.compressed = compressed;
        std::vector<uint8_t> whole = swf::WriteMovie(opts);
        // The header ends after the RECT (the stage's 11000 twips need 15-bit fields), the rate and the
        // count: any cut before that end leaves no movie; later cuts leave at most the frames before the
        // cut. A cut in compressed data may or may not leave the header whole.
        size_t headerEnd = 8 + swf::EncodeRect(15, 0, opts.width, 0, opts.height).size() + 4;
        for (size_t cut = 0; cut < whole.size(); ++cut) {
            std::vector<uint8_t> part(whole.begin(), whole.begin() + cut);
            bool noMovie = cut < 8 || (!compressed && cut < headerEnd);
            cases.push_back(
                {(compressed ? "CWS cut at " : "FWS cut at ") + std::to_string(cut), part, noMovie ? 0 : 30});
        }
        std::vector<uint8_t> huge = whole;
        huge[4] = huge[5] = huge[6] = huge[7] = 0xFF;
        cases.push_back({compressed ? "CWS declaring 4 GB" : "FWS declaring 4 GB", huge, 30});
        std::vector<uint8_t> tiny = whole;
        tiny[4] = 9;
        tiny[5] = tiny[6] = tiny[7] = 0;
        cases.push_back({compressed ? "CWS declaring 9 bytes" : "FWS declaring 9 bytes", tiny, 0});
    }
    std::vector<uint8_t> packed = swf::WriteMovie([&] {
        swf::MovieOptions s = base;
        s.compressed = true;
        return s;
    }());
    std::vector<uint8_t> corrupt = packed;
    for (size_t i = 8; i < corrupt.size(); ++i)
        corrupt[i] ^= 0x5A;
    cases.push_back({"CWS with garbage instead of zlib data", corrupt, 0});
    std::vector<uint8_t> corruptTail = packed;
    for (size_t i = corruptTail.size() - 6; i < corruptTail.size(); ++i)
        corruptTail[i] ^= 0xFF;
    cases.push_back({"CWS with a damaged zlib tail", corruptTail, 30});
    for (const char* sig : {"XWS", "FWX", "fws", "ZWS"}) {
        std::vector<uint8_t> bad = swf::WriteMovie(base);
        std::copy(sig, sig + 3, bad.begin());
        cases.push_back({std::string("signature ") + sig, bad, 0});
    }
    swf::MovieOptions zeroRate = base;
    zeroRate.frameRate = 0;
    cases.push_back({"zero frame rate", swf::WriteMovie(zeroRate), 30});
    std::vector<uint8_t> wideRect = swf::EncodeRect(31, -0x40000000, 0x3FFFFFFF, -1, 0x3FFFFFFF);
    cases.push_back({"31-bit RECT fields",
                     swf::WriteRawMovie(wideRect, 12 << 8, 3, {0x40, 0x00, 0x40, 0x00, 0x40, 0x00, 0x00, 0x00}), 3});
    // A tag that claims to run far past the end of the file.
    cases.push_back({"long tag past the end",
                     swf::WriteRawMovie(swf::EncodeRect(1, 0, 0, 0, 0), 12 << 8, 5,
                                        {0x40, 0x00, 0x7F, 0x00, 0xFF, 0xFF, 0xFF, 0x7F, 1, 2, 3}),
                     5});
    cases.push_back({"empty file", {}, 0});

    PROCESS_MEMORY_COUNTERS before = {sizeof(before)};
    GetProcessMemoryInfo(GetCurrentProcess(), &before, sizeof(before));
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::wstring path = temp_.Write(L"bad" + std::to_wstring(index++) + L".swf", c.data);
        ASSERT_EQ(PutString(disp_, kMovie, path), S_OK);
        LONG total = GetInt(disp_, kTotalFrames);
        if (c.maxFrames == 0) {
            EXPECT_EQ(total, 0);
            EXPECT_FALSE(GetBool(disp_, kPlaying));
        } else {
            EXPECT_LE(total, c.maxFrames);
            if (total > 0) {
                LONG frame = GetInt(disp_, kFrameNum);
                EXPECT_GE(frame, 0);
                EXPECT_LT(frame, total);
            }
        }
    }
    PROCESS_MEMORY_COUNTERS after = {sizeof(after)};
    GetProcessMemoryInfo(GetCurrentProcess(), &after, sizeof(after));
    ASSERT_GT(after.PeakPagefileUsage, 0u) << "no memory figures to compare";
    EXPECT_LT(after.PeakPagefileUsage, before.PeakPagefileUsage + (256u << 20))
        << "a declared length was taken for a size";
}

}  // namespace
