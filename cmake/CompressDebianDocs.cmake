# Run by CPack on the staged installation before it is packed: Debian's
# policy wants manual pages and changelogs compressed with gzip -9n.
file(GLOB_RECURSE staged LIST_DIRECTORIES false ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*)
list(FILTER staged INCLUDE REGEX "/share/(man/man[1-9]/[^/]+\\.[1-9]|doc/quelma/changelog)$")
foreach(doc ${staged})
  execute_process(COMMAND gzip -9nf ${doc} RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "gzip ${doc} failed")
  endif()
endforeach()
