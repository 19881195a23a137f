# Tool windows: "Vista de receptor", "Comparar con el equipo".
target_sources(quillmark_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/tools/receiver_preview.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/receiver_preview.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tools/receiver_preview.ui
    ${CMAKE_CURRENT_LIST_DIR}/tools/receiver_text.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/receiver_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tools/character_strip.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/character_strip.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tools/station_comparison.h
    ${CMAKE_CURRENT_LIST_DIR}/tools/station_comparison.cpp
)
target_link_libraries(quillmark_ui PUBLIC quillmark_rds quillmark_station_text)
