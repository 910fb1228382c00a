# Builds KESTI.dll for 32-bit x86 and x64 (and the wine host test program)
# from the same sources, with the toolchain files in cmake/, when mingw-w64
# is installed. Results: build/windows-i686/KESTI.dll and
# build/windows-x86_64/KESTI.dll, each with KESTI.lib and kesti_host.exe.
include(ExternalProject)
set(KESTI_WINDOWS_ARCHES)
foreach(arch i686 x86_64)
  find_program(KESTI_MINGW_${arch} ${arch}-w64-mingw32-g++)
  if(KESTI_MINGW_${arch})
    list(APPEND KESTI_WINDOWS_ARCHES ${arch})
    ExternalProject_Add(kesti_windows_${arch}
      SOURCE_DIR ${PROJECT_SOURCE_DIR}
      BINARY_DIR ${PROJECT_BINARY_DIR}/windows-${arch}
      CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${PROJECT_SOURCE_DIR}/cmake/toolchain-mingw-${arch}.cmake
                 -DCMAKE_BUILD_TYPE=Release -DKESTI_BUILD_TESTS=OFF -DKESTI_BUILD_CLI=OFF
      BUILD_ALWAYS ON
      INSTALL_COMMAND ""
      EXCLUDE_FROM_ALL OFF)
  endif()
endforeach()
