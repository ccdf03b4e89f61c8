# Malformed and misnamed files through every road into the running player (media: make-hostile-media.sh,
# made for the build that runs here).
if(TARGET Vantrel AND TARGET e2e_driver)
    vantrel_test(e2e_hostile_test TIER e2e SOURCES e2e_hostile_test.cpp LIBS e2e_driver PROPERTIES TIMEOUT 900)
    add_dependencies(e2e_hostile_test Vantrel)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        add_dependencies(e2e_hostile_test vantrel_hostile_media)
    endif()
endif()
