# Installs the built project into a scratch prefix and checks that the desktop finds everything
# there: the desktop entry, the metainfo and the hicolor icons at their sizes (and the executable,
# when the build has one), each valid under desktop-file-validate and appstreamcli.
#
# cmake -DBUILD_DIR=... -DWORK_DIR=... -DAPP_ID=... -DVERSION=... -DFILE_DESCRIPTION=...
#       -DICON_SIZES=48;128;256 -DBINARY=tuvaro|"" -DDESKTOP_FILE_VALIDATE=... -DAPPSTREAMCLI=...
#       -P check_install.cmake

include(${CMAKE_CURRENT_LIST_DIR}/check_common.cmake)

foreach(tool DESKTOP_FILE_VALIDATE APPSTREAMCLI)
  if(NOT ${tool} OR NOT EXISTS "${${tool}}")
    fail("${tool} is not installed (scripts/setup installs it)")
  endif()
endforeach()

set(prefix ${WORK_DIR}/prefix)
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})

set(desktop ${prefix}/share/applications/${APP_ID}.desktop)
set(metainfo ${prefix}/share/metainfo/${APP_ID}.metainfo.xml)
expect_file(${desktop})
expect_file(${metainfo})
foreach(size IN LISTS ICON_SIZES)
  set(icon ${prefix}/share/icons/hicolor/${size}x${size}/apps/${APP_ID}.png)
  expect_file(${icon})
  png_size(${icon} width height)
  if(NOT width EQUAL size OR NOT height EQUAL size)
    fail("${icon} is ${width} x ${height}, not ${size} x ${size}")
  endif()
endforeach()
if(BINARY)
  set(exe ${prefix}/bin/${BINARY})
  if(NOT EXISTS ${exe} OR IS_DIRECTORY ${exe})
    fail("the executable was not installed as bin/${BINARY}")
  endif()
  execute_process(COMMAND test -x ${exe} RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    fail("bin/${BINARY} is not executable")
  endif()
endif()

# The desktop entry starts the installed program and names the installed icon.
file(STRINGS ${desktop} exec_line ENCODING UTF-8 REGEX "^Exec=")
file(STRINGS ${desktop} icon_line ENCODING UTF-8 REGEX "^Icon=")
if(NOT exec_line STREQUAL "Exec=tuvaro")
  fail("desktop entry: expected Exec=tuvaro, found '${exec_line}'")
endif()
if(NOT icon_line STREQUAL "Icon=${APP_ID}")
  fail("desktop entry: expected Icon=${APP_ID}, found '${icon_line}'")
endif()
file(STRINGS ${desktop} comment_line ENCODING UTF-8 REGEX "^Comment\\[zh_CN\\]=")
if(NOT comment_line STREQUAL "Comment[zh_CN]=${FILE_DESCRIPTION}")
  fail("desktop entry: the Chinese comment is not the file description: '${comment_line}'")
endif()

# The metainfo's newest release is this build's version, and it launches this desktop entry.
file(READ ${metainfo} xml)
string(REGEX MATCH "<release version=\"([^\"]*)\"" release "${xml}")
if(NOT CMAKE_MATCH_1 STREQUAL VERSION)
  fail("metainfo: first release is '${CMAKE_MATCH_1}', the project's version is ${VERSION}")
endif()
string(FIND "${xml}" "<launchable type=\"desktop-id\">${APP_ID}.desktop</launchable>" at)
if(at EQUAL -1)
  fail("metainfo: no launchable for ${APP_ID}.desktop")
endif()

# desktop-file-validate prints hints and warnings but exits 0 on them: any output fails here.
run_quiet(${DESKTOP_FILE_VALIDATE} ${desktop})
# appstreamcli fails on warnings and errors; the only remark left is the pedantic one about the
# upper-case letter in the id, which the desktop's naming rules ask for.
run(${APPSTREAMCLI} validate --no-net ${metainfo})
# validate-tree checks the installed tree as a whole: metainfo, desktop entry and icon together.
run(${APPSTREAMCLI} validate-tree --no-net ${prefix})

message(STATUS "installed tree in ${prefix} is complete and valid")
