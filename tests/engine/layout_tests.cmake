# The layout images with the demo package (engine/layout_images.cpp), in every Wine prefix; the
# staged and installed images are read back by the comparer of tests/layouts.
if(CMAKE_CROSSCOMPILING AND TARGET layout_tools)
  set(layout_definitions DEMO_LAYOUTS_DIR="${SETUP_DEMO_LAYOUTS_DIR}" LAYOUT_TOOLS_DIR="${SETUP_LAYOUT_TOOLS_DIR}")
  setup_wine_tests(engine_layout_tests LIBS installer embedded_package imagehlp SOURCES layout_images_test.cpp)
  target_compile_definitions(engine_layout_tests PRIVATE ${layout_definitions})
  add_dependencies(engine_layout_tests layout_tools demo_layouts)

  # Installed for real: stage and register, restart the prefix, read the system folders.
  setup_wine_program(engine_layout_install LIBS installer embedded_package SOURCES layout_install.cpp)
  target_compile_definitions(engine_layout_install PRIVATE ${layout_definitions})
  add_dependencies(engine_layout_tests engine_layout_install)
  setup_wine_restart_steps(engine_layout_install PROGRAM engine_layout_install FIRST InstallStep
    PREFIXES w32-win7 w64-win10 AFTER engine_layout_tests)
endif()

# The same with a package whose images the packager compiles from our own .klc file; the
# originals the comparer needs are compiled again at build time (the same input, the same bytes).
if(CMAKE_CROSSCOMPILING AND TARGET layout_tools)
  set(klc ${PROJECT_SOURCE_DIR}/tests/packager/klc/features.klc)
  set(compiled ${CMAKE_BINARY_DIR}/compiled_layout)
  setup_compiled_layout(compiled_layout_originals KLC ${klc} NAME kbdfeat OUT_DIR ${compiled})
  setup_embedded_package(compiled_layout_package
    MANIFEST ${CMAKE_CURRENT_SOURCE_DIR}/compiled_package/package.toml
    OUT_DIR ${CMAKE_BINARY_DIR}/compiled_layout_package
    DEPENDS ${klc})
  setup_wine_program(engine_compiled_layout_install LIBS installer compiled_layout_package SOURCES layout_install.cpp)
  target_compile_definitions(engine_compiled_layout_install PRIVATE ${layout_definitions}
    COMPILED_LAYOUTS_DIR="${compiled}")
  add_dependencies(engine_compiled_layout_install compiled_layout_originals layout_tools)
  setup_wine_restart_steps(engine_compiled_layout_install PROGRAM engine_compiled_layout_install FIRST InstallStep
    PREFIXES w32-win7 w64-win10)
endif()

# Third-party libraries, read in place when their folder exists (never copied into the
# repository), in a package with patterns that fit them; a 64-bit prefix runs both comparers.
if(CMAKE_CROSSCOMPILING AND TARGET layout_tools AND EXISTS ${SETUP_THIRD_PARTY_LAYOUTS}/ltenhd)
  setup_embedded_package(third_party_package
    MANIFEST ${CMAKE_CURRENT_SOURCE_DIR}/third_party_package/package.toml
    OUT_DIR ${CMAKE_BINARY_DIR}/third_party_package
    VARS THIRD_PARTY=${SETUP_THIRD_PARTY_LAYOUTS})
  setup_wine_tests(engine_third_party_tests LIBS installer third_party_package SOURCES third_party_test.cpp
    PREFIXES w64-win10)
  target_compile_definitions(engine_third_party_tests PRIVATE ${layout_definitions}
    THIRD_PARTY_LAYOUTS="${SETUP_THIRD_PARTY_LAYOUTS}")
  add_dependencies(engine_third_party_tests layout_tools)
endif()
