# The Debian package, vellumor_<version>_amd64.deb, made by `cpack -G DEB` in a Linux build
# (scripts/test uses linux-release): the tool and its converter in /usr/lib/vellumor, as they
# lie in the build's out/ folder, both on PATH through /usr/bin, a menu entry with the icon,
# AppStream metainfo, manual pages, the copyright of what the converter links statically and
# a changelog. The files come from packaging/linux; the icons are cut out of the Windows icon.
include(GNUInstallDirs)
set(packaging ${PROJECT_SOURCE_DIR}/packaging/linux)
set(staged ${CMAKE_BINARY_DIR}/packaging)
set(app_id org.vellumor.Vellumor)
set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/vellumor)
find_program(GZIP gzip REQUIRED)
find_program(ICOTOOL icotool REQUIRED)

install(TARGETS vellumor RUNTIME DESTINATION lib/vellumor)
install(TARGETS xps2img RUNTIME DESTINATION lib/vellumor/bin)

# /usr/bin/vellumor and /usr/bin/xps2img: relative links, which the tool follows back to its
# own folder to find bin/xps2img.
file(MAKE_DIRECTORY ${staged}/bin)
file(CREATE_LINK ../lib/vellumor/vellumor ${staged}/bin/vellumor SYMBOLIC)
file(CREATE_LINK ../lib/vellumor/bin/xps2img ${staged}/bin/xps2img SYMBOLIC)
install(FILES ${staged}/bin/vellumor ${staged}/bin/xps2img DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${packaging}/${app_id}.desktop DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
configure_file(${packaging}/${app_id}.metainfo.xml ${staged}/${app_id}.metainfo.xml @ONLY)
install(FILES ${staged}/${app_id}.metainfo.xml DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${packaging}/copyright DESTINATION ${doc_dir})

# Manual pages and the changelog, compressed as Debian keeps them (no name or time stamp in
# the gzip header, so that the package is the same each time).
set(compressed)
foreach(source xps2img.1 vellumor.1 changelog)
  configure_file(${packaging}/${source} ${staged}/${source} @ONLY)
  add_custom_command(OUTPUT ${staged}/${source}.gz
    COMMAND ${GZIP} -9nf -k ${staged}/${source}
    DEPENDS ${staged}/${source})
  list(APPEND compressed ${staged}/${source}.gz)
endforeach()
install(FILES ${staged}/xps2img.1.gz ${staged}/vellumor.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
install(FILES ${staged}/changelog.gz DESTINATION ${doc_dir})

# The hicolor icons: each size the Windows icon holds, as PNG.
set(icon ${PROJECT_SOURCE_DIR}/app/win32/vellumor.ico)
set(icons)
foreach(size 16 32 48 256)
  set(png ${staged}/icons/${size}x${size}/vellumor.png)
  add_custom_command(OUTPUT ${png}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${staged}/icons/${size}x${size}
    COMMAND ${ICOTOOL} -x -w ${size} -o ${png} ${icon}
    DEPENDS ${icon})
  list(APPEND icons ${png})
  install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
add_custom_target(vellumor_package_files ALL DEPENDS ${compressed} ${icons})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vellumor)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_CONTACT "Vellumor maintainers <maintainers@users.noreply.c-seed-93e7875f.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "batch converter of XPS documents into images")
set(CPACK_PACKAGE_DESCRIPTION
    "Vellumor turns XPS and OpenXPS documents into raster images in batches:\n"
    "pick the documents, an image format (JPEG, PNG, TIFF, BMP or GIF) and a\n"
    "resolution, then an output folder, and every page becomes one image. The\n"
    "window speaks Simplified Chinese. The converter, xps2img, renders the\n"
    "pages with MuPDF and runs on its own too.")
string(REPLACE ";" "" CPACK_PACKAGE_DESCRIPTION "${CPACK_PACKAGE_DESCRIPTION}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
