# The package for Windows users, built from the Windows build with
#   cmake --build build/windows --target package
# a zip holding the plugin, palette-balance, the stand-in host, a read-me and
# the sample files, all in one folder. The programs carry their own runtime, so nothing else
# has to travel with them.
install(TARGETS colour_balance_plugin palette_balance stand_in_host RUNTIME DESTINATION .)

# Notepad on older Windows shows a file with bare LF line ends as one line.
configure_file(${PROJECT_SOURCE_DIR}/packaging/ReadMe.txt ${CMAKE_BINARY_DIR}/packaging/ReadMe.txt
               @ONLY NEWLINE_STYLE CRLF)
install(FILES ${CMAKE_BINARY_DIR}/packaging/ReadMe.txt DESTINATION .)
# The files the read-me's examples use.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/samples/ DESTINATION samples PATTERN .gitattributes EXCLUDE)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME KavrinColorBalancePlugin)
set(CPACK_PACKAGE_VENDOR "Kavrin Color Balance Plugin")
set(CPACK_PACKAGE_FILE_NAME ${WINDOWS_PACKAGE_NAME})
set(CPACK_STRIP_FILES ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR}/package)
include(CPack)
