# Run by CPack on the staged files: Debian wants man pages and the changelog compressed
# with gzip -9n (no name or time stamp inside), whichever module installed them.
file(GLOB_RECURSE _plain
    ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share/man/*
    ${CPACK_TEMPORARY_INSTALL_DIRECTORY}/usr/share/doc/quillmark/changelog)
list(FILTER _plain EXCLUDE REGEX "\\.gz$")
foreach(file IN LISTS _plain)
    execute_process(COMMAND gzip -9nf ${file} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
