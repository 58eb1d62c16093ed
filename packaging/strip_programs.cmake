# Run by CPack on the staged files of each package, before it builds them:
# strips the programs as Debian's dh_strip does, with the compiler's
# .comment and .note sections, which only name the tools that built them.
file(GLOB_RECURSE staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
list(FILTER staged INCLUDE REGEX "/bin/[^/]+$")
foreach(program IN LISTS staged)
  execute_process(
    COMMAND "${CPACK_KORVANE_STRIP}" --remove-section=.comment --remove-section=.note "${program}"
    COMMAND_ERROR_IS_FATAL ANY)
endforeach()
