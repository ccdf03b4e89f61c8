# The playback controller with engine doubles, against the real video area (its host dialog from the
# program's resources) and the real playlist over a folder of files: real windows, so the win32 tier.
vantrel_test(playlogic_test TIER win32 SOURCES playlogic_test.cpp $<TARGET_OBJECTS:vantrel_res> LIBS vantrel_core)
