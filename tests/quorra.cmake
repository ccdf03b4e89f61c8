# The SWF control library through its exports. The library's master volume is the process's mixer, so the
# programs of this file do not run beside each other.
vantrel_test(quorra_test TIER win32 SOURCES quorra_test.cpp LIBS quorra winmm oleaut32 ole32 user32 gdi32 advapi32
    PROPERTIES RESOURCE_LOCK quorra_master_volume)
vantrel_test(quorra_volume_test TIER win32 SOURCES quorra_volume_test.cpp LIBS quorra winmm user32
    PROPERTIES RESOURCE_LOCK quorra_master_volume)
