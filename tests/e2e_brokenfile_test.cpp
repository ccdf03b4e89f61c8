// A broken file in a folder of good ones, as a user meets it: random bytes named .flv, which libvlc opens,
// reports playing and ends at once without ever reporting a playback time. Met by Next, Previous or the end
// of the file before, it is skipped in the direction of travel; opened by the user (the command line, a
// second start's hand-over), it is a file that could not be loaded, and nothing else starts.
#include "e2e_driver.h"

using namespace e2e;

namespace {

constexpr UINT kCommandPrevious = 32815;
constexpr UINT kCommandNext = 32816;

class BrokenFileTest : public E2eFixture {
  protected:
    // The folder of a new user's tryout: the broken file between two movies, a long clip before them and
    // a short one after.
    void makeFolder() {
        copyMedia(L"long.flv", L"a-long.flv");
        copyMedia(L"hostile\\good.swf", L"b-blue.swf");
        copyMedia(L"random.flv", L"c-broken.flv");
        copyMedia(L"hostile\\good.swf", L"d-orange.swf");
        copyMedia(L"pair\\b.flv", L"e-last.flv");
    }

    // Nothing plays and no box is up, seen across a few timer steps: the caption stays the product name.
    void expectNothingPlays(HWND window) {
        for (int step = 0; step < 3; ++step) {
            ASSERT_TRUE(WaitForTimerStep(window));
            EXPECT_EQ(TextOf(window), L"Vantrel");
        }
        EXPECT_EQ(ErrorBoxOf(window), nullptr);
    }

    // The broken file, opened by the user on one road: the box, with nothing playing before or after it
    // is closed.
    void expectCouldNotLoad(bool handedOver) {
        Child player(handedOver ? folder + L"a-long.flv" : folder + L"c-broken.flv");
        ASSERT_TRUE(player.started);
        HWND window = player.waitForWindow();
        ASSERT_NE(window, nullptr);
        if (handedOver) {
            ASSERT_TRUE(WaitForCaption(window, L"Vantrel - a-long.flv"));
            ASSERT_TRUE(PollUntil([&] { return PublishedWindow() == window; }, kStartTimeout));
            Child second(folder + L"c-broken.flv");
            ASSERT_TRUE(second.started);
            ExpectHandedOver(second);
        }
        HWND box = nullptr;
        ASSERT_TRUE(PollUntil([&] { return (box = ErrorBoxOf(window)) != nullptr; }, kStartTimeout))
            << "no error box; the caption is " << testing::PrintToString(TextOf(window));
        EXPECT_EQ(TextOf(box), L"Vantrel");
        ASSERT_TRUE(WaitForTimerStep(window));
        EXPECT_EQ(TextOf(window), L"Vantrel") << "something plays behind the box";
        EXPECT_TRUE(DismissErrorBox(box));
        expectNothingPlays(window);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(player.waitForExit(kStartTimeout), 0u);
    }
};

TEST_F(BrokenFileTest, NextAndPreviousSkipItInTheirDirection) {
    makeFolder();
    const struct {
        const wchar_t* from;
        UINT command;
        const wchar_t* to;
    } cases[] = {
        {L"b-blue.swf", kCommandNext, L"d-orange.swf"},
        {L"d-orange.swf", kCommandPrevious, L"b-blue.swf"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command == kCommandNext ? "Next" : "Previous");
        Child player(folder + c.from);
        ASSERT_TRUE(player.started);
        HWND window = player.waitForWindow();
        ASSERT_NE(window, nullptr);
        ASSERT_TRUE(WaitForCaption(window, std::wstring(L"Vantrel - ") + c.from));
        PostMessageW(window, WM_COMMAND, c.command, 0);
        EXPECT_TRUE(WaitForCaption(window, std::wstring(L"Vantrel - ") + c.to));
        // Stays there: the broken file did not send the player back where it came from.
        for (int step = 0; step < 3; ++step) {
            ASSERT_TRUE(WaitForTimerStep(window));
            EXPECT_EQ(TextOf(window), std::wstring(L"Vantrel - ") + c.to);
        }
        EXPECT_EQ(ErrorBoxOf(window), nullptr);
        PostMessageW(window, WM_CLOSE, 0, 0);
        EXPECT_EQ(player.waitForExit(kStartTimeout), 0u);
    }
}

// The end of the file before it moves on past it to the next good one, without a box.
TEST_F(BrokenFileTest, TheEndOfTheFileBeforeMovesPastIt) {
    std::wstring first = copyMedia(L"pair\\a.flv", L"a-short.flv");
    copyMedia(L"random.flv", L"c-broken.flv");
    copyMedia(L"pair\\b.flv", L"e-last.flv");
    Child player(first);
    ASSERT_TRUE(player.started);
    HWND window = player.waitForWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(WaitForCaption(window, L"Vantrel - a-short.flv"));
    EXPECT_TRUE(WaitForCaption(window, L"Vantrel - e-last.flv"));
    EXPECT_EQ(ErrorBoxOf(window), nullptr);
    PostMessageW(window, WM_CLOSE, 0, 0);
    EXPECT_EQ(player.waitForExit(kStartTimeout), 0u);
}

// Opened by the user, it could not be loaded: the box, and the next file of the folder does not start in
// its place, before or after the box is closed.
TEST_F(BrokenFileTest, OpenedByTheUserItIsAFileThatCouldNotBeLoaded) {
    makeFolder();
    for (bool handedOver : {false, true}) {
        SCOPED_TRACE(handedOver ? "handed over by a second start" : "on the command line");
        expectCouldNotLoad(handedOver);
    }
}

}  // namespace
