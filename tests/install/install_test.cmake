# Installs the build tree into a fresh prefix and builds the README's example
# program against it twice, with CMake's package and with pkg-config; checks
# that both load the installed library by its soname, and that the installed
# tool and Python module load theirs. Run with cmake -P and
#   BUILD_DIR, WORK_DIR, EXAMPLE, CXX, CXX_FLAGS, LINKER_FLAGS, LIBDIR,
#   LIBRARY_SONAME, and PYTHON with PYTHON_MODULE_DIR (relative to the
#   prefix) unless the build has no Python module.

function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "failed (${status}): ${ARGN}\n${out}")
  endif()
  set(output "${out}" PARENT_SCOPE)
endfunction()

# The soname must resolve to the installed copy, not the build tree's.
function(expect_installed_library program)
  run(ldd ${program})
  if(NOT output MATCHES "${LIBRARY_SONAME} => ${prefix}/")
    message(FATAL_ERROR "${program} does not load ${LIBRARY_SONAME} from ${prefix}:\n${output}")
  endif()
endfunction()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
set(libdir ${prefix}/${LIBDIR})
foreach(installed include/tolmaren/api/Tolmaren_basestation_api.h
                  include/tolmaren/data/ElectrodePacket.h bin/tolmaren ${LIBDIR}/${LIBRARY_SONAME})
  if(NOT EXISTS ${prefix}/${installed})
    message(FATAL_ERROR "not installed: ${installed}")
  endif()
endforeach()

run(${CMAKE_COMMAND} -S ${CMAKE_CURRENT_LIST_DIR} -B ${WORK_DIR}/cmake-user
    -DCMAKE_PREFIX_PATH=${prefix} -DEXAMPLE=${EXAMPLE} -DCMAKE_BUILD_TYPE=Release
    -DCMAKE_CXX_COMPILER=${CXX} "-DCMAKE_CXX_FLAGS=${CXX_FLAGS}"
    "-DCMAKE_EXE_LINKER_FLAGS=${LINKER_FLAGS}")
run(${CMAKE_COMMAND} --build ${WORK_DIR}/cmake-user)
expect_installed_library(${WORK_DIR}/cmake-user/drive_probe)

set(ENV{PKG_CONFIG_PATH} ${libdir}/pkgconfig)
run(pkg-config --cflags --libs tolmaren)
separate_arguments(pkg_flags UNIX_COMMAND "${output}")
separate_arguments(cxx_flags UNIX_COMMAND "${CXX_FLAGS} ${LINKER_FLAGS}")
run(${CXX} -std=c++17 ${cxx_flags} ${EXAMPLE} ${pkg_flags} -o ${WORK_DIR}/drive_probe_pc)
set(ENV{LD_LIBRARY_PATH} ${libdir})
expect_installed_library(${WORK_DIR}/drive_probe_pc)
unset(ENV{LD_LIBRARY_PATH})

run(${prefix}/bin/tolmaren --help)
expect_installed_library(${prefix}/bin/tolmaren)
if(PYTHON)
  # One statement a line: a semicolon would split the argument as a CMake list.
  run(${CMAKE_COMMAND} -E env PYTHONPATH=${prefix}/${PYTHON_MODULE_DIR} ${PYTHON} -c
      "import tolmaren\nprint(tolmaren.__file__, tolmaren.Basestation().api_version)")
  if(NOT output MATCHES "^${prefix}/.*\\(4, 1\\)")
    message(FATAL_ERROR "the installed Python module did not load: ${output}")
  endif()
endif()
