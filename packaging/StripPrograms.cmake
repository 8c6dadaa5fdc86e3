# Run by CPack between staging and packing (CPACK_PRE_BUILD_SCRIPTS): strips
# the staged programs as Debian's packaging does, symbols and the .comment
# and .note sections alike.
file(GLOB programs "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin/*")
if(NOT programs)
  message(FATAL_ERROR "no programs staged in ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/bin")
endif()
foreach(program ${programs})
  execute_process(COMMAND strip --remove-section=.comment --remove-section=.note ${program}
                  RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "strip ${program} failed")
  endif()
endforeach()
