# The desktop program: the static library tarvik_ui (every window, dialog and view;
# Qt code lives only in app/ and in the ui/ sub-folders) and the executable tarvik.
option(TARVIK_GUI "Build the Qt 6 desktop program" ON)
if(NOT TARVIK_GUI OR TARVIK_CORE_ONLY)
  return()
endif()
find_package(Qt6 COMPONENTS Widgets Test)
if(NOT Qt6Widgets_FOUND)
  message(STATUS "Qt 6 Widgets not found: the desktop program is not built")
  return()
endif()

set(TARVIK_UI_SOURCES)
# app/ and its sub-folders by the work they show (disks/, scan/, ...).
file(GLOB_RECURSE TARVIK_APP_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/app/*.cpp
     ${CMAKE_SOURCE_DIR}/app/*.h)
list(FILTER TARVIK_APP_SOURCES EXCLUDE REGEX "/app/main\\.cpp$")
list(APPEND TARVIK_UI_SOURCES ${TARVIK_APP_SOURCES})
foreach(dir IN LISTS TARVIK_CORE_DIRS)
  file(GLOB dir_sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/ui/*.cpp
       ${CMAKE_SOURCE_DIR}/${dir}/ui/*.h)
  list(APPEND TARVIK_UI_SOURCES ${dir_sources})
endforeach()

add_library(tarvik_ui STATIC ${TARVIK_UI_SOURCES} ${CMAKE_SOURCE_DIR}/res/tarvik.qrc)
set_target_properties(tarvik_ui PROPERTIES AUTOMOC ON AUTORCC ON)
target_include_directories(tarvik_ui PUBLIC ${CMAKE_SOURCE_DIR})
target_link_libraries(tarvik_ui PUBLIC tarvik_core Qt6::Widgets PRIVATE tarvik_warnings)

add_executable(tarvik ${CMAKE_SOURCE_DIR}/app/main.cpp)
target_link_libraries(tarvik PRIVATE tarvik_ui tarvik_warnings)
set_target_properties(tarvik PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})

# Repaints the pictures of res/pictures from their drawing code; run by hand after
# changing res/paint, and commit the pictures.
add_executable(tarvik_paint_pictures EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/res/paint/paint_pictures.cpp)
target_link_libraries(tarvik_paint_pictures PRIVATE Qt6::Gui tarvik_warnings)
add_custom_target(tarvik_pictures
  COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen
          $<TARGET_FILE:tarvik_paint_pictures> ${CMAKE_SOURCE_DIR}/res/pictures
  DEPENDS tarvik_paint_pictures VERBATIM)

include(GNUInstallDirs)
install(TARGETS tarvik RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/res/tarvik.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${CMAKE_SOURCE_DIR}/res/org.corvanemiravel.Tarvik.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
set(TARVIK_ICONS ${CMAKE_INSTALL_DATADIR}/icons/hicolor)
install(FILES ${CMAKE_SOURCE_DIR}/res/pictures/icon_128_256.png
        DESTINATION ${TARVIK_ICONS}/256x256/apps RENAME tarvik.png)
install(FILES ${CMAKE_SOURCE_DIR}/res/icons/tarvik-48.png
        DESTINATION ${TARVIK_ICONS}/48x48/apps RENAME tarvik.png)
install(FILES ${CMAKE_SOURCE_DIR}/res/pictures/icon_128.png
        DESTINATION ${TARVIK_ICONS}/32x32/apps RENAME tarvik.png)
install(FILES ${CMAKE_SOURCE_DIR}/res/icons/tarvik.svg DESTINATION ${TARVIK_ICONS}/scalable/apps)

if(TARVIK_TESTS AND Qt6Test_FOUND)
  include(${CMAKE_SOURCE_DIR}/tests/gui/CMakeLists.txt)
endif()

# Times the desktop program's scan against tarvik-cli's: bench/gui_scan_bench.sh.
add_executable(tarvik_gui_scan_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/gui_scan_bench.cpp)
target_link_libraries(tarvik_gui_scan_bench PRIVATE tarvik_ui tarvik_warnings)

# The folder tree and the file list over a large catalogue: bench/browse_bench.sh.
add_executable(tarvik_browse_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/browse_bench.cpp)
target_link_libraries(tarvik_browse_bench PRIVATE tarvik_ui tarvik_warnings)

# Recover All from the desktop program's saving dialog against tarvik-cli's:
# bench/gui_recover_bench.sh.
add_executable(tarvik_gui_recover_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/gui_recover_bench.cpp)
target_link_libraries(tarvik_gui_recover_bench PRIVATE tarvik_ui tarvik_warnings)

# File > Open Scan of a kept scan, up to the tree shown: bench/saved_scan_bench.sh.
add_executable(tarvik_gui_open_scan_bench EXCLUDE_FROM_ALL ${CMAKE_SOURCE_DIR}/bench/gui_open_scan_bench.cpp)
target_link_libraries(tarvik_gui_open_scan_bench PRIVATE tarvik_ui tarvik_warnings)
