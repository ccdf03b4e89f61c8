# Test media, made at build time by tools/make-media.sh with ffmpeg's own test sources (never downloaded):
# ${CMAKE_BINARY_DIR}/media, beside bin/ (tests find it as <bin>\..\media). The script lists the files.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(media_stamp ${CMAKE_BINARY_DIR}/media/.made)
    add_custom_command(OUTPUT ${media_stamp}
        COMMAND bash ${VANTREL_ROOT}/tools/make-media.sh ${CMAKE_BINARY_DIR}/media
        COMMAND ${CMAKE_COMMAND} -E touch ${media_stamp}
        DEPENDS ${VANTREL_ROOT}/tools/make-media.sh
        COMMENT "Making the test media"
        VERBATIM)
    add_custom_target(vantrel_media ALL DEPENDS ${media_stamp})
endif()
# Hostile media (malformed, misnamed and oddly named files) made from the good clips above by
# tools/make-hostile-media.sh: ${CMAKE_BINARY_DIR}/media/hostile. One of them is a sparse 100 MB file.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(hostile_stamp ${CMAKE_BINARY_DIR}/media/.hostile-made)
    add_custom_command(OUTPUT ${hostile_stamp}
        COMMAND bash ${VANTREL_ROOT}/tools/make-hostile-media.sh ${CMAKE_BINARY_DIR}/media
        COMMAND ${CMAKE_COMMAND} -E touch ${hostile_stamp}
        DEPENDS ${VANTREL_ROOT}/tools/make-hostile-media.sh ${media_stamp}
        COMMENT "Making the hostile test media"
        VERBATIM)
    add_custom_target(vantrel_hostile_media ALL DEPENDS ${hostile_stamp})
endif()
