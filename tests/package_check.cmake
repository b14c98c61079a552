# Installs the build into a temporary prefix, builds the example consumer against it
# with find_package(helmert2d) and runs it.
set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix}
                RESULT_VARIABLE rc OUTPUT_QUIET)
if(rc)
  message(FATAL_ERROR "install failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE}/examples/consumer -B ${WORK}/consumer
                        -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_TYPE=Release
                RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "configuring the consumer failed")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/consumer RESULT_VARIABLE rc)
if(rc)
  message(FATAL_ERROR "building the consumer failed")
endif()
execute_process(COMMAND ${WORK}/consumer/consumer OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(rc OR NOT out STREQUAL "t(15) =  3.29\n")
  message(FATAL_ERROR "consumer printed '${out}'")
endif()
foreach(f bin/helmert2d share/man/man1/helmert2d.1 include/helmert2d/Ha_xy_vb.h)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
