# The interpreter the Python module is built for, installed into and tested with. A machine
# may have several (a distribution's /usr/bin/python3 with its numpy and pytest, another one
# first on PATH without them), so the build looks for one that has what the module needs
# rather than taking the first python3 it meets.

# result: TRUE when python imports every module of the list.
function(mac2mod_python_imports python modules result)
    string(REPLACE ";" "," list "${modules}")
    execute_process(COMMAND ${python} -c "import ${list}" RESULT_VARIABLE status
                    OUTPUT_QUIET ERROR_QUIET)
    if(status EQUAL 0)
        set(${result} TRUE PARENT_SCOPE)
    else()
        set(${result} FALSE PARENT_SCOPE)
    endif()
endfunction()

# Sets MAC2MOD_PYTHON (and Python_EXECUTABLE, for pybind11) to the interpreter given as
# Python3_EXECUTABLE or Python_EXECUTABLE, else to the first of python3 on PATH and
# /usr/bin/python3 that imports numpy (and pytest, when the tests are built). Anything
# missing ends the configuration with the Debian packages that bring it.
macro(mac2mod_choose_python)
    set(_needed numpy)
    if(MAC2MOD_BUILD_TESTS)
        list(APPEND _needed pytest)
    endif()
    # Python_EXECUTABLE counts as given unless it is the choice of an earlier run, which is
    # made again (numpy may have been installed since).
    if(Python3_EXECUTABLE)
        set(_candidates ${Python3_EXECUTABLE})
    elseif(Python_EXECUTABLE AND NOT Python_EXECUTABLE STREQUAL "$CACHE{MAC2MOD_PYTHON_CHOSEN}")
        set(_candidates ${Python_EXECUTABLE})
    else()
        find_program(_on_path NAMES python3 NO_CACHE)
        set(_candidates ${_on_path} /usr/bin/python3)
    endif()
    unset(MAC2MOD_PYTHON)
    foreach(_python ${_candidates})
        mac2mod_python_imports(${_python} "${_needed}" _has_all)
        if(_has_all)
            set(MAC2MOD_PYTHON ${_python})
            break()
        endif()
    endforeach()

    set(_missing)
    if(NOT MAC2MOD_PYTHON)
        list(GET _candidates 0 MAC2MOD_PYTHON)
        foreach(_module ${_needed})
            mac2mod_python_imports(${MAC2MOD_PYTHON} ${_module} _has)
            if(NOT _has)
                list(APPEND _missing python3-${_module})
            endif()
        endforeach()
    endif()
    set(Python_EXECUTABLE ${MAC2MOD_PYTHON} CACHE FILEPATH "The interpreter of the Python module" FORCE)
    set(MAC2MOD_PYTHON_CHOSEN ${MAC2MOD_PYTHON} CACHE INTERNAL "")
    set(PYBIND11_FINDPYTHON ON)
    find_package(Python 3.7 COMPONENTS Interpreter Development.Module QUIET)
    if(NOT Python_Development.Module_FOUND)
        list(APPEND _missing python3-dev)
    endif()
    find_package(pybind11 2.6 CONFIG QUIET)
    if(NOT pybind11_FOUND)
        list(APPEND _missing pybind11-dev)
    endif()
    if(_missing)
        list(JOIN _missing " " _missing)
        list(JOIN _candidates ", " _tried)
        message(FATAL_ERROR "MAC2MOD_BUILD_PYTHON is on, and what the Python module needs is missing "
                            "(interpreters tried: ${_tried}). Install the Debian packages: "
                            "apt-get install ${_missing}; or give an interpreter that has them with "
                            "-DPython3_EXECUTABLE=...; or configure with "
                            "-DMAC2MOD_BUILD_PYTHON=OFF.")
    endif()
    message(STATUS "Python module: built for and tested with ${MAC2MOD_PYTHON}")

    # Installed relative to the prefix as the interpreter's own site folder is to its prefix
    # (lib/python3.11/dist-packages for Debian's, lib/python3.11/site-packages elsewhere).
    execute_process(COMMAND ${MAC2MOD_PYTHON} -c
        "import os, sysconfig; p = sysconfig.get_paths(); r = os.path.relpath(p['platlib'], p['data']); print(p['platlib'] if r.startswith('..') else r, end='')"
        OUTPUT_VARIABLE _site)
    set(MAC2MOD_PYTHON_INSTALL_DIR "" CACHE STRING
        "Where the Python package is installed, relative to the install prefix or absolute (empty: the interpreter's site folder)")
    if(NOT MAC2MOD_PYTHON_INSTALL_DIR)
        set(MAC2MOD_PYTHON_INSTALL_DIR ${_site})
    endif()
    message(STATUS "Python module: installed into <prefix>/${MAC2MOD_PYTHON_INSTALL_DIR}")
endmacro()

# Adds to the list var what a test needs to load a sanitized extension into an interpreter
# that is not: the sanitizer's runtime first, and no leak report for the interpreter's own
# lifetime allocations.
function(mac2mod_sanitizer_environment var)
    set(runtime)
    if(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*address")
        set(runtime asan)
    elseif(CMAKE_CXX_FLAGS MATCHES "-fsanitize=[^ ]*thread")
        set(runtime tsan)
    endif()
    if(NOT runtime)
        return()
    endif()
    if(CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
        set(library libclang_rt.${runtime}-${CMAKE_SYSTEM_PROCESSOR}.so)
    else()
        set(library lib${runtime}.so)
    endif()
    # The C++ library too: the runtime's catch of exceptions needs it loaded before the
    # extension, and the interpreter does not link it.
    set(paths)
    foreach(name ${library} libstdc++.so)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${name}
                        OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
        list(APPEND paths ${path})
    endforeach()
    list(JOIN paths ":" preload)
    set(${var} ${${var}} "LD_PRELOAD=${preload}" "ASAN_OPTIONS=detect_leaks=0" PARENT_SCOPE)
endfunction()
