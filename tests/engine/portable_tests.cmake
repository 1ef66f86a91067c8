# Tests of the engine's portable units, on the host and under Wine.
setup_unit_tests(layout_patch_tests LIBS layout_patch SOURCES ${CMAKE_CURRENT_LIST_DIR}/layout_patch_test.cpp)

# Third-party layout libraries, read in place by one test when the folder exists (never copied
# into the repository); the test skips when it is absent.
get_filename_component(setup_shared_layouts ${PROJECT_SOURCE_DIR}/../shared/testdata/third-party-layouts ABSOLUTE)
set(SETUP_THIRD_PARTY_LAYOUTS ${setup_shared_layouts} CACHE PATH
    "folder of third-party layout libraries used as test data")
target_compile_definitions(layout_patch_tests PRIVATE
  SETUP_THIRD_PARTY_LAYOUTS="${SETUP_THIRD_PARTY_LAYOUTS}")

# The checksum against the ones linkers wrote into our demo libraries and the third-party ones.
setup_unit_tests(pe_checksum_tests LIBS pe_checksum SOURCES ${CMAKE_CURRENT_LIST_DIR}/pe_checksum_test.cpp)
add_dependencies(pe_checksum_tests demo_layouts)
target_compile_definitions(pe_checksum_tests PRIVATE DEMO_LAYOUTS_DIR="${SETUP_DEMO_LAYOUTS_DIR}"
  SETUP_THIRD_PARTY_LAYOUTS="${SETUP_THIRD_PARTY_LAYOUTS}")

setup_unit_tests(layout_choice_tests LIBS layout_choice SOURCES ${CMAKE_CURRENT_LIST_DIR}/layout_choice_test.cpp)
