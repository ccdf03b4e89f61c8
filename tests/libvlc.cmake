# Real libvlc through the Wine bridge, linked the way the player links it. Built in both trees (the 32-bit
# one checks that the import library links); run in the 64-bit one, which makes the media and the bridge.
vantrel_test(libvlc_bridge_test TIER video SOURCES libvlc_bridge_test.cpp LIBS libvlc_import user32 gdi32)
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_dependencies(libvlc_bridge_test vantrel_media wine_libvlc)
endif()
