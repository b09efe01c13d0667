# Makes the Debian package with cpack and checks its control fields and contents: name, version,
# section, description, the desktop files at their places under /usr, and, when the build has an
# executable, the executable with the shared libraries that dpkg-shlibdeps found as dependencies.
#
# cmake -DBUILD_DIR=... -DWORK_DIR=... -DAPP_ID=... -DVERSION=... -DFILE_DESCRIPTION=...
#       -DICON_SIZES=48;128;256 -DBINARY=tuvaro|"" -DDPKG_DEB=... -P check_deb.cmake

include(${CMAKE_CURRENT_LIST_DIR}/check_common.cmake)

if(NOT DPKG_DEB OR NOT EXISTS "${DPKG_DEB}")
  fail("dpkg-deb is not installed (scripts/setup installs dpkg-dev)")
endif()

file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
get_filename_component(cmake_dir ${CMAKE_COMMAND} DIRECTORY)
run(${cmake_dir}/cpack -G DEB --config ${BUILD_DIR}/CPackConfig.cmake -B ${WORK_DIR})

file(GLOB packages ${WORK_DIR}/*.deb)
list(LENGTH packages count)
if(NOT count EQUAL 1)
  fail("expected one .deb in ${WORK_DIR}, found ${count}: ${packages}")
endif()

function(field name out_var)
  execute_process(COMMAND ${DPKG_DEB} --field ${packages} ${name} RESULT_VARIABLE rc
                  OUTPUT_VARIABLE value OUTPUT_STRIP_TRAILING_WHITESPACE
                  TIMEOUT ${CHECK_COMMAND_TIMEOUT})
  if(NOT rc EQUAL 0)
    fail("dpkg-deb --field ${name} -> ${rc}")
  endif()
  set(${out_var} "${value}" PARENT_SCOPE)
endfunction()

field(Package package)
field(Version version)
field(Section section)
field(Maintainer maintainer)
field(Description description)
field(Depends depends)
if(NOT package STREQUAL "tuvaro")
  fail("Package is '${package}'")
endif()
if(NOT version STREQUAL VERSION)
  fail("Version is '${version}', the project's version is ${VERSION}")
endif()
if(NOT section STREQUAL "net")
  fail("Section is '${section}'")
endif()
if(maintainer STREQUAL "")
  fail("no Maintainer")
endif()
string(REGEX REPLACE "\n.*" "" synopsis "${description}")
if(NOT synopsis STREQUAL FILE_DESCRIPTION)
  fail("the description's first line is '${synopsis}', not the file description")
endif()

execute_process(COMMAND ${DPKG_DEB} --contents ${packages} RESULT_VARIABLE rc
                OUTPUT_VARIABLE contents TIMEOUT ${CHECK_COMMAND_TIMEOUT})
if(NOT rc EQUAL 0)
  fail("dpkg-deb --contents -> ${rc}")
endif()
set(expected
  ./usr/share/applications/${APP_ID}.desktop
  ./usr/share/metainfo/${APP_ID}.metainfo.xml)
foreach(size IN LISTS ICON_SIZES)
  list(APPEND expected ./usr/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
endforeach()
if(BINARY)
  list(APPEND expected ./usr/bin/${BINARY})
endif()
foreach(path IN LISTS expected)
  string(FIND "${contents}" " ${path}\n" at)
  if(at EQUAL -1)
    fail("the package lacks ${path}; it holds:\n${contents}")
  endif()
endforeach()

# With an executable inside, dpkg-shlibdeps must have turned its libraries into dependencies.
if(BINARY)
  foreach(library libc6 libgtk-3-0)
    string(FIND "${depends}" "${library}" at)
    if(at EQUAL -1)
      fail("Depends lacks ${library}: '${depends}'")
    endif()
  endforeach()
  string(REGEX MATCH "libwebkit2gtk-4\\.1-0" webkit "${depends}")
  if(NOT webkit)
    fail("Depends lacks libwebkit2gtk-4.1-0: '${depends}'")
  endif()
endif()

message(STATUS "${packages}: ${package} ${version}, depends: ${depends}")
