# The program's menus and About template, read back from the resources the build makes.
vantrel_test(resources_test TIER logic SOURCES resources_test.cpp $<TARGET_OBJECTS:vantrel_res>)
target_include_directories(resources_test PRIVATE ${PROJECT_SOURCE_DIR}/player/res)
