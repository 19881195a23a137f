# The port dialog, the explanation of a failed open and reconnecting (on src/ports).
target_sources(quillmark_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/tools/port_dialog.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/port_dialog.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tools/port_dialog.ui
    ${CMAKE_CURRENT_LIST_DIR}/port_reconnect.h
    ${CMAKE_CURRENT_LIST_DIR}/port_reconnect.cpp
    ${CMAKE_CURRENT_LIST_DIR}/port_open_failure.h
    ${CMAKE_CURRENT_LIST_DIR}/port_open.cpp
    ${CMAKE_CURRENT_LIST_DIR}/network_wait.h
    ${CMAKE_CURRENT_LIST_DIR}/network_wait.cpp
    ${CMAKE_CURRENT_LIST_DIR}/plain_text.h
)
target_link_libraries(quillmark_ui PUBLIC quillmark_ports)
