# The static Windows libraries that scripts/build-deps builds, as imported targets:
#
#   WindowsDeps::mupdf   MuPDF (XPS, OpenXPS, CBZ, images, SVG; no PDF, HTML, EPUB, JS), with its
#                        third-party set (FreeType, HarfBuzz, jbig2dec) and libjpeg, zlib, and
#                        ICC colour management on Little CMS (WindowsDeps::lcms2)
#   WindowsDeps::jpeg    libjpeg-turbo (libjpeg 6b API)
#   WindowsDeps::spng    libspng, static (SPNG_STATIC), with zlib
#   WindowsDeps::tiff    libtiff (Win32 I/O, Deflate through libdeflate, LZW, PackBits, JPEG)
#   WindowsDeps::deflate libdeflate (whole-buffer Deflate)
#   WindowsDeps::isal    ISA-L's Deflate (igzip): assembly on 64-bit, its portable C on 32-bit
#   WindowsDeps::gif     giflib
#   WindowsDeps::zlib    zlib
#   WindowsDeps::lcms2   Little CMS
#
# VELLUMOR_WINDOWS_DEPS is the prefix the script built into (include/, lib/) for this target.

if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  set(deps_target windows64)
else()
  set(deps_target windows)
endif()
set(VELLUMOR_WINDOWS_DEPS "${PROJECT_SOURCE_DIR}/build/deps/${deps_target}/prefix"
    CACHE PATH "Prefix of the libraries built by scripts/build-deps")

if(NOT EXISTS "${VELLUMOR_WINDOWS_DEPS}/.complete")
  message(FATAL_ERROR "No complete set of Windows libraries in ${VELLUMOR_WINDOWS_DEPS}; "
                      "run scripts/build-deps ${deps_target} first (scripts/test does)")
endif()

function(vellumor_windows_dep name file)
  add_library(WindowsDeps::${name} STATIC IMPORTED GLOBAL)
  set_target_properties(WindowsDeps::${name} PROPERTIES
    IMPORTED_LOCATION "${VELLUMOR_WINDOWS_DEPS}/lib/${file}"
    INTERFACE_INCLUDE_DIRECTORIES "${VELLUMOR_WINDOWS_DEPS}/include"
    INTERFACE_LINK_LIBRARIES "${ARGN}")
endfunction()

vellumor_windows_dep(zlib libz.a)
vellumor_windows_dep(jpeg libjpeg.a)
vellumor_windows_dep(gif libgif.a)
vellumor_windows_dep(spng libspng.a WindowsDeps::zlib)
set_property(TARGET WindowsDeps::spng PROPERTY INTERFACE_COMPILE_DEFINITIONS SPNG_STATIC)
vellumor_windows_dep(deflate libdeflate.a)
vellumor_windows_dep(isal libisal.a)
vellumor_windows_dep(tiff libtiff.a WindowsDeps::jpeg WindowsDeps::deflate WindowsDeps::zlib)
vellumor_windows_dep(lcms2 liblcms2.a)

# libmupdf and libmupdf-third call each other (MuPDF's allocator hooks in HarfBuzz, FreeType),
# so the pair is listed twice on the link line.
vellumor_windows_dep(mupdf_third libmupdf-third.a WindowsDeps::mupdf_core WindowsDeps::jpeg
                     WindowsDeps::zlib WindowsDeps::lcms2)
vellumor_windows_dep(mupdf_core libmupdf.a WindowsDeps::mupdf_third)
set_property(TARGET WindowsDeps::mupdf_core PROPERTY IMPORTED_LINK_INTERFACE_MULTIPLICITY 2)
add_library(WindowsDeps::mupdf INTERFACE IMPORTED GLOBAL)
set_target_properties(WindowsDeps::mupdf PROPERTIES
  INTERFACE_LINK_LIBRARIES "WindowsDeps::mupdf_core;WindowsDeps::mupdf_third"
  # The features the library was built with, so that its headers agree.
  INTERFACE_COMPILE_DEFINITIONS
    "FZ_ENABLE_PDF=0;FZ_ENABLE_HTML=0;FZ_ENABLE_EPUB=0;FZ_ENABLE_JS=0;FZ_ENABLE_JPX=0;FZ_ENABLE_OCR_OUTPUT=0;FZ_ENABLE_DOCX_OUTPUT=0;FZ_ENABLE_ODT_OUTPUT=0")
