# The helpers the test programs share (test_util.h): the waits and the canvas on real windows under Wine's
# null driver, the copy of the screen on the virtual display.
vantrel_test(test_util_test TIER win32 SOURCES test_util_test.cpp)
vantrel_test(test_util_video_test TIER video SOURCES test_util_video_test.cpp)
