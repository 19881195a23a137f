# "Monitor de línea": the line monitor window and its rows.
target_sources(quillmark_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/tools/line_monitor.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/line_monitor.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tools/line_monitor.ui
    ${CMAKE_CURRENT_LIST_DIR}/tools/line_monitor_model.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/line_monitor_model.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tools/line_monitor_save.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/line_monitor_save.cpp
)
