# Profiling aids for bench/profile/run.sh, left out of the default build (they reach into the program's
# modules, whose insides change more often than their behaviour): ui_cost times the user interface's own
# steps with the real modules.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64" AND TARGET vantrel_core)
    add_executable(ui_cost EXCLUDE_FROM_ALL profile/ui_cost.cpp $<TARGET_OBJECTS:vantrel_res>)
    target_link_libraries(ui_cost PRIVATE vantrel_core)
    target_link_options(ui_cost PRIVATE -municode)
endif()
