# The extension module for Windows x64, cross-built with mingw-w64: CPython's
# headers with the Windows interpreter configuration of cmake/windows/, linked
# against an import library for python315.dll that dlltool makes from the
# names the module's objects use. No Windows interpreter runs here; the build
# proves that the module compiles for LLP64 and Windows' DLL linkage without
# a warning and links without an undefined symbol.
set(windows_include ${CMAKE_BINARY_DIR}/windows-python-include)
file(COPY ${KAIRODEX_WINDOWS_PYTHON_INCLUDE}/ DESTINATION ${windows_include}
     PATTERN pyconfig.h EXCLUDE)
file(COPY ${CMAKE_CURRENT_SOURCE_DIR}/cmake/windows/pyconfig.h DESTINATION ${windows_include})

add_library(kairodex_objects OBJECT ${KAIRODEX_PYTHON_SOURCES})
target_include_directories(kairodex_objects SYSTEM PRIVATE ${windows_include})
target_link_libraries(kairodex_objects PRIVATE kairodex_core)

set(python_def ${CMAKE_BINARY_DIR}/python315.def)
set(python_implib ${CMAKE_BINARY_DIR}/libpython315.a)
find_program(KAIRODEX_DLLTOOL x86_64-w64-mingw32-dlltool REQUIRED)
add_custom_command(
  OUTPUT ${python_implib}
  COMMAND ${CMAKE_COMMAND} -DNM=${CMAKE_NM} -DOUTPUT=${python_def}
          "-DOBJECTS=$<JOIN:$<TARGET_OBJECTS:kairodex_objects>,|>" -P ${CMAKE_CURRENT_SOURCE_DIR}/cmake/python_def.cmake
  COMMAND ${KAIRODEX_DLLTOOL} -d ${python_def} -D python315.dll -l ${python_implib}
  DEPENDS kairodex_objects $<TARGET_OBJECTS:kairodex_objects>
  COMMENT "import library for python315.dll"
  VERBATIM)
add_custom_target(python_import_library DEPENDS ${python_implib})

add_library(kairodex MODULE $<TARGET_OBJECTS:kairodex_objects>)
add_dependencies(kairodex python_import_library)
target_link_libraries(kairodex PRIVATE ${python_implib})
target_link_options(kairodex PRIVATE -Wl,--no-undefined)
set_target_properties(kairodex PROPERTIES PREFIX "" OUTPUT_NAME kairodex.cp315-win_amd64 SUFFIX .pyd)
