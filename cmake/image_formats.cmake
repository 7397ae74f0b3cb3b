# The image container formats, each read through its libyal library when it is
# installed (Debian: libewf-dev, libvhdi-dev, libvmdk-dev, libqcow-dev). A missing one
# leaves its format out of the build: such an image is then refused with a message
# naming the package. -DTARVIK_WITH_<LIB>=OFF leaves one out on purpose.
find_package(PkgConfig QUIET)
set(TARVIK_IMAGE_FORMATS)
foreach(lib IN ITEMS libewf libvhdi libvmdk libqcow)
  string(TOUPPER ${lib} upper)
  option(TARVIK_WITH_${upper} "Read the images ${lib} reads" ON)
  if(TARVIK_WITH_${upper} AND PKG_CONFIG_FOUND)
    pkg_check_modules(TARVIK_${upper} QUIET IMPORTED_TARGET ${lib})
    if(TARVIK_${upper}_FOUND)
      target_link_libraries(tarvik_core PUBLIC PkgConfig::TARVIK_${upper})
      target_compile_definitions(tarvik_core PRIVATE TARVIK_HAVE_${upper})
      list(APPEND TARVIK_IMAGE_FORMATS ${lib})
    endif()
  endif()
endforeach()
message(STATUS "Image formats through: ${TARVIK_IMAGE_FORMATS}")

# The Volume Shadow Copies inside an NTFS volume, read through libvshadow over a libbfio
# handle of our own (Debian: libvshadow-dev, libbfio-dev). Without them a volume's shadow
# copies are reported with a message naming the package, and not read.
option(TARVIK_WITH_LIBVSHADOW "Read Volume Shadow Copies through libvshadow" ON)
if(TARVIK_WITH_LIBVSHADOW AND PKG_CONFIG_FOUND)
  pkg_check_modules(TARVIK_LIBVSHADOW QUIET IMPORTED_TARGET libvshadow libbfio)
  if(TARVIK_LIBVSHADOW_FOUND)
    target_link_libraries(tarvik_core PUBLIC PkgConfig::TARVIK_LIBVSHADOW)
    # Only the store's reader asks: the rest of the core builds the same either way.
    set_source_files_properties(${CMAKE_CURRENT_SOURCE_DIR}/disk/shadow_copy_store.cpp
                                PROPERTIES COMPILE_DEFINITIONS TARVIK_HAVE_LIBVSHADOW)
  endif()
endif()
if(TARVIK_LIBVSHADOW_FOUND)
  message(STATUS "Volume Shadow Copies through: libvshadow")
else()
  message(STATUS "Volume Shadow Copies: not read (install libvshadow-dev and libbfio-dev)")
endif()
