// The libvlc engine against the real library (through the bridge here), with the generated test media
// in <bin>\..\media and a real window to draw into.
#include <gtest/gtest.h>
#include <windows.h>
#include <atomic>
#include <string>
#include "VlcPlayer.h"
#include "test_util.h"

namespace {

// Counts libvlc's Stopped events: the bridge raises them inside libvlc_media_player_stop, as libvlc does.
std::atomic<int> StoppedEvents{0};
void CountStopped(const libvlc_event_t* event, void*) {
    if (event->type == libvlc_MediaPlayerStopped)
        ++StoppedEvents;
}

std::wstring MediaFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring bin(path);
    bin.resize(bin.find_last_of(L'\\'));
    return bin + L"\\..\\media\\";
}

// How long the engine may take to start, pause, learn the length or change the sound.
constexpr DWORD kEngineWaitMs = 10000;

class VlcPlayerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        window = CreateWindowExW(0, L"STATIC", L"vlcplayer_test", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 400, 300,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
        ASSERT_NE(window, nullptr);
    }

    void TearDown() override {
        engine.release();
        DestroyWindow(window);
    }

    void initAndOpen(const std::wstring& path) {
        ASSERT_TRUE(engine.init(window));
        engine.setWindow(window);
        ASSERT_TRUE(engine.open(path.c_str()));
    }

    void playUntilTimeMoves() {
        engine.play();
        ASSERT_TRUE(PumpUntil([&] { return engine.isPlaying() && engine.getTime() > 0; }, kEngineWaitMs));
    }

    HWND window = nullptr;
    VlcPlayer engine;
};

TEST_F(VlcPlayerTest, AnEngineWithoutAPlayerDoesNothingAndAnswersEmpty) {
    EXPECT_EQ(engine.type(), kPlayerVlc);
    EXPECT_FALSE(engine.open((MediaFolder() + L"h263.flv").c_str()));
    EXPECT_FALSE(engine.isPlaying());
    EXPECT_FALSE(engine.isMuted());
    EXPECT_FALSE(engine.hasVideo());
    EXPECT_EQ(engine.getTime(), 0);
    EXPECT_EQ(engine.getLength(), 0);
    EXPECT_EQ(engine.getVolume(), 0);
    EXPECT_EQ(engine.getState(), kStateNothing);
    EXPECT_FALSE(engine.setVolume(50));
    engine.play();
    engine.pause();
    engine.setTime(1000);
    engine.toggleMute();
    engine.setWindow(window);
    engine.cachedLength = 4000;
    engine.stop();
    EXPECT_EQ(engine.cachedLength, 0);
    EXPECT_EQ(engine.media, nullptr);
    engine.release();
    engine.release();
}

TEST_F(VlcPlayerTest, ReleaseGivesBackEverythingOnceAndOnlyOnce) {
    initAndOpen(MediaFolder() + L"h263.flv");
    EXPECT_NE(engine.media, nullptr);
    engine.release();
    EXPECT_EQ(engine.instance, nullptr);
    EXPECT_EQ(engine.mediaPlayer, nullptr);
    EXPECT_EQ(engine.media, nullptr);
    EXPECT_FALSE(engine.open((MediaFolder() + L"h263.flv").c_str()));
    engine.release();
}

// The length is asked again while libvlc does not know it, and kept once it is positive until stop.
TEST_F(VlcPlayerTest, TheLengthIsCachedOnlyOnceKnown) {
    initAndOpen(MediaFolder() + L"h263.flv");
    EXPECT_LE(engine.getLength(), 0);
    playUntilTimeMoves();
    ASSERT_TRUE(PumpUntil([&] { return engine.getLength() > 0; }, kEngineWaitMs));
    MediaTime length = engine.getLength();
    EXPECT_NEAR(static_cast<double>(length), 5000.0, 500.0);
    EXPECT_EQ(engine.cachedLength, length);
    engine.cachedLength = 1234;  // a cached value is answered without asking libvlc
    EXPECT_EQ(engine.getLength(), 1234);
    engine.stop();
    EXPECT_EQ(engine.cachedLength, 0);
}

