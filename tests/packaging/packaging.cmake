# The payload tool's own tests (plain Python), and packaging end to end: the installer built again signed and
# around a product folder in build folders of its own, then installed in this build's test bed.
add_test(NAME make_payload_tests COMMAND ${Python3_EXECUTABLE} ${CMAKE_CURRENT_LIST_DIR}/make_payload_tests.py)

if(E2E_PYTHON)
  add_test(NAME packaging_e2e
           COMMAND ${E2E_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/packaging_e2e.py --build ${CMAKE_BINARY_DIR})
  # Two more builds and two installs on the shared display: alone, and given time.
  set_tests_properties(packaging_e2e PROPERTIES TIMEOUT 3600 RUN_SERIAL TRUE)
endif()
