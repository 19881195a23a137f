# About box, online-information window and the pictures of all windows.

target_sources(quillmark_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/help/about.cpp ${CMAKE_CURRENT_LIST_DIR}/help/about.h
    ${CMAKE_CURRENT_LIST_DIR}/help/about.ui
    ${CMAKE_CURRENT_LIST_DIR}/help/navegador.cpp ${CMAKE_CURRENT_LIST_DIR}/help/navegador.h
    ${CMAKE_CURRENT_LIST_DIR}/help/navegador.ui
    ${CMAKE_CURRENT_LIST_DIR}/help/online_window_form.cpp ${CMAKE_CURRENT_LIST_DIR}/help/online_window_form.h
    ${CMAKE_CURRENT_LIST_DIR}/help/browser_process.cpp ${CMAKE_CURRENT_LIST_DIR}/help/browser_process.h)

# The lines the program and its browser helper exchange; both sides link it.
add_library(quillmark_browser_protocol STATIC
    ${PROJECT_SOURCE_DIR}/src/browser/browser_protocol.cpp
    ${PROJECT_SOURCE_DIR}/src/browser/browser_protocol.h)
target_include_directories(quillmark_browser_protocol PUBLIC ${PROJECT_SOURCE_DIR}/src/browser)
target_link_libraries(quillmark_browser_protocol PUBLIC Qt6::Core)
set_target_properties(quillmark_browser_protocol PROPERTIES AUTOMOC OFF AUTOUIC OFF AUTORCC OFF)
target_link_libraries(quillmark_ui PRIVATE quillmark_browser_protocol)

# The pictures go in as an object library compiled into every consumer: inside the static
# archive nothing would reference them and the linker would drop them.
add_library(quillmark_images OBJECT ${CMAKE_CURRENT_LIST_DIR}/resources/resources.qrc)
set_target_properties(quillmark_images PROPERTIES AUTORCC ON AUTOMOC OFF AUTOUIC OFF)
target_link_libraries(quillmark_images PRIVATE Qt6::Core)
target_link_libraries(quillmark_ui INTERFACE $<TARGET_OBJECTS:quillmark_images>)
add_dependencies(quillmark_ui quillmark_images)

# Where an installed program finds its browser helper, relative to its own folder.
file(RELATIVE_PATH _helper_dir ${CMAKE_INSTALL_FULL_BINDIR}
    ${CMAKE_INSTALL_FULL_LIBEXECDIR}/quillmark)
set_property(SOURCE ${CMAKE_CURRENT_LIST_DIR}/help/browser_process.cpp APPEND PROPERTY
    COMPILE_DEFINITIONS QUILLMARK_INSTALLED_HELPER_DIR="${_helper_dir}")

# The embedded page hands the keyboard back through X itself.
find_package(X11 REQUIRED)
target_link_libraries(quillmark_ui PRIVATE X11::xcb)
