# The bridge benchmark's program: plays one file through libvlc.dll into a 640x360 window until it ends.
# bench/bridge.sh runs it beside cvlc and compares the CPU time both cost.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_executable(bridge_bench bridge_bench.cpp)
    target_link_libraries(bridge_bench PRIVATE libvlc_import user32 gdi32)
    target_link_options(bridge_bench PRIVATE -municode)
    add_dependencies(bridge_bench wine_libvlc vantrel_media)
endif()
