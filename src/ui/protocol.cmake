target_sources(quillmark_ui PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/transactions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/answer_handling.cpp
    ${CMAKE_CURRENT_LIST_DIR}/whole_device.cpp
)
