# The player benchmark's host side (bench/players.sh): the X screen probe, a native program built with the
# machine's own C compiler (it runs beside the players, not under Wine), and the benchmark's clips. Left
# out of the default build, so that the tests do not wait for them: tools/bench builds vantrel_bench_host.
if(CMAKE_SYSTEM_PROCESSOR STREQUAL "x86_64")
    set(bench_probe ${CMAKE_CURRENT_BINARY_DIR}/xprobe)
    add_custom_command(OUTPUT ${bench_probe}
        COMMAND cc -O2 -Wall -o ${bench_probe} ${CMAKE_CURRENT_SOURCE_DIR}/xprobe.c -lX11
        DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/xprobe.c
        COMMENT "Building the X screen probe for the host"
        VERBATIM)
    set(bench_media_stamp ${CMAKE_BINARY_DIR}/media/bench/.made)
    add_custom_command(OUTPUT ${bench_media_stamp}
        COMMAND bash ${VANTREL_ROOT}/tools/make-bench-media.sh ${CMAKE_BINARY_DIR}/media/bench
        COMMAND ${CMAKE_COMMAND} -E touch ${bench_media_stamp}
        DEPENDS ${VANTREL_ROOT}/tools/make-bench-media.sh
        COMMENT "Making the benchmark clips"
        VERBATIM)
    add_custom_target(vantrel_bench_host DEPENDS ${bench_probe} ${bench_media_stamp})
endif()
