# The launch benchmark's floor (bench/players.sh): a window of one colour, shown for the clip's length.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    add_executable(window_floor window_floor.cpp)
    target_link_libraries(window_floor PRIVATE user32 gdi32)
    target_link_options(window_floor PRIVATE -municode)
endif()
