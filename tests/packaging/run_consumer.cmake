# cmake -DSTEP=install -DBUILD_DIR=... -DPREFIX=... -P run_consumer.cmake
# cmake -DSTEP=cmake|pkgconfig -DPREFIX=... -DSOURCE=... -DWORK_DIR=... [-DARGS=...] -P run_consumer.cmake
#
# A client must load from the installed tree alone, so no step sees a library path.
unset(ENV{LD_LIBRARY_PATH})

function(run)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
    if(NOT rc EQUAL 0)
        message(FATAL_ERROR "failed (${rc}): ${ARGN}\n${out}")
    endif()
    message(STATUS "${out}")
endfunction()

if(STEP STREQUAL "install")
    file(REMOVE_RECURSE ${PREFIX})
    run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${PREFIX})
    # Clients get the API only: private state and internal parsers stay in the build tree.
    file(GLOB_RECURSE internal ${PREFIX}/include/*_p.h ${PREFIX}/include/roominfo.h)
    if(internal)
        message(FATAL_ERROR "internal headers installed: ${internal}")
    endif()
    return()
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
if(STEP STREQUAL "cmake")
    run(${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK_DIR} -G Ninja -DCMAKE_PREFIX_PATH=${PREFIX}
        -DCMAKE_BUILD_TYPE=Release)
    run(${CMAKE_COMMAND} --build ${WORK_DIR})
    file(GLOB program LIST_DIRECTORIES false ${WORK_DIR}/client)
elseif(STEP STREQUAL "pkgconfig")
    file(GLOB pcdir LIST_DIRECTORIES true ${PREFIX}/lib*/pkgconfig ${PREFIX}/lib/*/pkgconfig)
    set(ENV{PKG_CONFIG_PATH} "${pcdir}")
    execute_process(COMMAND pkg-config --cflags --libs immeeting
        OUTPUT_VARIABLE flags OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    execute_process(COMMAND pkg-config --variable=libdir immeeting
        OUTPUT_VARIABLE libdir OUTPUT_STRIP_TRAILING_WHITESPACE COMMAND_ERROR_IS_FATAL ANY)
    if(NOT libdir MATCHES "^${PREFIX}/")
        message(FATAL_ERROR "pkg-config names ${libdir}, not the install prefix ${PREFIX}")
    endif()
    separate_arguments(flags UNIX_COMMAND "${flags}")
    set(program ${WORK_DIR}/client)
    # Qt's libraries need position-independent clients; the run path is the client's own choice.
    run(c++ -std=c++17 -fPIC ${SOURCE} -o ${program} ${flags} -Wl,-rpath,${libdir})
endif()
if(NOT program)
    message(FATAL_ERROR "no client was built in ${WORK_DIR}")
endif()
separate_arguments(ARGS UNIX_COMMAND "${ARGS}")
# Every client stops by itself; the bound only turns a hang into a failure with its output.
run(${program} ${ARGS} TIMEOUT 120)
