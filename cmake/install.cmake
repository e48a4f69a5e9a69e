# The installed layout, and the same arrangement in the build tree so that a program run from
# the build finds its bundle and a real helper beside it:
#   bin/                              the window and the tools
#   share/quillon-mouse/              the pane bundle (resources/ plus what the build adds)
#   share/QuillonMouseHelper.app/     Contents/Info.plist, Contents/MacOS/quillon-helper
#   share/applications, metainfo, icons/hicolor, man/man1
# and the Debian package made from these rules.
include(GNUInstallDirs)

set(QUILLON_SHARE_DIR ${PROJECT_BINARY_DIR}/share)
set(QUILLON_BUNDLE_DIR ${QUILLON_SHARE_DIR}/quillon-mouse)
set(QUILLON_HELPER_APP_DIR ${QUILLON_SHARE_DIR}/QuillonMouseHelper.app)
set(QUILLON_HELPER_PROGRAM quillon-helper)
set(QUILLON_APP_ID com.quillonworks.mouse.settings)

# The pane bundle: every file of resources/, copied again whenever it changes. New files are
# picked up at the next build; other targets may add generated files to the same folder.
file(GLOB_RECURSE quillon_resource_files CONFIGURE_DEPENDS LIST_DIRECTORIES false
     RELATIVE ${PROJECT_SOURCE_DIR}/resources ${PROJECT_SOURCE_DIR}/resources/*)
set(quillon_bundle_outputs)
foreach(file IN LISTS quillon_resource_files)
  add_custom_command(OUTPUT ${QUILLON_BUNDLE_DIR}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/resources/${file}
            ${QUILLON_BUNDLE_DIR}/${file}
    DEPENDS ${PROJECT_SOURCE_DIR}/resources/${file}
    VERBATIM)
  list(APPEND quillon_bundle_outputs ${QUILLON_BUNDLE_DIR}/${file})
endforeach()
add_custom_target(quillon_bundle ALL DEPENDS ${quillon_bundle_outputs})
foreach(program quillon-settings quillon-prefs)
  if(TARGET ${program})
    add_dependencies(${program} quillon_bundle)
  endif()
endforeach()

# The helper application beside the bundle; its program is the stand-in helper.
if(TARGET quillon-helper)
  configure_file(${PROJECT_SOURCE_DIR}/data/QuillonMouseHelper.Info.plist.in
                 ${QUILLON_HELPER_APP_DIR}/Contents/Info.plist @ONLY)
  set(quillon_helper_link ${QUILLON_HELPER_APP_DIR}/Contents/MacOS/${QUILLON_HELPER_PROGRAM})
  add_custom_command(OUTPUT ${quillon_helper_link}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLON_HELPER_APP_DIR}/Contents/MacOS
    COMMAND ${CMAKE_COMMAND} -E create_symlink $<TARGET_FILE:quillon-helper> ${quillon_helper_link}
    DEPENDS quillon-helper
    VERBATIM)
  add_custom_target(quillon_helper_app ALL DEPENDS ${quillon_helper_link})
  # The window starts the helper from there, so a build of the window brings the helper along.
  if(TARGET quillon-settings)
    add_dependencies(quillon-settings quillon_helper_app)
  endif()
endif()

# Icons: drawn as SVG, rendered to the usual fixed sizes when rsvg-convert is there.
set(quillon_icon_svg ${PROJECT_SOURCE_DIR}/data/icons/${QUILLON_APP_ID}.svg)
find_program(QUILLON_RSVG_CONVERT rsvg-convert)
set(quillon_icon_outputs)
if(QUILLON_RSVG_CONVERT)
  foreach(size 16 22 24 32 48 64 128 256)
    set(png ${QUILLON_SHARE_DIR}/icons/hicolor/${size}x${size}/apps/${QUILLON_APP_ID}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLON_SHARE_DIR}/icons/hicolor/${size}x${size}/apps
      COMMAND ${QUILLON_RSVG_CONVERT} -w ${size} -h ${size} -o ${png} ${quillon_icon_svg}
      DEPENDS ${quillon_icon_svg}
      VERBATIM)
    list(APPEND quillon_icon_outputs ${png})
  endforeach()
else()
  message(STATUS "rsvg-convert not found: only the scalable icon is installed (librsvg2-bin)")
endif()

# Man pages, compressed as Debian keeps them.
file(GLOB quillon_man_pages CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/*.1)
set(quillon_man_outputs)
foreach(page IN LISTS quillon_man_pages)
  get_filename_component(name ${page} NAME)
  set(gz ${QUILLON_SHARE_DIR}/man/man1/${name}.gz)
  add_custom_command(OUTPUT ${gz}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${QUILLON_SHARE_DIR}/man/man1
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" sh ${page} ${gz}
    DEPENDS ${page}
    VERBATIM)
  list(APPEND quillon_man_outputs ${gz})
endforeach()
add_custom_target(quillon_desktop_data ALL DEPENDS ${quillon_icon_outputs} ${quillon_man_outputs})

# Install rules.
foreach(program quillon-settings quillon-helper quillon-prefs quillon-plutil)
  if(TARGET ${program})
    install(TARGETS ${program} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  endif()
endforeach()
install(DIRECTORY ${QUILLON_BUNDLE_DIR}/ DESTINATION ${CMAKE_INSTALL_DATADIR}/quillon-mouse)
if(TARGET quillon-helper)
  set(quillon_app_dest ${CMAKE_INSTALL_DATADIR}/QuillonMouseHelper.app)
  install(FILES ${QUILLON_HELPER_APP_DIR}/Contents/Info.plist DESTINATION ${quillon_app_dest}/Contents)
  # The bundle's program is a relative link to the installed helper, so the tree can be moved
  # whole (DESTDIR, a package's scratch root) and one program serves both names.
  install(CODE "
    set(macos \"${quillon_app_dest}/Contents/MacOS\")
    set(bin \"${CMAKE_INSTALL_BINDIR}\")
    foreach(var macos bin)
      if(NOT IS_ABSOLUTE \"\${\${var}}\")
        set(\${var} \"\${CMAKE_INSTALL_PREFIX}/\${\${var}}\")
      endif()
    endforeach()
    file(RELATIVE_PATH target \"\${macos}\" \"\${bin}/${QUILLON_HELPER_PROGRAM}\")
    set(link \"\$ENV{DESTDIR}\${macos}/${QUILLON_HELPER_PROGRAM}\")
    message(STATUS \"Installing: \${link} -> \${target}\")
    file(MAKE_DIRECTORY \"\$ENV{DESTDIR}\${macos}\")
    file(REMOVE \"\${link}\")
    file(CREATE_LINK \"\${target}\" \"\${link}\" SYMBOLIC)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${link}\")
  ")
endif()
if(TARGET quillon-settings)
  install(FILES ${PROJECT_SOURCE_DIR}/data/${QUILLON_APP_ID}.desktop
          DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
  install(FILES ${PROJECT_SOURCE_DIR}/data/${QUILLON_APP_ID}.metainfo.xml
          DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  install(FILES ${quillon_icon_svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
  if(quillon_icon_outputs)
    install(DIRECTORY ${QUILLON_SHARE_DIR}/icons/ DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
  endif()
endif()
if(quillon_man_outputs)
  install(FILES ${quillon_man_outputs} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()

# The Debian package: the same install rules below /usr, dependencies found by dpkg-shlibdeps.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillon-mouse)
set(CPACK_PACKAGE_VENDOR "Quillon Works")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Quillon Works <support@quillonworks.com>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "settings window and helper for Quillon mice")
set(CPACK_PACKAGE_DESCRIPTION "The settings of the Quillon Mouse driver: choose what each button of
a Quillon mouse does in each application and how the pointer moves. The
package holds the settings window (quillon-settings), the helper that the
window starts and keeps among the login items, and tools to inspect the
settings file (quillon-prefs, quillon-plutil).")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://www.quillonworks.com/")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Opening files and addresses goes through xdg-open; the window and helper talk over the
# session bus, which a desktop session has.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils, dbus-user-session | dbus-x11")
include(CPack)
