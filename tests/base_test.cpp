// The guards of base/ where their failure paths matter: a lock that was not taken must not be given
// back, or it opens the lock under whoever holds it.
#include <windows.h>
#include <gtest/gtest.h>

#include "UniqueHandle.h"

namespace {

TEST(EventLockTest, TakesAndGivesBackTheEvent) {
    UniqueEvent event(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    ASSERT_TRUE(event);
    {
        EventLock lock(event.get());
        EXPECT_TRUE(lock.held());
        EXPECT_EQ(WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "taken while held";
    }
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0)) << "given back after";
}

TEST(EventLockTest, AWaitThatFailsTakesNothingAndGivesNothingBack) {
    UniqueEvent event(CreateEventW(nullptr, FALSE, TRUE, nullptr));
    ASSERT_TRUE(event);
    ASSERT_EQ(WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_OBJECT_0));  // someone else holds it
    // A handle of the same event that may set it but not wait on it: the wait fails at once.
    HANDLE setOnly = nullptr;
    ASSERT_TRUE(
        DuplicateHandle(GetCurrentProcess(), event.get(), GetCurrentProcess(), &setOnly, EVENT_MODIFY_STATE, FALSE, 0));
    UniqueEvent owned(setOnly);
    ASSERT_EQ(WaitForSingleObject(setOnly, 0), WAIT_FAILED);
    for (HANDLE handle : {setOnly, static_cast<HANDLE>(nullptr)}) {
        EventLock lock(handle);
        EXPECT_FALSE(lock.held());
    }
    EXPECT_EQ(WaitForSingleObject(event.get(), 0), static_cast<DWORD>(WAIT_TIMEOUT))
        << "a lock that was never taken opened the event under its holder";
}

}  // namespace
