# The program's engine-event path (main window, video area, control bar, controller, libvlc engine) against
# real libvlc through the bridge, with real windows under the virtual display: the video tier.
vantrel_test(eventpath_test TIER video SOURCES eventpath_test.cpp $<TARGET_OBJECTS:vantrel_res> LIBS vantrel_core)
