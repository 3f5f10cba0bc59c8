# Builds the Windows package and unpacks it afresh, as a Windows user would
# get it, for the package tests.
#   cmake -DBUILD_DIR=... -DPACKAGE=....zip -DUNPACK_DIR=... -P unpack_package.cmake
execute_process(COMMAND ${CMAKE_COMMAND} --build ${BUILD_DIR} --target package
                RESULT_VARIABLE built)
if(NOT built EQUAL 0)
  message(FATAL_ERROR "building the package target failed")
endif()
file(REMOVE_RECURSE ${UNPACK_DIR})
file(MAKE_DIRECTORY ${UNPACK_DIR})
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${PACKAGE} WORKING_DIRECTORY ${UNPACK_DIR}
                RESULT_VARIABLE unpacked)
if(NOT unpacked EQUAL 0)
  message(FATAL_ERROR "cannot unpack ${PACKAGE}")
endif()
