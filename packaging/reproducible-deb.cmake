# Run by cpack after it has made the Debian package (CPACK_POST_BUILD_SCRIPTS):
# makes the package again from its own contents with dpkg-deb, which gives
# the same bytes for the same commit. CPack itself stamps the archive's
# members with the time of the build and the files with the times of the
# build and the checkout, and takes the permissions of folders from the
# umask.
#
# The time is $SOURCE_DATE_EPOCH when set, else that of the last commit,
# else that of the latest entry in packaging/changelog. Every time after it
# becomes it; folders get 0755 and files 0644, or 0755 when executable.
if(DEFINED ENV{SOURCE_DATE_EPOCH} AND NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(epoch "$ENV{SOURCE_DATE_EPOCH}")
else()
  execute_process(
    COMMAND git -C "${CPACK_CORVANE_SOURCE_DIR}" log -1 --format=%ct
    OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET RESULT_VARIABLE failed)
  if(failed OR epoch STREQUAL "")
    execute_process(
      COMMAND dpkg-parsechangelog -l "${CPACK_CORVANE_SOURCE_DIR}/packaging/changelog" -S Timestamp
      OUTPUT_VARIABLE epoch OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
  endif()
endif()

foreach(package IN LISTS CPACK_PACKAGE_FILES)
  if(NOT package MATCHES "\\.deb$")
    continue()
  endif()
  set(tree "${package}.tree")
  file(REMOVE_RECURSE "${tree}")
  execute_process(COMMAND dpkg-deb --raw-extract "${package}" "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(COMMAND chmod -R u+rwX,go+rX,go-w "${tree}" COMMAND_ERROR_IS_FATAL ANY)
  execute_process(
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=${epoch}
            dpkg-deb --root-owner-group -Zxz --build "${tree}" "${package}"
    OUTPUT_QUIET COMMAND_ERROR_IS_FATAL ANY)
  file(REMOVE_RECURSE "${tree}")
endforeach()
