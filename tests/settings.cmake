# Uses the real Software\Vantrel and Software\Tarnwell\Vantrel keys of the prefix: never beside another
# program that touches them.
vantrel_test(settings_test TIER win32 SOURCES settings_test.cpp LIBS vantrel_core
    RESOURCE_LOCK vantrel_registry)
