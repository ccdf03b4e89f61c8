# Random bytes named .flv between good files of a folder, met by Next, Previous, the end of the file before
# and the user's own open (media: make-media.sh and make-hostile-media.sh).
if(TARGET Vantrel AND TARGET e2e_driver)
    vantrel_test(e2e_brokenfile_test TIER e2e SOURCES e2e_brokenfile_test.cpp LIBS e2e_driver)
    add_dependencies(e2e_brokenfile_test Vantrel)
    if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
        add_dependencies(e2e_brokenfile_test vantrel_media vantrel_hostile_media)
    endif()
endif()
