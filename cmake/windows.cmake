# The Windows library: KESTI.dll with the two functions exported by name and
# ordinal through a module-definition file, a version resource, an import
# library, and the C and C++ runtimes linked in so that it imports Windows
# system DLLs only.
enable_language(RC)
configure_file(${PROJECT_SOURCE_DIR}/api/kesti.rc.in ${PROJECT_BINARY_DIR}/kesti.rc @ONLY)
target_sources(kesti PRIVATE ${PROJECT_SOURCE_DIR}/api/kesti.def ${PROJECT_BINARY_DIR}/kesti.rc)
set_target_properties(kesti PROPERTIES
  OUTPUT_NAME KESTI
  PREFIX ""
  IMPORT_PREFIX ""
  IMPORT_SUFFIX ".lib"
  RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR}
  ARCHIVE_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
# The __stdcall names (_ConvertWGToPinyin@8) are exported undecorated, as the
# .def file names them.
target_link_options(kesti PRIVATE -static -static-libgcc -static-libstdc++ -Wl,--enable-stdcall-fixup
  -Wl,--kill-at)

# A host program, as a Windows caller would write it, to run under wine.
add_executable(kesti_host ${PROJECT_SOURCE_DIR}/tests/windows/host.c)
target_link_options(kesti_host PRIVATE -static)
set_target_properties(kesti_host PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${PROJECT_BINARY_DIR})