// open stops a playing engine; a paused one is not stopped. Either way the new file's length is asked
// afresh: a file change never keeps the old length.
TEST_F(VlcPlayerTest, OpenStopsOnlyWhilePlayingAndNeverKeepsTheOldLength) {
    initAndOpen(MediaFolder() + L"h263.flv");
    engine.eventCallback = CountStopped;
    engine.attachEvents();
    playUntilTimeMoves();
    ASSERT_TRUE(PumpUntil([&] { return engine.getLength() > 0; }, kEngineWaitMs));
    EXPECT_NEAR(static_cast<double>(engine.getLength()), 5000.0, 500.0);
    engine.pause();
    ASSERT_TRUE(PumpUntil([&] { return engine.getState() == kStatePaused; }, kEngineWaitMs));
    StoppedEvents = 0;
    ASSERT_TRUE(engine.open((MediaFolder() + L"long.flv").c_str()));
    EXPECT_EQ(StoppedEvents, 0);
    EXPECT_EQ(engine.cachedLength, 0);
    playUntilTimeMoves();
    ASSERT_TRUE(PumpUntil([&] { return engine.getLength() > 0; }, kEngineWaitMs));
    EXPECT_NEAR(static_cast<double>(engine.getLength()), 60000.0, 1000.0);

    ASSERT_TRUE(engine.open((MediaFolder() + L"h263.flv").c_str()));
    EXPECT_EQ(StoppedEvents, 1);
    EXPECT_EQ(engine.cachedLength, 0);
    EXPECT_FALSE(engine.isPlaying());
    engine.detachEvents();
}

TEST_F(VlcPlayerTest, ToggleMuteTwiceLeavesTheMuteAsItWas) {
    initAndOpen(MediaFolder() + L"h263.flv");
    playUntilTimeMoves();
    bool before = engine.isMuted();
    engine.toggleMute();
    EXPECT_TRUE(PumpUntil([&] { return engine.isMuted() != before; }, kEngineWaitMs));
    engine.toggleMute();
    EXPECT_TRUE(PumpUntil([&] { return engine.isMuted() == before; }, kEngineWaitMs));
    EXPECT_TRUE(engine.setVolume(40));
    EXPECT_TRUE(PumpUntil([&] { return engine.getVolume() == 40; }, kEngineWaitMs));
}

// setMute asks for a state: asking twice for the same one leaves it so.
TEST_F(VlcPlayerTest, SetMuteTwiceKeepsTheWantedState) {
    initAndOpen(MediaFolder() + L"h263.flv");
    playUntilTimeMoves();
    for (bool wanted : {true, false}) {
        engine.setMute(wanted);
        engine.setMute(wanted);
        EXPECT_TRUE(PumpUntil([&] { return engine.isMuted() == wanted; }, kEngineWaitMs)) << wanted;
    }
}

// A deep folder of CJK names: the path is far below MAX_PATH in UTF-16 but needs well over 260 bytes
// in UTF-8, which a fixed conversion buffer would turn into an empty text.
TEST_F(VlcPlayerTest, APathOfMoreThan259Utf8BytesPlays) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    std::wstring path = std::wstring(temp) + L"vlcplayer_" + std::to_wstring(GetCurrentProcessId());
    std::vector<std::wstring> folders;
    const std::wstring level =
        L"\u89c6\u9891\u6587\u4ef6\u5939\u89c6\u9891\u6587\u4ef6\u5939\u89c6\u9891\u6587"
        L"\u4ef6\u5939\u89c6\u9891\u6587\u4ef6\u5939";
    ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
    folders.push_back(path);
    for (int i = 0; i < 5; ++i) {
        path += L"\\" + level;
        ASSERT_TRUE(CreateDirectoryW(path.c_str(), nullptr));
        folders.push_back(path);
    }
    path += L"\\\u89c6\u9891.flv";
    ASSERT_TRUE(CopyFileW((MediaFolder() + L"h263.flv").c_str(), path.c_str(), FALSE));
    int utf8Bytes = WideCharToMultiByte(CP_UTF8, 0, path.c_str(), -1, nullptr, 0, nullptr, nullptr) - 1;
    EXPECT_GT(utf8Bytes, 259);
    EXPECT_LT(path.size(), static_cast<size_t>(MAX_PATH));

    initAndOpen(path);
    engine.play();
    EXPECT_TRUE(PumpUntil([&] { return engine.getTime() > 0 && engine.hasVideo(); }, kEngineWaitMs));
    engine.release();

    DeleteFileW(path.c_str());
    for (auto it = folders.rbegin(); it != folders.rend(); ++it)
        RemoveDirectoryW(it->c_str());
}

// A path that cannot be written in UTF-8 names no file libvlc could open.
TEST_F(VlcPlayerTest, APathThatDoesNotConvertIsRefused) {
    ASSERT_TRUE(engine.init(window));
    const wchar_t lone[] = {L'C', L':', L'\\', 0xD800, L'.', L'f', L'l', L'v', 0};
    EXPECT_FALSE(engine.open(lone));
    EXPECT_EQ(engine.media, nullptr);
}

}  // namespace
