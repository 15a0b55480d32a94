# The installer end to end: the real FeijingSetup.exe in the Wine test bed, driven with X input.
# Runs after tools/test.sh has brought the bed up; by hand it brings the bed up itself.

# The installer with a slowed worker (in the installer's folder, beside the real one): the cases that look at
# the installing state or end the installer in its middle need one that does not finish between two looks.
add_executable(FeijingSetupSlow WIN32 ${CMAKE_CURRENT_LIST_DIR}/SlowInstaller.cpp ${CMAKE_SOURCE_DIR}/installer/FeijingSetup.rc)
target_link_libraries(FeijingSetupSlow PRIVATE installer_core)
target_include_directories(FeijingSetupSlow PRIVATE ${CMAKE_BINARY_DIR}/installer/manifests)
set_target_properties(FeijingSetupSlow PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/installer)
set_source_files_properties(${CMAKE_SOURCE_DIR}/installer/FeijingSetup.rc TARGET_DIRECTORY FeijingSetupSlow
                            PROPERTIES OBJECT_DEPENDS ${CMAKE_BINARY_DIR}/installer/manifests/FeijingSetup.manifest)

# Reports the DPI Wine gives a DPI-aware program; the test bed checks a prefix of another scale with it.
add_executable(dpi_probe ${CMAKE_CURRENT_LIST_DIR}/DpiProbe.cpp)
target_link_libraries(dpi_probe PRIVATE user32 gdi32)
set_target_properties(dpi_probe PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/tests)

# The script reads the screen with PIL (Debian's python3-pil): take the interpreter that has it, which need
# not be the first python3 on the PATH.
set(E2E_PYTHON "" CACHE FILEPATH "python3 with PIL for the end-to-end test")
if(NOT E2E_PYTHON)
  foreach(candidate /usr/bin/python3 python3)
    execute_process(COMMAND ${candidate} -c "import PIL" RESULT_VARIABLE has_pil OUTPUT_QUIET ERROR_QUIET)
    if(has_pil EQUAL 0)
      set(E2E_PYTHON ${candidate} CACHE FILEPATH "python3 with PIL for the end-to-end test" FORCE)
      break()
    endif()
  endforeach()
endif()
if(NOT E2E_PYTHON)
  message(WARNING "No python3 with PIL (python3-pil): the end-to-end test is not registered.")
  return()
endif()

add_test(NAME installer_e2e
         COMMAND ${E2E_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/installer_e2e.py --build ${CMAKE_BINARY_DIR}
                 --screenshots ${CMAKE_CURRENT_BINARY_DIR}/e2e)
# The cases run one installer after another on one display: never beside another test that uses it.
set_tests_properties(installer_e2e PROPERTIES TIMEOUT 1800 RUN_SERIAL TRUE)

# The same bed, the installer and uninstaller run silently: command lines, exit codes, logs.
add_test(NAME installer_silent_e2e
         COMMAND ${E2E_PYTHON} ${CMAKE_CURRENT_LIST_DIR}/silent_e2e.py --build ${CMAKE_BINARY_DIR}
                 --screenshots ${CMAKE_CURRENT_BINARY_DIR}/e2e-silent)
set_tests_properties(installer_silent_e2e PROPERTIES TIMEOUT 1200 RUN_SERIAL TRUE)
