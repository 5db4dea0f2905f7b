# Run by cpack on the staged tree before it is packed: strips the programs
# and the library as Debian's dh_strip does, adds the copyright and the
# changelog that Debian wants in /usr/share/doc/quillet and compresses the
# manual pages (gzip -9n, as the Debian policy says).
set(root "${CPACK_TEMPORARY_DIRECTORY}")
set(source "${CPACK_QUILLET_PACKAGE_SOURCE_DIR}")
if(NOT IS_DIRECTORY "${root}/usr/lib/quillet")
  message(FATAL_ERROR "DebianFiles.cmake: no staged program in ${root}")
endif()

# No debugging symbols, no compiler's comments.
file(GLOB_RECURSE files LIST_DIRECTORIES false "${root}/usr/*")
foreach(f IN LISTS files)
  if(NOT IS_SYMLINK "${f}")
    file(READ "${f}" magic LIMIT 4 HEX)
    if(magic STREQUAL "7f454c46")
      set(unneeded)
      if(f MATCHES "\\.so$")
        set(unneeded --strip-unneeded)
      endif()
      execute_process(COMMAND "${CPACK_QUILLET_STRIP}" --remove-section=.comment
                              --remove-section=.note ${unneeded} "${f}"
                      COMMAND_ERROR_IS_FATAL ANY)
    endif()
  endif()
endforeach()

# The package's version is that of the newest changelog entry too.
file(STRINGS "${source}/changelog" newest LIMIT_COUNT 1)
if(NOT newest MATCHES "^quillet \\(${CPACK_PACKAGE_VERSION}\\) ")
  message(FATAL_ERROR "package/changelog starts with \"${newest}\", not with an "
                      "entry for version ${CPACK_PACKAGE_VERSION}: add one")
endif()

set(doc "${root}/usr/share/doc/quillet")
file(MAKE_DIRECTORY "${doc}")
file(COPY_FILE "${source}/copyright" "${doc}/copyright")
# A native package (no Debian revision): its changelog is changelog.gz.
execute_process(COMMAND gzip -9n -c "${source}/changelog"
                OUTPUT_FILE "${doc}/changelog.gz" COMMAND_ERROR_IS_FATAL ANY)

file(GLOB_RECURSE pages "${root}/usr/share/man/*")
foreach(page IN LISTS pages)
  if(NOT page MATCHES "\\.gz$")
    execute_process(COMMAND gzip -9nf "${page}" COMMAND_ERROR_IS_FATAL ANY)
  endif()
endforeach()

file(CHMOD "${doc}/copyright" "${doc}/changelog.gz"
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
