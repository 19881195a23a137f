# The main window: form, editor synchronisation, station commands, shell services.
target_sources(quillmark_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/principal.h
    ${CMAKE_CURRENT_LIST_DIR}/principal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/principal.ui
    ${CMAKE_CURRENT_LIST_DIR}/connections.cpp
    ${CMAKE_CURRENT_LIST_DIR}/editor_sync.cpp
    ${CMAKE_CURRENT_LIST_DIR}/editor_handlers.cpp
    ${CMAKE_CURRENT_LIST_DIR}/station_commands.cpp
    ${CMAKE_CURRENT_LIST_DIR}/control_adapters.h
    ${CMAKE_CURRENT_LIST_DIR}/control_adapters.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text_bytes.h
    ${CMAKE_CURRENT_LIST_DIR}/shell.h
    ${CMAKE_CURRENT_LIST_DIR}/shell.cpp
    ${CMAKE_CURRENT_LIST_DIR}/font_warm_up.h
    ${CMAKE_CURRENT_LIST_DIR}/font_warm_up.cpp
    ${CMAKE_CURRENT_LIST_DIR}/dialogs.h
    ${CMAKE_CURRENT_LIST_DIR}/vcl_timer.h
    ${CMAKE_CURRENT_LIST_DIR}/vcl_timer.cpp
)
find_package(Fontconfig REQUIRED)
target_link_libraries(quillmark_ui PRIVATE Fontconfig::Fontconfig)
