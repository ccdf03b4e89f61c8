# The libvlc engine against real libvlc through the bridge, drawing into a real window: the video tier.
vantrel_test(vlcplayer_test TIER video SOURCES vlcplayer_test.cpp LIBS vantrel_core)
