# Run by cpack on the finished package. CPack adds postinst and postrm
# scripts that call ldconfig for any library under /usr/lib, though the
# provider in /usr/lib/quillet is no library of the linker's search path and
# the package needs no maintainer scripts at all. The package is unpacked,
# the two scripts are taken out and it is packed again by dpkg-deb (the
# md5sums stay right, as they list only the files).
foreach(deb IN LISTS CPACK_PACKAGE_FILES)
  set(tree "${CPACK_TEMPORARY_DIRECTORY}-repack")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${deb}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  foreach(script postinst postrm)
    if(EXISTS "${tree}/DEBIAN/${script}")
      file(READ "${tree}/DEBIAN/${script}" text)
      string(REGEX REPLACE "[ \t\n]+" " " words "${text}")
      if(NOT words MATCHES "^#!/bin/sh set -e if \\[ \"\\$1\" = \"[a-z]+\" \\]; then ldconfig fi ?$")
        message(FATAL_ERROR "${script} of ${deb} does more than call ldconfig:\n${text}")
      endif()
      file(REMOVE "${tree}/DEBIAN/${script}")
    endif()
  endforeach()
  execute_process(COMMAND dpkg-deb --root-owner-group --build "${tree}" "${deb}"
                  OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
