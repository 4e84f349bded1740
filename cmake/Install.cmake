# What `cmake --install` puts under the prefix: the viewer and everything a
# desktop needs of it. The batch tool's rule is in the top CMakeLists.txt.
# Included from there after every target exists.
#
# The layout is also how an installed koruview knows it is installed: it
# runs from bin/ with share/koruview/ beside it (src/core/platform/Paths.h).

set(_res ${PROJECT_SOURCE_DIR}/src/resources)
set(_share ${CMAKE_INSTALL_DATADIR})
set(_doc ${CMAKE_INSTALL_DATADIR}/doc/koruview)

# Man pages, compressed as Debian wants them; gzip -n leaves out the time so
# every build makes the same bytes.
set(KORU_MAN_DIR ${PROJECT_BINARY_DIR}/man)
set(_man_pages)
foreach(_page koruview koru)
  configure_file(${_res}/man/${_page}.1.in ${KORU_MAN_DIR}/${_page}.1 @ONLY)
  add_custom_command(OUTPUT ${KORU_MAN_DIR}/${_page}.1.gz
    COMMAND gzip -9nkf ${KORU_MAN_DIR}/${_page}.1
    DEPENDS ${KORU_MAN_DIR}/${_page}.1 VERBATIM)
  list(APPEND _man_pages ${KORU_MAN_DIR}/${_page}.1.gz)
endforeach()
add_custom_target(koru_man_pages ALL DEPENDS ${_man_pages})

# The example recording is also the installed layout's mark.
install(FILES ${PROJECT_SOURCE_DIR}/examples/ptb_s0010_8lead.sig
              ${PROJECT_SOURCE_DIR}/examples/ptb_s0010_8lead.cfg
              ${PROJECT_SOURCE_DIR}/examples/ATTRIBUTION.md
        DESTINATION ${_share}/koruview)

# The licence as Debian's copyright file, with the example data's terms.
file(READ ${PROJECT_SOURCE_DIR}/LICENSE KORU_LICENSE_TEXT)
configure_file(${_res}/copyright.in ${PROJECT_BINARY_DIR}/copyright @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/copyright DESTINATION ${_doc})

# The GDF and SCP-ECG reader process, where both programs look for it
# (bin/../lib/koruview/, src/core/platform/ChildProcess.h).
if(TARGET koru_reader)
  install(TARGETS koru_reader RUNTIME DESTINATION lib/koruview)
endif()

if(TARGET koruview)
  install(TARGETS koruview RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_res}/koruview.html DESTINATION ${_doc})
  install(FILES ${KORU_MAN_DIR}/koruview.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${_res}/koruview.desktop DESTINATION ${_share}/applications)
  install(FILES ${_res}/koruview-mime.xml DESTINATION ${_share}/mime/packages
          RENAME koruview.xml)
  install(FILES ${_res}/koruview.svg DESTINATION ${_share}/icons/hicolor/scalable/apps)
  foreach(_size 48 256)
    install(FILES ${KORU_ICON_DIR}/${_size}/koruview.png
            DESTINATION ${_share}/icons/hicolor/${_size}x${_size}/apps)
  endforeach()
endif()
