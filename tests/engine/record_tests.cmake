# The installation record and the system registrations (engine/install_record.cpp,
# engine/registration.cpp), in every Wine prefix.
if(CMAKE_CROSSCOMPILING)
  setup_wine_tests(engine_record_tests LIBS installer embedded_package scancode_map SOURCES record_test.cpp)
endif()
